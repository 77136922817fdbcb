#include "ui/ImgList.h"

#include "ui/CommonControls.h"

TImageList::TImageList(TComponent* owner, int width, int height) : TComponent(owner), list_(nullptr) {
    if (const auto create = CommonControls().ImageList_Create) list_ = create(width, height, ILC_COLOR32 | ILC_MASK, 4, 4);
}

TImageList::~TImageList() {
    Destroying();
    if (list_) CommonControls().ImageList_Destroy(list_);
}

int TImageList::Count() const { return list_ ? CommonControls().ImageList_GetImageCount(list_) : 0; }

int TImageList::AddIcon(HICON icon) { return list_ && icon ? CommonControls().ImageList_ReplaceIcon(list_, -1, icon) : -1; }

HICON TImageList::GetIcon(int index) const {
    if (!list_ || index < 0 || index >= Count()) return nullptr;
    return CommonControls().ImageList_GetIcon(list_, index, ILD_NORMAL);
}
