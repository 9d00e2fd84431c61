#include "support/folder_deletion.h"

#include <windows.h>

#include <utility>

#include "support/file_queries.h"
#include "support/platform_error.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kDeleteOperation[] = L"删除文件夹";
constexpr wchar_t kDeleteFolderMember[] = L"DeleteFolder";

// The strings an automation call may hand back with its error, freed on every path.
struct ExceptionInfo {
  const OleApi& ole;
  EXCEPINFO info{};
  explicit ExceptionInfo(const OleApi& api) : ole(api) {}
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  ~ExceptionInfo() {
    ole.FreeString(info.bstrSource);
    ole.FreeString(info.bstrDescription);
    ole.FreeString(info.bstrHelpFile);
  }
  HRESULT Code() {
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    if (info.scode != 0) return info.scode;
    return info.wCode != 0 ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode)
                           : DISP_E_EXCEPTION;
  }
};

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Remembers the first failure of a removal that goes on past failures.
class FirstFailure {
 public:
  void Note(const std::wstring& path) {
    if (!failed_) {
      failed_ = true;
      code_ = GetLastError();
      path_ = path;
    }
  }
  void ThrowIfAny() const {
    if (failed_) throw PlatformError(kDeleteOperation, path_, code_);
  }

 private:
  bool failed_ = false;
  DWORD code_ = 0;
  std::wstring path_;
};

void RemoveEntry(const std::wstring& path, const WIN32_FIND_DATAW& data, FirstFailure& failure);

void RemoveContents(const std::wstring& folder, FirstFailure& failure) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) {
    failure.Note(folder);
    return;
  }
  do {
    if (!IsDotEntry(data.cFileName)) RemoveEntry(folder + L"\\" + data.cFileName, data, failure);
  } while (FindNextFileW(find.Get(), &data));
}

void RemoveEntry(const std::wstring& path, const WIN32_FIND_DATAW& data, FirstFailure& failure) {
  if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    // A linked folder is removed as a link; what it points to is not ours to delete.
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveContents(path, failure);
    if (!RemoveDirectoryW(path.c_str())) failure.Note(path);
  } else if (!DeleteFileW(path.c_str())) {
    failure.Note(path);
  }
}

// Whether the folder is a link (a junction or a symbolic link), or holds one anywhere below it.
// Links are not followed.
bool HoldsLink(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return true;
  }
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return false;
  do {
    if (IsDotEntry(data.cFileName)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        HoldsLink(folder + L"\\" + data.cFileName)) {
      return true;
    }
  } while (FindNextFileW(find.Get(), &data));
  return false;
}

bool OpenableForDeletion(const std::wstring& path) {
  const UniqueFileHandle entry(CreateFileW(
      path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (entry) return true;
  const DWORD error = GetLastError();
  return error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION;
}

}  // namespace

FolderDeleter::FolderDeleter(const wchar_t* progId) {
  if (!SkipIfFails([&] { ole_.emplace(); })) return;
  apartment_.emplace(*ole_);
  if (!apartment_->Usable()) return;
  CLSID fileSystemClass{};
  if (FAILED(ole_->ClassFromProgId(progId, &fileSystemClass))) return;
  ComPtr<IDispatch> object;
  if (FAILED(ole_->CreateInstance(fileSystemClass, CLSCTX_INPROC_SERVER, __uuidof(IDispatch),
                                  object.PutVoid()))) {
    return;
  }
  LPOLESTR member = const_cast<LPOLESTR>(kDeleteFolderMember);
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(object->GetIDsOfNames(IID{}, &member, 1, LOCALE_USER_DEFAULT, &id))) return;
  fileSystem_ = std::move(object);
  deleteFolder_ = id;
}

void FolderDeleter::DeleteFolder(const std::wstring& path) const {
  // The automation object goes through links and deletes what they point to: a folder that is a
  // link or holds one is removed with the file API, which removes the links themselves.
  if (!fileSystem_ || HoldsLink(path)) {
    DeleteFolderTree(path);
    return;
  }
  // Arguments go to IDispatch::Invoke last first: force, then the folder.
  Variant force = Variant::FromBool(*ole_, true);
  Variant folder = Variant::FromText(*ole_, path);
  VARIANT arguments[2] = {*force.Get(), *folder.Get()};
  DISPPARAMS parameters{arguments, nullptr, 2, 0};
  ExceptionInfo exception(*ole_);
  UINT badArgument = 0;
  const HRESULT hr = fileSystem_->Invoke(deleteFolder_, IID{}, LOCALE_USER_DEFAULT,
                                         DISPATCH_METHOD, &parameters, nullptr, &exception.info,
                                         &badArgument);
  if (hr == DISP_E_EXCEPTION) ThrowHresult(kDeleteOperation, exception.Code(), path);
  if (FAILED(hr)) ThrowHresult(kDeleteOperation, hr, path);
}

void DeleteFolderTree(const std::wstring& path) {
  if (!FolderExists(path)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    ThrowLastError(kDeleteOperation, path);
  }
  FirstFailure failure;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveContents(path, failure);
  if (!RemoveDirectoryW(path.c_str())) failure.Note(path);
  failure.ThrowIfAny();
}

std::optional<std::wstring> FindEntryInUse(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  {
    const UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
      do {
        if (IsDotEntry(data.cFileName)) continue;
        const std::wstring path = folder + L"\\" + data.cFileName;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
          if (auto inUse = FindEntryInUse(path)) return inUse;
        } else if (!OpenableForDeletion(path)) {
          return path;
        }
      } while (FindNextFileW(find.Get(), &data));
    }
  }
  if (!OpenableForDeletion(folder)) return folder;
  return std::nullopt;
}

}  // namespace velmo
