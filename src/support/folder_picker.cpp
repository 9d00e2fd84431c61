#include "support/folder_picker.h"

#include <windows.h>
#include <shldisp.h>

#include "support/com.h"
#include "support/file_queries.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kPrompt[] = L"选择目录:";
constexpr wchar_t kRootFolder[] = L"C:\\Scripts";
constexpr wchar_t kOperation[] = L"打开文件夹选择对话框";
// The shell's number for the desktop (ssfDESKTOP): the root of the whole tree.
constexpr int kDesktopRoot = 0;

void Check(HRESULT hr) {
  if (FAILED(hr)) ThrowHresult(kOperation, hr);
}

}  // namespace

std::wstring BrowseForFolderPath() {
  const OleApi ole;
  const ComApartment apartment(ole);
  if (!apartment.Usable()) ThrowHresult(kOperation, apartment.Result());
  CLSID shellClass{};
  Check(ole.ClassFromProgId(L"Shell.Application", &shellClass));
  ComPtr<IShellDispatch> shell;
  Check(ole.CreateInstance(shellClass, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                           __uuidof(IShellDispatch), shell.PutVoid()));

  // Without the usual root folder the whole tree is offered, from the desktop down, instead of
  // a dialog with nothing to choose.
  Variant root = FolderExists(kRootFolder) ? Variant::FromText(ole, kRootFolder)
                                           : Variant::FromInt(ole, kDesktopRoot);
  const Bstr prompt(ole, kPrompt);
  ComPtr<Folder> folder;
  Check(shell->BrowseForFolder(0, prompt.Get(), 0, *root.Get(), folder.Put()));
  if (!folder) return {};  // cancelled

  ComPtr<Folder2> folder2;
  Check(folder->QueryInterface(__uuidof(Folder2), folder2.PutVoid()));
  ComPtr<FolderItem> self;
  Check(folder2->get_Self(self.Put()));
  if (!self) ThrowHresult(kOperation, E_POINTER);
  Bstr path(ole);
  Check(self->get_Path(path.Put()));
  return path.Text();
}

}  // namespace velmo
