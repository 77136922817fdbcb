#include "ui/Classes.h"

#include <algorithm>

namespace {
bool Erase(std::vector<TComponent*>& list, TComponent* c) {
    auto it = std::find(list.begin(), list.end(), c);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}
}  // namespace

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
    Destroying();
    // Last first, so a component made later (which may refer to an earlier one) goes first.
    while (!components_.empty()) {
        TComponent* child = components_.back();
        delete child;  // its destructor takes it out of the list
    }
    if (owner_) owner_->Remove(this);
}

void TComponent::Insert(TComponent* child) {
    components_.push_back(child);
    child->owner_ = this;
}

void TComponent::Remove(TComponent* child) {
    if (Erase(components_, child)) child->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this) return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
        freeNotifies_.push_back(other);
    if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) == other->freeNotifies_.end())
        other->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (!other) return;
    Erase(freeNotifies_, other);
    Erase(other->freeNotifies_, this);
}

void TComponent::Destroying() {
    if (destroying_) return;
    destroying_ = true;
    // A partner's notice may drop other links: take them one at a time.
    while (!freeNotifies_.empty()) {
        TComponent* partner = freeNotifies_.back();
        freeNotifies_.pop_back();
        Erase(partner->freeNotifies_, this);
        partner->ForgetComponent(this, TOperation::opRemove);
    }
    if (owner_) owner_->ForgetComponent(this, TOperation::opRemove);
}

void TComponent::BeginReading() { loading_ = true; }

void TComponent::FinishLoading() { loading_ = false; }

void TComponent::ForgetComponent(TComponent*, TOperation) {}
