// The platform's folder browser, through the shell automation object.
#pragma once
#include <string>

namespace velmo {

// Shows the folder browser with the prompt "选择目录:" and returns the chosen folder's path as
// the shell reports it, or the empty text when the user cancels. Throws PlatformError when the
// shell automation object cannot be created or used.
std::wstring BrowseForFolderPath();

}  // namespace velmo
