// The path-file reader and writer under thousands of generated inputs (fixed seed, so a failure
// always reproduces): hostile bytes never crash the reader or blur its line rule, and whatever
// the writer puts on disk reads back as the lines it was given.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "model/path_file.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

using testing::ReadBytes;
using testing::TempDir;

constexpr std::uint32_t kSeed = 0x5EED1234u;

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : engine_(seed) {}

  // 0 .. bound-1, from the engine's raw output so that the sequence is the same everywhere.
  std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : engine_() % bound; }
  bool OneIn(std::size_t n) { return Below(n) == 0; }

  // Bytes biased towards what breaks line splitting and GBK decoding.
  std::string HostileBytes(std::size_t length) {
    static constexpr char kSpecial[] = {'\0', '\r', '\n', '\x1a', '\x80', '\x81', '\xfe',
                                        '\xff', '\x7f', ' ',  '?'};
    std::string out;
    out.reserve(length);
    while (out.size() < length) {
      switch (Below(6)) {
        case 0:
          out += kSpecial[Below(sizeof kSpecial)];
          break;
        case 1:  // a GBK lead byte, then anything at all as its trail (often invalid)
          out += static_cast<char>(0x81 + Below(0x7e));
          out += static_cast<char>(Below(256));
          break;
        case 2:
          out += "\r\n";
          break;
        default:
          out += static_cast<char>(Below(256));
          break;
      }
    }
    out.resize(length);
    return out;
  }

  // A line of text without CR: ASCII, LF, NUL, 0x1A, Chinese in GBK and, when `foreign` is
  // set, characters that code page 936 lacks.
  std::wstring LineWithoutCr(std::size_t maxLength, bool foreign) {
    static constexpr wchar_t kChinese[] = L"浏览器设置缓存文件夹中文路径，。“”（）绿化";
    static constexpr wchar_t kForeign[] = L"\u0151\u0e01\u00ff\u20ac\u0627";
    std::wstring out;
    const std::size_t length = Below(maxLength + 1);
    while (out.size() < length) {
      const std::size_t pick = Below(foreign ? 10 : 9);
      if (pick < 4) {
        out += static_cast<wchar_t>(0x20 + Below(0x5f));
      } else if (pick < 6) {
        out += kChinese[Below(std::size(kChinese) - 1)];
      } else if (pick == 6) {
        out += L'\n';
      } else if (pick == 7) {
        out += OneIn(2) ? L'\0' : L'\x1a';
      } else if (pick == 8) {
        out += L'\\';
      } else {
        out += kForeign[Below(std::size(kForeign) - 1)];
      }
    }
    return out;
  }

  std::vector<std::wstring> Lines(std::size_t maxCount, std::size_t maxLength, bool foreign) {
    std::vector<std::wstring> lines(Below(maxCount + 1));
    for (std::wstring& line : lines) line = LineWithoutCr(maxLength, foreign);
    return lines;
  }

 private:
  std::mt19937 engine_;
};

// The line rule stated on its own, byte by byte: CR ends a line, an LF straight after a CR
// belongs to that line end, the end of the data ends a last line that has any byte.
std::vector<std::string> SplitIntoLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string current;
  bool open = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      lines.push_back(current);
      current.clear();
      open = false;
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      current += bytes[i];
      open = true;
    }
  }
  if (open) lines.push_back(current);
  return lines;
}

std::wstring ExpectedLine(const std::vector<std::string>& lines, std::size_t index) {
  return index < lines.size() ? FromAnsi(lines[index]) : std::wstring();
}

// Line `index` as given, or the empty text when there are fewer lines.
std::wstring Nth(const std::vector<std::wstring>& lines, std::size_t index) {
  return index < lines.size() ? lines[index] : std::wstring();
}

// Line `index` after its trip through the ANSI code page (characters it lacks replaced).
std::wstring ExpectedLine(const std::vector<std::wstring>& lines, std::size_t index) {
  return FromAnsi(ToAnsi(Nth(lines, index)));
}

void ExpectLines(const PathFileLines& actual, const std::wstring& first, const std::wstring& second,
                 const std::wstring& third, const std::string& context) {
  ASSERT_EQ(actual.line1, first) << context;
  ASSERT_EQ(actual.line2, second) << context;
  ASSERT_EQ(actual.line3, third) << context;
}

std::string Describe(std::size_t round, std::size_t size) {
  return "round " + std::to_string(round) + ", " + std::to_string(size) + " bytes";
}

TEST(PathFileRandomized, HostileBytesKeepTheFirstThreeLinesByTheLineRule) {
  Generator random(kSeed);
  for (std::size_t round = 0; round < 4000; ++round) {
    // Mostly short files, some of a few kilobytes, and a handful of lines near a megabyte.
    std::size_t size = random.Below(64);
    if (round % 10 == 0) size = random.Below(8192);
    if (round % 500 == 7) size = (1u << 20) + random.Below(4096);
    const std::string bytes = random.HostileBytes(size);
    const std::vector<std::string> lines = SplitIntoLines(bytes);
    const PathFileLines parsed = ParsePathFileBytes(bytes);
    ASSERT_NO_FATAL_FAILURE(ExpectLines(parsed, ExpectedLine(lines, 0), ExpectedLine(lines, 1),
                                        ExpectedLine(lines, 2), Describe(round, size)));
    // A CR always ends a line, so no kept line can hold one, whatever GBK made of the bytes.
    for (const std::wstring* line : {&parsed.line1, &parsed.line2, &parsed.line3}) {
      ASSERT_EQ(line->find(L'\r'), std::wstring::npos) << Describe(round, size);
    }
  }
}

TEST(PathFileRandomized, EdgeShapesOfTheFile) {
  // Empty file, a lone CR or LF, no final line end, a megabyte line without any line end.
  ExpectLines(ParsePathFileBytes(""), L"", L"", L"", "empty");
  ExpectLines(ParsePathFileBytes("\r"), L"", L"", L"", "lone CR");
  ExpectLines(ParsePathFileBytes("\n"), L"\n", L"", L"", "lone LF");
  ExpectLines(ParsePathFileBytes("a\rb\r\nc\n\rd"), L"a", L"b", L"c\n", "mixed ends");
  ExpectLines(ParsePathFileBytes("\r\n\r\nthird"), L"", L"", L"third", "two empty lines first");
  ExpectLines(ParsePathFileBytes("a\x1a\r\n\x1a"), L"a\x1a", L"\x1a", L"", "0x1A is text");
  ExpectLines(ParsePathFileBytes(std::string("a\0b\r\nc", 6)), std::wstring(L"a\0b", 3), L"c",
              L"", "NUL is text");
  const std::string huge(1u << 20, 'x');
  ExpectLines(ParsePathFileBytes(huge), std::wstring(1u << 20, L'x'), L"", L"", "1 MB, no end");
  ExpectLines(ParsePathFileBytes("1\r\n2\r\n3\r\n4\r\n" + huge), L"1", L"2", L"3",
              "fourth dropped");
}

TEST(PathFileRandomized, AnIncompleteGbkCharacterNeverSwallowsALineEnd) {
  // A lead byte right before CR LF must not pair with the CR: the next line stays a line.
  for (int lead = 0x81; lead <= 0xfe; ++lead) {
    const std::string bytes = std::string("a") + static_cast<char>(lead) + "\r\nsecond\r\nthird";
    const PathFileLines parsed = ParsePathFileBytes(bytes);
    ASSERT_EQ(parsed.line2, L"second") << "lead byte " << lead;
    ASSERT_EQ(parsed.line3, L"third") << "lead byte " << lead;
    ASSERT_EQ(parsed.line1.substr(0, 1), L"a") << "lead byte " << lead;
  }
}

TEST(PathFileRandomized, WrittenBytesReadBackAsTheLines) {
  Generator random(kSeed + 1);
  for (std::size_t round = 0; round < 3000; ++round) {
    const bool foreign = round % 3 == 0;
    const std::vector<std::wstring> lines = random.Lines(6, round % 100 == 0 ? 5000 : 40, foreign);
    const std::string bytes = PathFileBytes(lines);
    const std::string context = Describe(round, bytes.size());

    // Every line ends with CR LF and nothing else is written.
    std::size_t lineEnds = 0;
    for (auto at = bytes.find('\r'); at != std::string::npos; at = bytes.find('\r', at + 1)) {
      ASSERT_LT(at + 1, bytes.size()) << context;
      ASSERT_EQ(bytes[at + 1], '\n') << context;
      ++lineEnds;
    }
    ASSERT_EQ(lineEnds, lines.size()) << context;

    const PathFileLines parsed = ParsePathFileBytes(bytes);
    if (!foreign) {  // texts that GBK holds come back exactly
      ASSERT_NO_FATAL_FAILURE(
          ExpectLines(parsed, Nth(lines, 0), Nth(lines, 1), Nth(lines, 2), context));
    } else {  // characters GBK lacks are replaced, but never change the line structure
      ASSERT_NO_FATAL_FAILURE(ExpectLines(parsed, ExpectedLine(lines, 0), ExpectedLine(lines, 1),
                                          ExpectedLine(lines, 2), context));
    }
  }
}

TEST(PathFileRandomized, TheRealWriterRoundTripsThroughTheDisk) {
  TempDir dir(L"velmo-random path，设置");
  Generator random(kSeed + 2);
  for (std::size_t round = 0; round < 300; ++round) {
    // Long and short contents alternate, so every write also cuts a longer file to length.
    const std::size_t maxLength = round % 2 == 0 ? 400 : 8;
    const std::vector<std::wstring> lines = random.Lines(5, maxLength, false);
    RetryBudget retries;
    WritePathFile(dir.Path(), lines, retries);
    const std::string context = Describe(round, 0);

    const std::optional<std::string> onDisk = ReadBytes(dir / L"path");
    ASSERT_TRUE(onDisk.has_value()) << context;
    ASSERT_EQ(*onDisk, PathFileBytes(lines)) << context;
    ASSERT_NO_FATAL_FAILURE(ExpectLines(ReadPathFileIfPresent(dir.Path()).value(), Nth(lines, 0),
                                        Nth(lines, 1), Nth(lines, 2), context));
  }
  // The writer's temporary files never stay behind: the folder holds the path file alone.
  const auto tree = testing::TreeSnapshot(dir.Path());
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree.begin()->first, L"path");
}

}  // namespace
}  // namespace velmo
