#include "environment/ShellFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <memory>

#include "environment/Handles.h"

namespace {

using GetSpecialFolderLocationFn = HRESULT(WINAPI*)(HWND, int, LPITEMIDLIST*);
using GetPathFromIdListFn = BOOL(WINAPI*)(LPCITEMIDLIST, LPSTR);
using GetMallocFn = HRESULT(WINAPI*)(IMalloc**);
using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

// The shell's own allocator frees what the shell allocated: the way Windows 95 and NT 4.0 know,
// and it needs no COM library of ours. Without it the list is left to the end of the process.
struct PidlFree {
    IMalloc* shellMalloc;
    void operator()(ITEMIDLIST* p) const {
        if (shellMalloc) shellMalloc->Free(p);
    }
};

}  // namespace

std::string GetShellFolder(int csidl) {
    try {
        // Looked up at run time: the oldest shells lack these exports.
        const UniqueModule shell(LoadLibraryA("SHELL32.DLL"));
        if (!shell) return std::string();
        char buf[511] = {};  // at least MAX_PATH, as the shell requires
        // Windows 2000 and later answer by name without building an item list, which takes Wine
        // milliseconds; a folder it cannot name is asked the older way.
        if (const auto getFolderPath = LookupProc<GetFolderPathFn>(shell.get(), "SHGetFolderPathA");
            getFolderPath && getFolderPath(nullptr, csidl, nullptr, 0, buf) == S_OK)
            return std::string(buf, strnlen(buf, sizeof buf));
        const auto getLocation = LookupProc<GetSpecialFolderLocationFn>(shell.get(), "SHGetSpecialFolderLocation");
        const auto getPath = LookupProc<GetPathFromIdListFn>(shell.get(), "SHGetPathFromIDListA");
        const auto getMalloc = LookupProc<GetMallocFn>(shell.get(), "SHGetMalloc");
        if (!getLocation || !getPath) return std::string();
        ComPtr<IMalloc> shellMalloc;
        if (getMalloc) getMalloc(shellMalloc.put());
        LPITEMIDLIST raw = nullptr;
        // The owner window is reserved by the shell; the folder is not created.
        if (FAILED(getLocation(nullptr, csidl, &raw)) || !raw) return std::string();
        const std::unique_ptr<ITEMIDLIST, PidlFree> pidl(raw, PidlFree{shellMalloc.get()});
        if (!getPath(pidl.get(), buf)) return std::string();
        return std::string(buf, strnlen(buf, sizeof buf));
    } catch (...) {
        return std::string();
    }
}
