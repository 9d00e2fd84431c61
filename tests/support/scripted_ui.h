// A Ui for command tests: answers message boxes from a script and records every box.
#pragma once
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "model/ui.h"

namespace velmo::testing {

struct RecordedBox {
  std::wstring text;
  unsigned style;
  std::wstring title;  // as given by the command; empty means "no title given"
};

// Thrown by ScriptedUi::EndNow so that a test can see that the command ended the process.
struct EndNowCalled : std::exception {
  const char* what() const noexcept override { return "EndNow"; }
};

class ScriptedUi : public Ui {
 public:
  // Answers for yes/no boxes, consumed in order. OK boxes are answered with IDOK and consume
  // nothing. A yes/no box with no scripted answer fails the test and is answered No.
  std::deque<int> answers;
  // Every box shown, in order.
  std::vector<RecordedBox> boxes;
  // What the folder browser returns; counts its calls.
  std::function<std::wstring()> folderDialog = [] { return std::wstring(); };
  int folderDialogCalls = 0;
  std::wstring cacheFolderText;
  bool endNowCalled = false;
  // How often the information panel was asked to show the path file again.
  int pathFileLinesShown = 0;

  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override;
  [[noreturn]] void EndNow() override;
  std::wstring CacheFolderText() const override { return cacheFolderText; }
  void SetCacheFolderText(const std::wstring& text) override { cacheFolderText = text; }
  std::wstring ShowFolderDialog() override;
  void ShowPathFileLines() override { ++pathFileLinesShown; }
};

}  // namespace velmo::testing
