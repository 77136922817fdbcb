// Pictures used by windows and the notification area.
#pragma once
#include <windows.h>

#include "ui/Classes.h"

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
    // Loads an icon resource of Module (small size when Small); false when absent.
    bool LoadFromResourceName(HINSTANCE module, const char* name, bool small = false);

    TNotifyEvent OnChange;

private:
    void Changed();
    HICON handle_ = nullptr;
};
