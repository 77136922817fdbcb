#include "ui/ImgList.h"

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner), list_(ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 4, 4)) {}

TImageList::~TImageList() {
    Destroying();
    if (list_) ImageList_Destroy(list_);
}

int TImageList::Count() const { return list_ ? ImageList_GetImageCount(list_) : 0; }

int TImageList::AddIcon(HICON icon) { return list_ && icon ? ImageList_AddIcon(list_, icon) : -1; }

HICON TImageList::GetIcon(int index) const {
    if (!list_ || index < 0 || index >= Count()) return nullptr;
    return ImageList_GetIcon(list_, index, ILD_NORMAL);
}
