#include "window/message_box_form.h"

namespace velmo {
namespace {

UINT StyleFor(BoxKind kind) {
  switch (kind) {
    case BoxKind::kInformation: return MB_OK | MB_ICONINFORMATION;
    case BoxKind::kFailure: return MB_OK | MB_ICONERROR;
    case BoxKind::kQuestion: return MB_YESNO | MB_ICONINFORMATION;
    case BoxKind::kPlain: return MB_OK;
  }
  return MB_OK;
}

const wchar_t* TitleText(BoxTitle title) {
  switch (title) {
    case BoxTitle::kFriendly: return L"友情提示";
    case BoxTitle::kTool: return kToolTitle;
    case BoxTitle::kHint: return L"提示";
  }
  return kToolTitle;
}

}  // namespace

MessageBoxForm MessageBoxFormFor(BoxKind kind, BoxTitle title) {
  return {StyleFor(kind), TitleText(title)};
}

Answer AnswerFor(int pressedButton) {
  if (pressedButton == IDYES) return Answer::kYes;
  if (pressedButton == IDNO) return Answer::kNo;
  return Answer::kNone;
}

}  // namespace velmo
