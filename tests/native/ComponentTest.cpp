#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Classes.h"

namespace {

std::vector<std::string> journal;

// Writes its destruction and every removal it is told of into the journal.
class Named : public TComponent {
public:
    Named(TComponent* owner, std::string name) : TComponent(owner), name_(std::move(name)) {}
    ~Named() override {
        Destroying();
        journal.push_back("~" + name_);
    }
    Named* ref = nullptr;

protected:
    void ForgetComponent(TComponent* c, TOperation op) override {
        if (op != TOperation::opRemove) return;
        journal.push_back(name_ + " forgets " + static_cast<Named*>(c)->name_);
        if (c == ref) ref = nullptr;
    }

private:
    std::string name_;
};

TEST(Component, OwnerFreesItsComponentsLastFirst) {
    journal.clear();
    auto* owner = new Named(nullptr, "form");
    auto* a = new Named(owner, "a");
    new Named(owner, "b");
    new Named(owner, "c");
    delete a;  // a living owner is told while a is still whole
    EXPECT_EQ(2, owner->ComponentCount());
    delete owner;
    EXPECT_EQ((std::vector<std::string>{"form forgets a", "~a", "~form", "~c", "~b"}), journal);
}

TEST(Component, FreeNotificationTellsTheSurvivorWhicheverGoesFirst) {
    journal.clear();
    Named icon(nullptr, "icon");
    auto* menu = new Named(nullptr, "menu");
    menu->FreeNotification(&icon);
    icon.ref = menu;
    delete menu;
    EXPECT_EQ(nullptr, icon.ref);
    EXPECT_EQ((std::vector<std::string>{"icon forgets menu", "~menu"}), journal);

    journal.clear();
    Named list(nullptr, "list");
    {
        Named user(nullptr, "user");
        list.FreeNotification(&user);
        user.FreeNotification(&list);  // a second request makes no second link
    }
    EXPECT_EQ((std::vector<std::string>{"list forgets user", "~user"}), journal);
    journal.clear();
    Named other(nullptr, "other");
    other.FreeNotification(&list);
    other.RemoveFreeNotification(&list);
}

TEST(Component, LoadingLastsFromBeginReadingToFinishLoading) {
    TComponent c(nullptr);
    EXPECT_FALSE(c.Loading());
    c.BeginReading();
    EXPECT_TRUE(c.Loading());
    c.FinishLoading();
    EXPECT_FALSE(c.Loading());
}

}  // namespace
