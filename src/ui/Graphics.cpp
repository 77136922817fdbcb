#include "ui/Graphics.h"

#include <utility>

int ScreenDpi() {
    static const int dpi = [] {
        const TScreenDC screen;
        const int value = screen.Handle() ? GetDeviceCaps(screen.Handle(), LOGPIXELSY) : 0;
        return value > 0 ? value : kDesignDpi;
    }();
    return dpi;
}

TIcon::~TIcon() {
    if (handle_) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON icon) {
    if (icon == handle_) return;
    if (handle_) DestroyIcon(handle_);
    handle_ = icon;
    Changed();
}

void TIcon::Assign(const TIcon* source) {
    if (source == this) return;
    SetHandle(source && source->handle_ ? CopyIcon(source->handle_) : nullptr);
}

HICON TIcon::ReleaseHandle() { return std::exchange(handle_, nullptr); }

bool TIcon::LoadFromResourceName(HINSTANCE module, const char* name, bool small) {
    const int size = small ? GetSystemMetrics(SM_CXSMICON) : GetSystemMetrics(SM_CXICON);
    HICON icon = static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, size, size, 0));
    if (!icon) return false;
    SetHandle(icon);
    return true;
}

void TIcon::Changed() {
    if (OnChange) OnChange(this);
}
