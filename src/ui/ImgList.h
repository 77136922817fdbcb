// A list of equally sized images, held as a system image list.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "ui/Classes.h"

class TImageList : public TComponent {
public:
    // An empty list of 16 x 16 images unless told otherwise.
    explicit TImageList(TComponent* owner, int width = 16, int height = 16);
    ~TImageList() override;

    HIMAGELIST Handle() const { return list_; }
    int Count() const;
    // Appends a copy of Icon's image; its index, or -1.
    int AddIcon(HICON icon);
    // A new icon of image Index that the caller owns; none when out of range.
    HICON GetIcon(int index) const;

private:
    HIMAGELIST list_;
};
