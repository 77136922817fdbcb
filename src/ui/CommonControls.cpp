#include "ui/CommonControls.h"

#include "environment/Handles.h"

namespace {

class Library : public CommonControlsLibrary {
public:
    Library() : module_(LoadLibraryA("COMCTL32.DLL")) {
        HMODULE m = module_.get();
        ImageList_Create = LookupProc<decltype(ImageList_Create)>(m, "ImageList_Create");
        ImageList_Destroy = LookupProc<decltype(ImageList_Destroy)>(m, "ImageList_Destroy");
        ImageList_AddMasked = LookupProc<decltype(ImageList_AddMasked)>(m, "ImageList_AddMasked");
        ImageList_ReplaceIcon = LookupProc<decltype(ImageList_ReplaceIcon)>(m, "ImageList_ReplaceIcon");
        ImageList_Draw = LookupProc<decltype(ImageList_Draw)>(m, "ImageList_Draw");
        ImageList_GetIcon = LookupProc<decltype(ImageList_GetIcon)>(m, "ImageList_GetIcon");
        ImageList_GetImageCount = LookupProc<decltype(ImageList_GetImageCount)>(m, "ImageList_GetImageCount");
        // The library of Windows 95 and NT 4.0 without Internet Explorer 3 (4.00) lacks
        // InitCommonControlsEx; there InitCommonControls registers the same classes.
        using InitExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        using InitFn = void(WINAPI*)();
        const auto initEx = LookupProc<InitExFn>(m, "InitCommonControlsEx");
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
        if (!initEx || !initEx(&icc))
            if (const auto init = LookupProc<InitFn>(m, "InitCommonControls")) init();
    }

private:
    // Released at the very end: windows of its classes live as long as the application.
    UniqueModule module_;
};

}  // namespace

const CommonControlsLibrary& CommonControls() {
    static const Library library;
    return library;
}
