// Pictures used by windows and the notification area, and the screen they are drawn for.
#pragma once
#include <windows.h>

#include "environment/Handles.h"
#include "ui/Classes.h"
#include "ui/Dpi.h"

// The screen's dpi (LOGPIXELSY), read once. The program declares itself dpi-aware, so this is the
// real one wherever Windows knows of display scales; 96 when it cannot be read.
int ScreenDpi();
// A length of a layout written for 96 dpi, in pixels of this screen.
inline int Scaled(int designPixels) { return ScaleToDpi(designPixels, ScreenDpi()); }

// The screen's device context for a scope.
class TScreenDC {
public:
    TScreenDC() : dc_(GetDC(nullptr)) {}
    ~TScreenDC() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    TScreenDC(const TScreenDC&) = delete;
    TScreenDC& operator=(const TScreenDC&) = delete;
    HDC Handle() const { return dc_; }

private:
    HDC dc_;
};

// A new 24-bit bitmap of Width x Height with Source's picture stretched onto it; none on failure.
// Every pixel is a copy of one of the source's (COLORONCOLOR): a blend would mix a transparent
// colour into the picture's edges and leave coloured fringes around it.
UniqueBitmap StretchedBitmap(HBITMAP source, int width, int height);

// The bitmap resource Name of Module, Count pictures side by side, for this screen. Name holds them
// drawn for 96 dpi; Name_<height> (e.g. GLYPH_HELP_24) may hold them drawn anew for a larger scale.
// The one of this screen's height is taken as it is, otherwise the largest one below it is
// stretched. Picture receives the size of one picture. None when Name is missing.
UniqueBitmap LoadScaledBitmap(HINSTANCE module, const char* name, int count, SIZE& picture);

// An icon that owns its HICON and reports every change of its image.
class TIcon : public TObject {
public:
    TIcon() = default;
    ~TIcon() override;

    HICON Handle() const { return handle_; }
    bool Empty() const { return handle_ == nullptr; }
    // Takes ownership of Icon (none releases the current image).
    void SetHandle(HICON icon);
    // Copies Source's image; an empty or absent source releases the current one.
    void Assign(const TIcon* source);
    // Gives the handle away without a change notice; the icon is empty afterwards.
    HICON ReleaseHandle();
    // Loads an icon resource of Module at the system's size for this screen (its small size, as in
    // captions and the notification area, when Small); false when absent.
    bool LoadFromResourceName(HINSTANCE module, const char* name, bool small = false);

    TNotifyEvent OnChange;

private:
    void Changed();
    HICON handle_ = nullptr;
};
