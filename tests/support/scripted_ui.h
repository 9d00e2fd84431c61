// A Ui for command tests: answers message boxes from a script and records every box.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "model/ui.h"

namespace velmo::testing {

// A box as the window shows it: its text, MessageBoxW style and title.
struct RecordedBox {
  std::wstring text;
  unsigned style;
  std::wstring title;
};

class ScriptedUi : public Ui {
 public:
  // Answers to questions, consumed in order; other boxes consume nothing. A question with no
  // scripted answer fails the test and is answered No.
  std::deque<Answer> answers;
  // Every box shown, in order.
  std::vector<RecordedBox> boxes;
  // What the folder browser returns; counts its calls.
  std::function<std::wstring()> folderDialog = [] { return std::wstring(); };
  int folderDialogCalls = 0;
  std::wstring cacheFolderText;
  // How often the information panel was asked to show the path file again.
  int pathFileLinesShown = 0;

  std::wstring CacheFolderText() const override { return cacheFolderText; }
  void SetCacheFolderText(const std::wstring& text) override { cacheFolderText = text; }
  std::wstring ShowFolderDialog() override;
  void ShowPathFileLines() override { ++pathFileLinesShown; }
  void Wait(DWORD ms) override { Sleep(ms); }

 protected:
  Answer ShowBox(BoxKind kind, const std::wstring& text, BoxTitle title) override;
};

}  // namespace velmo::testing
