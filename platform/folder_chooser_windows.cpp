#include <SDL.h>
#include <SDL_syswm.h>

#include <memory>

#include "platform/folder_chooser.h"
#include "platform/text_encoding.h"

#include "platform/windows_api.h"
// After windows.h, which they need.
#include <objbase.h>
#include <shobjidl.h>

namespace karst::platform {
namespace {

// Releases a COM interface the shell handed out.
struct ComReleaser {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, ComReleaser>;

struct TaskMemoryFreer {
  void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

// COM for this thread, single-threaded as the shell's dialogs need it, for as long as it lives;
// `ready` is false when the thread already runs COM another way.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) {
      CoUninitialize();
    }
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  bool ready() const { return SUCCEEDED(result_); }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

FolderChoice Failed(const std::string& what, HRESULT result) {
  return {FolderChoiceOutcome::kFailed, {}, what + ": " + SystemErrorText(static_cast<unsigned long>(result))};
}

HWND OwnerWindow(SDL_Window* owner) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (owner != nullptr && SDL_GetWindowWMInfo(owner, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_WINDOWS) {
    return info.info.win.window;
  }
  return nullptr;
}

}  // namespace

FolderChoice ChooseFolderWithSystem(SDL_Window* owner, const std::string& startFolder) {
  const ComScope com;
  if (!com.ready()) {
    return Failed("the folder dialog cannot start", com.result());
  }
  IFileOpenDialog* opened = nullptr;
  HRESULT result = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                    reinterpret_cast<void**>(&opened));
  if (FAILED(result) || opened == nullptr) {
    // A system without the shell's dialog: the window's own chooser serves.
    return {FolderChoiceOutcome::kNoChooser, {}, {}};
  }
  const ComPointer<IFileOpenDialog> dialog(opened);
  FILEOPENDIALOGOPTIONS options = 0;
  if (FAILED(dialog->GetOptions(&options))) {
    options = 0;
  }
  // Only folders that exist on a disk: a library or a network place without a path is no folder
  // a path string can name.
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  if (!startFolder.empty()) {
    IShellItem* start = nullptr;
    const std::wstring wideStart = WideFromBytes(startFolder, PathCodePage());
    if (SUCCEEDED(SHCreateItemFromParsingName(wideStart.c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(&start))) &&
        start != nullptr) {
      const ComPointer<IShellItem> owned(start);
      dialog->SetFolder(start);
    }
  }
  result = dialog->Show(OwnerWindow(owner));
  if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
    return {FolderChoiceOutcome::kCancelled, {}, {}};
  }
  if (FAILED(result)) {
    return Failed("the folder dialog failed", result);
  }
  IShellItem* chosen = nullptr;
  result = dialog->GetResult(&chosen);
  if (FAILED(result) || chosen == nullptr) {
    return Failed("the folder dialog gave no folder", result);
  }
  const ComPointer<IShellItem> item(chosen);
  wchar_t* path = nullptr;
  result = item->GetDisplayName(SIGDN_FILESYSPATH, &path);
  if (FAILED(result) || path == nullptr) {
    return Failed("the folder chosen has no path", result);
  }
  const std::unique_ptr<wchar_t, TaskMemoryFreer> ownedPath(path);
  const std::wstring wide(path);
  // Path strings are in the process's code page: a name it cannot hold would come back as
  // another folder's name, so it is refused instead.
  std::string folder = BytesFromWide(wide, PathCodePage());
  if (WideFromBytes(folder, PathCodePage()) != wide) {
    return {FolderChoiceOutcome::kFailed,
            {},
            "the folder's name has characters this system's code page cannot hold; rename it or choose another"};
  }
  return {FolderChoiceOutcome::kChosen, std::move(folder), {}};
}

}  // namespace karst::platform
