#include "ui/Graphics.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

// A memory device context for a scope; the bitmap selected into it is put back out first.
class MemoryDC {
public:
    explicit MemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDC() {
        if (old_) SelectObject(dc_, old_);
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Handle() const { return dc_; }
    bool Select(HBITMAP bitmap) {
        old_ = dc_ ? SelectObject(dc_, bitmap) : nullptr;
        return old_ != nullptr;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

SIZE SizeOf(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

UniqueBitmap LoadBitmapResource(HINSTANCE module, const char* name) {
    return UniqueBitmap(static_cast<HBITMAP>(LoadImageA(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

}  // namespace

int ScreenDpi() {
    static const int dpi = [] {
        const TScreenDC screen;
        const int value = screen.Handle() ? GetDeviceCaps(screen.Handle(), LOGPIXELSY) : 0;
        return value > 0 ? value : kDesignDpi;
    }();
    return dpi;
}

UniqueBitmap StretchedBitmap(HBITMAP source, int width, int height) {
    const SIZE from = SizeOf(source);
    if (from.cx <= 0 || from.cy <= 0 || width <= 0 || height <= 0) return {};
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    const TScreenDC screen;
    void* bits = nullptr;
    UniqueBitmap result(CreateDIBSection(screen.Handle(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!result) return {};
    bool drawn = false;
    {
        MemoryDC in(screen.Handle()), out(screen.Handle());
        if (in.Select(source) && out.Select(result.get())) {
            SetStretchBltMode(out.Handle(), COLORONCOLOR);
            drawn = StretchBlt(out.Handle(), 0, 0, width, height, in.Handle(), 0, 0, from.cx, from.cy, SRCCOPY) != FALSE;
        }
    }
    if (!drawn) return {};
    return result;
}

UniqueBitmap LoadScaledBitmap(HINSTANCE module, const char* name, int count, SIZE& picture) {
    UniqueBitmap bitmap = LoadBitmapResource(module, name);
    if (!bitmap) return bitmap;
    count = std::max(count, 1);
    const SIZE design = SizeOf(bitmap.get());
    picture = {Scaled(design.cx / count), Scaled(design.cy)};
    if (picture.cx * count == design.cx && picture.cy == design.cy) return bitmap;
    for (int height = picture.cy; height > design.cy; --height) {
        const std::string drawnFor = std::string(name) + "_" + std::to_string(height);
        if (UniqueBitmap drawn = LoadBitmapResource(module, drawnFor.c_str())) {
            bitmap = std::move(drawn);
            break;
        }
    }
    const SIZE found = SizeOf(bitmap.get());
    if (found.cx == picture.cx * count && found.cy == picture.cy) return bitmap;
    if (UniqueBitmap stretched = StretchedBitmap(bitmap.get(), picture.cx * count, picture.cy)) return stretched;
    // Smaller than it should be rather than none.
    picture = {found.cx / count, found.cy};
    return bitmap;
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
