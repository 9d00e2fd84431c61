#include "commands/message_boxes.h"

namespace velmo {

void ReportError(Ui& ui, const PlatformError& error) {
  ui.MsgBox(error.Describe(), kMbOk | kMbIconError, kToolTitle);
}

void ShowFailure(Ui& ui, const std::wstring& text) {
  ui.MsgBox(text, kMbOk | kMbIconError, kFriendlyTitle);
}

void Notify(Ui& ui, const std::wstring& text) {
  ui.MsgBox(text, kMbOk | kMbIconInformation, kFriendlyTitle);
}

Answer AskYesNo(Ui& ui, const std::wstring& text) {
  const int answer = ui.MsgBox(text, kMbYesNo | kMbIconInformation, kFriendlyTitle);
  return answer == kIdYes ? Answer::kYes : answer == kIdNo ? Answer::kNo : Answer::kNone;
}

}  // namespace velmo
