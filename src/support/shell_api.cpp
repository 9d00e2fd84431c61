#include "support/shell_api.h"

#include "support/system_library.h"

namespace velmo {
namespace {

constexpr wchar_t kShell32[] = L"shell32.dll";

}  // namespace

int ShellFileOperation(SHFILEOPSTRUCTW& operation) {
  const auto fileOperation = RequiredProcedure<decltype(&::SHFileOperationW)>(
      LoadPinnedSystemLibrary(kShell32), kShell32, "SHFileOperationW");
  return fileOperation(&operation);
}

}  // namespace velmo
