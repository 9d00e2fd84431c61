// Links to folders, for the tests that removing a folder never goes through one.
#pragma once
#include <string>

namespace velmo::testing {

enum class FolderLink {
  kNone,         // no link could be made here
  kJunction,     // a junction, made as on Windows
  kHostSymlink,  // under Wine: a symbolic link of the host system, made with its own `ln`
};

// Makes `link` (which must not exist) a link to the folder `target`. Windows makes a junction.
// Wine 8 makes neither junctions (FSCTL_SET_REPARSE_POINT fails with ERROR_NOT_SUPPORTED) nor
// symbolic links (CreateSymbolicLinkW reports success and makes nothing), but shows a symbolic
// link of the host inside its drives as a folder with FILE_ATTRIBUTE_REPARSE_POINT, and follows
// it like a junction; it cannot remove one through any Win32 call. Either way the link is
// checked to carry the reparse-point attribute.
FolderLink MakeFolderLink(const std::wstring& link, const std::wstring& target);

}  // namespace velmo::testing
