// The common controls library: the status bar, the hints and the image lists of the button
// glyphs. It is loaded when first needed, not imported: its initialisation brings in the display
// driver and the theme engine, which a command-line run has no use for. The program's manifest
// still chooses which version comes (version 6 and the themed look, where Windows has it).
#pragma once
#include <windows.h>
#include <commctrl.h>

struct CommonControlsLibrary {
    HIMAGELIST(WINAPI* ImageList_Create)(int, int, UINT, int, int) = nullptr;
    BOOL(WINAPI* ImageList_Destroy)(HIMAGELIST) = nullptr;
    int(WINAPI* ImageList_AddMasked)(HIMAGELIST, HBITMAP, COLORREF) = nullptr;
    int(WINAPI* ImageList_ReplaceIcon)(HIMAGELIST, int, HICON) = nullptr;
    BOOL(WINAPI* ImageList_Draw)(HIMAGELIST, int, HDC, int, int, UINT) = nullptr;
    HICON(WINAPI* ImageList_GetIcon)(HIMAGELIST, int, UINT) = nullptr;
    int(WINAPI* ImageList_GetImageCount)(HIMAGELIST) = nullptr;
};

// The library, loaded and its window classes registered at the first call. A function it lacks
// is null, and all are when it cannot be loaded: then no glyph, hint or status bar is shown.
const CommonControlsLibrary& CommonControls();
