#include "support/normal_user_start.h"

#include <winsafer.h>

#include "support/platform_error.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

// The normal-user token of this process, at medium integrity. Throws PlatformError carrying
// `operation` and `program` when it cannot be made.
UniqueHandle NormalUserToken(const std::wstring& operation, const std::wstring& program) {
  SAFER_LEVEL_HANDLE level = nullptr;
  if (!SaferCreateLevel(SAFER_SCOPEID_USER, SAFER_LEVELID_NORMALUSER, SAFER_LEVEL_OPEN, &level,
                        nullptr)) {
    ThrowLastError(operation, program);
  }
  HANDLE computed = nullptr;
  // A null input token: "the token of the current process" when the thread has none.
  const BOOL made = SaferComputeTokenFromLevel(level, nullptr, &computed, 0, nullptr);
  const DWORD error = GetLastError();
  SaferCloseLevel(level);
  if (!made) ThrowError(operation, program, error);
  if (computed == nullptr) ThrowError(operation, program, ERROR_INVALID_HANDLE);
  UniqueHandle token(computed);
  // The token keeps the elevated token's high integrity level: lowered to medium, the level of
  // the desktop's own programs ("Mandatory Integrity Control"), S-1-16-8192 (one sub-authority:
  // exactly a SID structure).
  SID medium{SID_REVISION, 1, SECURITY_MANDATORY_LABEL_AUTHORITY, {SECURITY_MANDATORY_MEDIUM_RID}};
  TOKEN_MANDATORY_LABEL label{};
  label.Label.Sid = &medium;
  label.Label.Attributes = SE_GROUP_INTEGRITY;
  if (!SetTokenInformation(token.Get(), TokenIntegrityLevel, &label,
                           sizeof label + sizeof medium)) {
    ThrowLastError(operation, program);
  }
  return token;
}

}  // namespace

void StartAsNormalUser(const std::wstring& program, std::wstring commandLine,
                       const std::wstring& workingFolder, STARTUPINFOW& startup,
                       const std::wstring& operation) {
  const UniqueHandle token = NormalUserToken(operation, program);
  // A restricted version of the caller's own primary token is assignable: CreateProcessAsUser
  // needs no SE_ASSIGNPRIMARYTOKEN_NAME privilege for it.
  PROCESS_INFORMATION created{};
  if (!CreateProcessAsUserW(token.Get(), program.c_str(), commandLine.data(), nullptr, nullptr,
                            FALSE, 0, nullptr, workingFolder.c_str(), &startup, &created)) {
    ThrowLastError(operation, program);
  }
  const UniqueHandle process(created.hProcess);
  const UniqueHandle thread(created.hThread);
}

}  // namespace velmo
