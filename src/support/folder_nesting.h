// Whether two folders are one, or one lies inside the other, as the file system links them.
#pragma once
#include <string>

namespace velmo {

// True when `a` and `b` are the same folder or one lies inside the other. Decided by identity
// (volume serial and file index) of each folder and of every folder above it on its final path,
// never by the text: any spelling ("\\?\" prefix, short names, doubled or trailing separators), a
// subst or mapped drive, a junction or a symbolic link on the way gives the same answer. A folder
// that does not exist lies inside its nearest existing parent and holds nothing.
bool FoldersNested(const std::wstring& a, const std::wstring& b);

}  // namespace velmo
