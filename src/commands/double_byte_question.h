// The question both Set and Move folder ask when the tool's Setting folder lies on a path that
// the browser cannot take as it is (double-byte characters, or characters the ANSI code page
// lacks).
#pragma once
#include <string>

namespace velmo {

// "检测到当前绿色版存放的路径：“<settingFolder>”。存在中文字符，……" followed by CR LF and the
// offer to stop: answered Yes, the command ends the tool; No, it writes the relative form.
std::wstring DoubleBytePathQuestion(const std::wstring& settingFolder);

}  // namespace velmo
