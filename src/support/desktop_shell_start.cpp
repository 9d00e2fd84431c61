#include "support/desktop_shell_start.h"

#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "support/com.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

// CLSID_ShellWindows and SID_STopLevelBrowser, written out so that no GUID library is needed.
constexpr CLSID kShellWindowsClass = {
    0x9ba05972, 0xf6a8, 0x11cf, {0xa4, 0x42, 0x00, 0xa0, 0xc9, 0x0a, 0x8f, 0x39}};
constexpr GUID kTopLevelBrowserService = {
    0x4c96be40, 0x915c, 0x11cf, {0x99, 0xd3, 0x00, 0xaa, 0x00, 0x4a, 0xe8, 0x37}};

// The shell's automation object behind the desktop window: the desktop's entry in the shell's
// window list, its browser, the view it shows, that view's automation object, its application.
HRESULT DesktopShellDispatch(const OleApi& ole, ComPtr<IShellDispatch2>& shell) {
  ComPtr<IShellWindows> windows;
  HRESULT hr = ole.CreateInstance(kShellWindowsClass, CLSCTX_LOCAL_SERVER, __uuidof(IShellWindows),
                                  windows.PutVoid());
  if (FAILED(hr)) return hr;
  Variant desktop = Variant::FromInt(ole, CSIDL_DESKTOP);
  Variant noRoot(ole);
  LONG window = 0;
  ComPtr<IDispatch> found;
  hr = windows->FindWindowSW(desktop.Get(), noRoot.Get(), SWC_DESKTOP, &window,
                             SWFO_NEEDDISPATCH, found.Put());
  if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
  ComPtr<IServiceProvider> services;
  if (FAILED(hr = found->QueryInterface(__uuidof(IServiceProvider), services.PutVoid()))) return hr;
  ComPtr<IShellBrowser> browser;
  hr = services->QueryService(kTopLevelBrowserService, __uuidof(IShellBrowser), browser.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IShellView> view;
  if (FAILED(hr = browser->QueryActiveShellView(view.Put()))) return hr;
  ComPtr<IDispatch> background;
  hr = view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IShellFolderViewDual> folderView;
  hr = background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IDispatch> application;
  if (FAILED(hr = folderView->get_Application(application.Put()))) return hr;
  return application->QueryInterface(__uuidof(IShellDispatch2), shell.PutVoid());
}

}  // namespace

void StartThroughDesktopShell(const std::wstring& program, const std::wstring& arguments,
                              const std::wstring& workingFolder, int showCommand,
                              const std::wstring& operation) {
  const OleApi ole;
  const ComApartment apartment(ole);
  if (!apartment.Usable()) ThrowHresult(operation, apartment.Result(), program);
  ComPtr<IShellDispatch2> shell;
  const HRESULT reached = DesktopShellDispatch(ole, shell);
  if (FAILED(reached)) ThrowHresult(operation, reached, program);
  const Bstr file(ole, program);
  Variant argumentsValue = Variant::FromText(ole, arguments);
  Variant folder = Variant::FromText(ole, workingFolder);
  Variant openVerb = Variant::FromText(ole, L"open");
  Variant show = Variant::FromInt(ole, showCommand);
  const HRESULT started = shell->ShellExecute(file.Get(), *argumentsValue.Get(), *folder.Get(),
                                              *openVerb.Get(), *show.Get());
  if (FAILED(started)) ThrowHresult(operation, started, program);
}

}  // namespace velmo
