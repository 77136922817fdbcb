// The component model shared by every window and non-visual part of the program:
// objects, the base exception, components with owners and destruction notices,
// loading hooks, and the event shapes.
#pragma once
#include <exception>
#include <functional>
#include <string>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// Base of the framework's exceptions: carries only its message text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// A set of keys and buttons held, one bit per element.
using TShiftState = unsigned;
enum : TShiftState { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

enum class TOperation { opInsert, opRemove };

// A component is owned by another (its owner frees it) and can ask to be told
// when a component it refers to goes away.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_[index]; }

    // This component is told (ForgetComponent) when Other is destroyed, and the
    // other way round; links are dropped by whichever goes first.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    // Loading: BeginReading before the stored properties are set, FinishLoading
    // once after all of them. Loading() is true in between.
    virtual void BeginReading();
    virtual void FinishLoading();
    bool Loading() const { return loading_; }

protected:
    // Told of a component that is inserted into or removed from this one's
    // reach (a free-notification partner or an owned component going away).
    virtual void ForgetComponent(TComponent* component, TOperation operation);
    // Tells the partners and the owner that this component goes away. Destructors of classes
    // that others refer to call it first, while the whole object still exists;
    // later calls do nothing.
    void Destroying();
    bool IsDestroying() const { return destroying_; }

private:
    void Insert(TComponent* child);
    void Remove(TComponent* child);

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    bool loading_ = false;
    bool destroying_ = false;
};
