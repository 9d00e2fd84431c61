// The file version of an executable as shown to the user.
#pragma once
#include <string>

namespace velmo {

// "major.minor.build.revision" from the file's fixed version information (unsigned decimal,
// no padding), or the empty text when the file is missing, unreadable or carries none.
std::wstring GetFileVersionText(const std::wstring& path);

}  // namespace velmo
