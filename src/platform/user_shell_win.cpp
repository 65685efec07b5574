#include "platform/user_shell_win.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <stdexcept>

#include "platform/child_process_win.h"
#include "platform/console_text.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// A BSTR variant of a text.
class TextVariant {
 public:
  explicit TextVariant(const std::string& text) {
    ::VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = ::SysAllocString(Widen(text).c_str());
  }
  ~TextVariant() { ::VariantClear(&v_); }
  TextVariant(const TextVariant&) = delete;
  TextVariant& operator=(const TextVariant&) = delete;
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

// The desktop shell's dispatch object, the one that starts programs as the shell itself does
// (with the shell's rights): the desktop window's view, its background object and that
// object's application. Null when any link of the chain is missing.
ComPtr<IShellDispatch2> DesktopShellDispatch() {
  ComPtr<IShellWindows> windows;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows,
                                windows.receive_void())))
    return {};
  ScopedVariant location_holder, root;
  VARIANT* location = location_holder.receive();
  location->vt = VT_I4;
  location->lVal = CSIDL_DESKTOP;
  long hwnd = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(location, root.receive(), SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH,
                            desktop.receive()) != S_OK ||
      !desktop)
    return {};
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folder_view;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.receive_void())) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                    browser.receive_void())) ||
      FAILED(browser->QueryActiveShellView(view.receive())) || !view ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.receive_void())) ||
      FAILED(background->QueryInterface(IID_IShellFolderViewDual, folder_view.receive_void())) ||
      FAILED(folder_view->get_Application(application.receive())) || !application ||
      FAILED(application->QueryInterface(IID_IShellDispatch2, shell.receive_void())))
    return {};
  return shell;
}

}  // namespace

UserShellOpen OpenWithUserShell(const std::string& file, const std::string& arguments,
                                const std::string& explorer_arguments) {
  {
    const ScopedComInit com;
    if (com.ok()) {
      if (const ComPtr<IShellDispatch2> shell = DesktopShellDispatch()) {
        UniqueBstr name(::SysAllocString(Widen(file).c_str()));
        const TextVariant args(arguments), folder(""), operation("");
        VARIANT show;
        ::VariantInit(&show);
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        if (name && SUCCEEDED(shell->ShellExecute(name.get(), args.get(), folder.get(),
                                                  operation.get(), show)))
          return UserShellOpen::kDesktopShell;
      }
    }
  }
  // No desktop shell to ask (or it refused): Explorer, by its full path, with the tool's
  // minimal environment (TEMP the Windows folder's), opens the argument itself. Explorer reads
  // its command line whole ("/select,C:\a b\c" needs no quotes): the arguments go as they
  // are, as a shell command passes them.
  try {
    const std::string explorer = WindowsProgramPath("explorer.exe");
    const StartedProcess started =
        StartProgram(explorer, BuildCommandLine(explorer, {}) + " " + explorer_arguments,
                     ChildSettingFor(WindowsProgramPath("Temp")), {}, ChildStart::kShown);
    return UserShellOpen::kExplorerStarted;
  } catch (const std::runtime_error&) {
    // Nothing could start it; the caller has no one to tell.
    return UserShellOpen::kFailed;
  }
}

UserShellOpen ShowInExplorer(const std::string& path) {
  const std::string arguments = "/select," + path;
  return OpenWithUserShell(WindowsProgramPath("explorer.exe"), arguments, arguments);
}

UserShellOpen OpenAddress(const std::string& address) {
  return OpenWithUserShell(address, "", QuoteArgument(address));
}

}  // namespace kovra::win
