// Timing probe for ./run bench (tools/bench.sh). Runs inside Wine and prints plain ASCII lines
// "<figure> <key>=<value> ..." that the script collects into BENCHMARKS.md. The probe measures;
// it never judges: the goals live in the script's report.
//
//   velmo_bench_probe startup <pairs> <exeA> <exeB>
//       starts A and B alternately (B first on odd pairs), from process creation to the first
//       visible top-level window of the new process; one warm-up pair is not counted.
//   velmo_bench_probe search <calls> <extra> <idleExe>
//       starts <extra> copies of <idleExe>, then times IsProcessRunning("velmoexplorer.exe")
//       per call over the live process list (no match, so every call is a full pass), and the
//       bare snapshot of the process list for comparison.
//   velmo_bench_probe set <toolExe> <appdata> <temp>
//       starts the tool with that APPDATA and TEMP, clicks Set and times the click until the
//       success box is up.
//   velmo_bench_probe shellcopy <source> <destination>
//       times one SHFileOperationW FO_COPY made as Set makes its copy (no owner window, no flags:
//       the shell's progress window, in a single-threaded COM apartment): what the platform's own
//       folder copy costs, the floor under Set's copy.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/search_process.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"
#include "window/main_window_layout.h"

namespace {

using velmo::ToUtf8;

constexpr DWORD kWindowWaitMs = 30000;
constexpr wchar_t kBrowserExecutable[] = L"velmoexplorer.exe";
constexpr wchar_t kSetSuccessText[] = L"成功设置，重启Velmo浏览器后生效。";

class Stopwatch {
 public:
  Stopwatch() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  }
  double Milliseconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency_.QuadPart);
  }

 private:
  LARGE_INTEGER frequency_{};
  LARGE_INTEGER start_{};
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

std::string Samples(const std::vector<double>& values) {
  std::string text;
  for (double value : values) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%.1f", text.empty() ? "" : ",", value);
    text += buffer;
  }
  return text;
}

struct WindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND VisibleWindowOf(DWORD pid) {
  WindowSearch search{pid, nullptr};
  EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A program started by the probe; ended (politely, then by force) when the object goes.
class Started {
 public:
  explicit Started(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
      throw std::runtime_error("cannot start " + ToUtf8(exe) + " (error " +
                               std::to_string(GetLastError()) + ")");
    }
    process_.Reset(info.hProcess);
    velmo::UniqueHandle thread(info.hThread);
    pid_ = info.dwProcessId;
  }
  ~Started() {
    if (WaitForSingleObject(process_.Get(), 0) != WAIT_TIMEOUT) return;
    if (HWND window = VisibleWindowOf(pid_)) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.Get(), 5000) == WAIT_TIMEOUT) {
      TerminateProcess(process_.Get(), 1);
      WaitForSingleObject(process_.Get(), 5000);
    }
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;

  // Waits for the first visible top-level window, polling every millisecond.
  HWND WaitForWindow() const {
    const ULONGLONG deadline = GetTickCount64() + kWindowWaitMs;
    for (;;) {
      if (HWND window = VisibleWindowOf(pid_)) return window;
      if (GetTickCount64() > deadline) throw std::runtime_error("no window appeared");
      if (WaitForSingleObject(process_.Get(), 0) != WAIT_TIMEOUT) {
        throw std::runtime_error("the program ended before showing a window");
      }
      Sleep(1);
    }
  }

 private:
  velmo::UniqueHandle process_;
  DWORD pid_ = 0;
};

double TimeStartUp(const std::wstring& exe) {
  const Stopwatch clock;
  const Started program(exe);
  program.WaitForWindow();
  return clock.Milliseconds();
}

int StartUp(int pairs, const std::wstring& exeA, const std::wstring& exeB) {
  TimeStartUp(exeA);  // warm-up: the first start loads what later starts find in memory
  TimeStartUp(exeB);
  std::vector<double> a;
  std::vector<double> b;
  std::vector<double> ratios;
  for (int pair = 0; pair < pairs; ++pair) {
    double timeA = 0;
    double timeB = 0;
    if (pair % 2 == 0) {
      timeA = TimeStartUp(exeA);
      timeB = TimeStartUp(exeB);
    } else {
      timeB = TimeStartUp(exeB);
      timeA = TimeStartUp(exeA);
    }
    a.push_back(timeA);
    b.push_back(timeB);
    ratios.push_back(timeA / timeB);
  }
  std::printf("startup a_median_ms=%.1f b_median_ms=%.1f ratio_median=%.3f pairs=%d\n", Median(a),
              Median(b), Median(ratios), pairs);
  std::printf("startup_samples a=%s b=%s\n", Samples(a).c_str(), Samples(b).c_str());
  return 0;
}

std::size_t ProcessCount() {
  velmo::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  std::size_t count = 0;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    ++count;
  }
  return count;
}

int Search(int calls, int extra, const std::wstring& idleExe) {
  std::vector<std::unique_ptr<Started>> helpers;
  for (int i = 0; i < extra; ++i) helpers.push_back(std::make_unique<Started>(idleExe));
  for (const auto& helper : helpers) helper->WaitForWindow();

  const std::wstring idleName = idleExe.substr(idleExe.find_last_of(L'\\') + 1);
  if (!velmo::IsProcessRunning(idleName)) {
    std::printf("search error=the-started-processes-are-not-seen\n");
    return 1;
  }
  std::vector<double> times;
  for (int i = 0; i < calls; ++i) {
    const Stopwatch clock;
    const bool running = velmo::IsProcessRunning(kBrowserExecutable);
    times.push_back(clock.Milliseconds());
    if (running) {
      std::printf("search error=a-browser-is-running\n");
      return 1;
    }
  }
  // The floor under any search of the process list: taking and walking the snapshot alone.
  std::vector<double> snapshotTimes;
  std::size_t processes = 0;
  for (int i = 0; i < calls; ++i) {
    const Stopwatch clock;
    processes = ProcessCount();
    snapshotTimes.push_back(clock.Milliseconds());
  }
  std::printf("search median_ms=%.2f max_ms=%.2f snapshot_median_ms=%.2f calls=%d processes=%zu\n",
              Median(times), *std::max_element(times.begin(), times.end()),
              Median(snapshotTimes), calls, processes);
  return 0;
}

int Set(const std::wstring& toolExe, const std::wstring& appData, const std::wstring& temp) {
  velmo::e2e::ToolProcess tool(toolExe, {{L"APPDATA", appData}, {L"TEMP", temp}});
  if (tool.WaitForMainWindow(kWindowWaitMs) == nullptr) {
    std::printf("set error=no-main-window\n");
    return 1;
  }
  const Stopwatch clock;
  tool.Click(velmo::kSetButton);
  const std::optional<velmo::e2e::BoxInfo> box = tool.WaitForBox(600000);
  const double elapsed = clock.Milliseconds();
  if (!box || box->text != kSetSuccessText) {
    std::printf("set error=unexpected-box text=%s\n", box ? ToUtf8(box->text).c_str() : "none");
    return 1;
  }
  tool.Answer(*box, IDOK);
  tool.Close();
  std::printf("set ms=%.1f\n", elapsed);
  return 0;
}

int ShellCopy(const std::wstring& source, const std::wstring& destination) {
  const std::wstring from = source + L'\0';  // the lists end with two NULs
  const std::wstring to = destination + L'\0';
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_COPY;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  operation.fFlags = 0;
  const Stopwatch clock;
  const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = SHFileOperationW(&operation);
  if (SUCCEEDED(apartment)) CoUninitialize();
  const double elapsed = clock.Milliseconds();
  if (result != 0 || operation.fAnyOperationsAborted) {
    std::printf("shellcopy error=%d\n", result);
    return 1;
  }
  std::printf("shellcopy ms=%.1f\n", elapsed);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[0] == L"startup") {
      return StartUp(std::stoi(args[1]), args[2], args[3]);
    }
    if (args.size() == 4 && args[0] == L"search") {
      return Search(std::stoi(args[1]), std::stoi(args[2]), args[3]);
    }
    if (args.size() == 4 && args[0] == L"set") return Set(args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == L"shellcopy") return ShellCopy(args[1], args[2]);
    std::fprintf(stderr, "usage: velmo_bench_probe startup|search|set|shellcopy ...\n");
    return 2;
  } catch (const std::exception& error) {
    std::printf("error %s\n", error.what());
    return 1;
  }
}
