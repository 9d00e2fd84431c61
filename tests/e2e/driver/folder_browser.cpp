#include "folder_browser.h"

#include <utility>

#include "support/unique_handle.h"

namespace velmo::e2e {
namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr int kTextCapacity = 520;

bool DeadlinePassed(DWORD deadline) { return static_cast<LONG>(GetTickCount() - deadline) >= 0; }

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT is marshalled across processes by the system.
  wchar_t text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &ignored);
  return text;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A drive shows as "<label> (C:)"; an unlabelled one as " (C:)".
bool ShowsDrive(const std::wstring& itemText, const std::wstring& drive) {
  const std::wstring suffix = L"(" + drive + L")";
  return itemText.size() >= suffix.size() &&
         SameText(itemText.substr(itemText.size() - suffix.size()), suffix);
}

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindBrowser(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window) || ClassName(window) != L"#32770") {
    return TRUE;
  }
  HWND tree = GetDlgItem(window, kFolderTreeId);
  if (tree == nullptr || ClassName(tree) != WC_TREEVIEWW) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK CollectStatics(HWND child, LPARAM param) {
  if (SameText(ClassName(child), L"Static")) {
    const std::wstring text = WindowText(child);
    if (!text.empty()) reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
  }
  return TRUE;
}

// A buffer in another process, freed when it goes.
class RemoteBuffer {
 public:
  RemoteBuffer(DWORD pid, SIZE_T size)
      : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             pid)) {
    if (process_) {
      address_ = VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Valid() const { return address_ != nullptr; }
  char* Address() const { return static_cast<char*>(address_); }
  bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
    return WriteProcessMemory(process_.Get(), Address() + offset, data, size, nullptr) != 0;
  }
  // Reads from any address of the process, this buffer's or the process's own storage.
  bool Read(const void* remoteAddress, void* data, SIZE_T size) const {
    return ReadProcessMemory(process_.Get(), remoteAddress, data, size, nullptr) != 0;
  }

 private:
  UniqueHandle process_;
  void* address_ = nullptr;
};

// "C:\a\b\" -> {"C:", "a", "b"}
std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring current;
  for (wchar_t c : path) {
    if (c == L'\\') {
      if (!current.empty()) parts.push_back(std::exchange(current, std::wstring()));
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

}  // namespace

std::optional<FolderBrowser> FolderBrowser::WaitFor(DWORD pid, DWORD timeoutMs) {
  const DWORD deadline = GetTickCount() + timeoutMs;
  for (;;) {
    Search search{pid, nullptr};
    EnumWindows(&FindBrowser, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      return FolderBrowser(search.found, GetDlgItem(search.found, kFolderTreeId), pid);
    }
    if (DeadlinePassed(deadline)) return std::nullopt;
    Sleep(kPollMs);
  }
}

std::wstring FolderBrowser::Title() const { return WindowText(dialog_); }

std::vector<std::wstring> FolderBrowser::StaticTexts() const {
  std::vector<std::wstring> texts;
  EnumChildWindows(dialog_, &CollectStatics, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

HTREEITEM FolderBrowser::Next(HTREEITEM item, UINT relation) const {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    return nullptr;
  }
  return reinterpret_cast<HTREEITEM>(result);
}

std::wstring FolderBrowser::ItemText(HTREEITEM item) const {
  // One buffer in the dialog's process: the TVITEMW, then room for the text.
  RemoteBuffer remote(pid_, sizeof(TVITEMW) + kTextCapacity * sizeof(wchar_t));
  if (!remote.Valid()) return {};
  TVITEMW request{};
  request.mask = TVIF_TEXT | TVIF_HANDLE;
  request.hItem = item;
  request.pszText = reinterpret_cast<wchar_t*>(remote.Address() + sizeof(TVITEMW));
  request.cchTextMax = kTextCapacity;
  const wchar_t empty = L'\0';
  if (!remote.Write(0, &request, sizeof request) ||
      !remote.Write(sizeof request, &empty, sizeof empty)) {
    return {};
  }
  DWORD_PTR ok = 0;
  if (!SendMessageTimeoutW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &ok) ||
      !ok) {
    return {};
  }
  // The control either copies the text into our buffer or points pszText at its own storage in
  // its process; both can be read from there.
  TVITEMW answer{};
  if (!remote.Read(remote.Address(), &answer, sizeof answer) || answer.pszText == nullptr) {
    return {};
  }
  wchar_t text[kTextCapacity] = {};
  if (!remote.Read(answer.pszText, text, sizeof text - sizeof(wchar_t))) return {};
  return text;
}

HTREEITEM FolderBrowser::FindChild(HTREEITEM parent,
                                   bool (*matches)(const std::wstring&, const std::wstring&),
                                   const std::wstring& wanted, DWORD deadline) const {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  for (;;) {
    for (HTREEITEM child = Next(parent, TVGN_CHILD); child != nullptr;
         child = Next(child, TVGN_NEXT)) {
      if (matches(ItemText(child), wanted)) return child;
    }
    if (DeadlinePassed(deadline)) return nullptr;
    Sleep(kPollMs);
  }
}

HTREEITEM FolderBrowser::FindDrive(const std::wstring& drive, DWORD deadline) const {
  // The root is the desktop; the drives hang below its computer item, whatever its name.
  for (;;) {
    const HTREEITEM root = Next(nullptr, TVGN_ROOT);
    if (root != nullptr) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root),
                          SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
      if (ShowsDrive(ItemText(root), drive)) return root;
      for (HTREEITEM child = Next(root, TVGN_CHILD); child != nullptr;
           child = Next(child, TVGN_NEXT)) {
        if (ShowsDrive(ItemText(child), drive)) return child;
        if (Next(child, TVGN_CHILD) == nullptr) {
          SendMessageTimeoutW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(child),
                              SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
        }
        for (HTREEITEM grandchild = Next(child, TVGN_CHILD); grandchild != nullptr;
             grandchild = Next(grandchild, TVGN_NEXT)) {
          if (ShowsDrive(ItemText(grandchild), drive)) return grandchild;
        }
      }
    }
    if (DeadlinePassed(deadline)) return nullptr;
    Sleep(kPollMs);
  }
}

bool FolderBrowser::Choose(const std::wstring& folder, DWORD timeoutMs) {
  const DWORD deadline = GetTickCount() + timeoutMs;
  const std::vector<std::wstring> parts = SplitPath(folder);
  if (parts.empty()) return false;
  HTREEITEM item = FindDrive(parts[0], deadline);
  for (std::size_t i = 1; item != nullptr && i < parts.size(); ++i) {
    item = FindChild(item, &SameText, parts[i], deadline);
  }
  if (item == nullptr) return false;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item),
                      SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
  if (!SendMessageTimeoutW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored)) {
    return false;
  }
  PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return true;
}

void FolderBrowser::Cancel() {
  PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

bool FolderBrowser::WaitClosed(DWORD timeoutMs) const {
  const DWORD deadline = GetTickCount() + timeoutMs;
  while (IsWindow(dialog_)) {
    if (DeadlinePassed(deadline)) return false;
    Sleep(kPollMs);
  }
  return true;
}

}  // namespace velmo::e2e
