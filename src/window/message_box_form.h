// The platform's form of the boxes the commands show: the MessageBoxW style and title of each
// kind of box, and the answer a pressed button stands for.
#pragma once
#include <windows.h>

#include "model/ui.h"

namespace velmo {

struct MessageBoxForm {
  UINT style;
  const wchar_t* title;
};

MessageBoxForm MessageBoxFormFor(BoxKind kind, BoxTitle title);

// IDYES and IDNO are answers; anything else (0 when the box was destroyed with its window,
// IDCANCEL, IDOK) is none.
Answer AnswerFor(int pressedButton);

}  // namespace velmo
