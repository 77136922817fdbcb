// Small owners for platform resources; each releases its resource exactly once.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using T = typename Traits::Type;
    UniqueResource() = default;
    explicit UniqueResource(T v) : v_(v) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& o) noexcept : v_(std::exchange(o.v_, Traits::Invalid())) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o) reset(std::exchange(o.v_, Traits::Invalid()));
        return *this;
    }
    ~UniqueResource() { reset(); }

    T get() const { return v_; }
    explicit operator bool() const { return Traits::Valid(v_); }
    T* put() {
        reset();
        return &v_;
    }
    T release() { return std::exchange(v_, Traits::Invalid()); }
    void reset(T v = Traits::Invalid()) {
        if (Traits::Valid(v_)) Traits::Close(v_);
        v_ = v;
    }

private:
    T v_ = Traits::Invalid();
};

struct HandleTraits {  // kernel handles: both null and INVALID_HANDLE_VALUE mean none
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FindTraits {  // FindFirstFileA searches
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct LocalMemTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { LocalFree(h); }
};
struct BitmapTraits {  // GDI bitmaps
    using Type = HBITMAP;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool Valid(Type h) { return h != nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};

// A function of Module that older Windows may lack, bound at run time; none when it is missing.
template <typename Fn>
Fn LookupProc(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through the one function type that converts to every other without a warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFind = UniqueResource<FindTraits>;
using UniqueHKey = UniqueResource<RegKeyTraits>;
using UniqueLocal = UniqueResource<LocalMemTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueBitmap = UniqueResource<BitmapTraits>;

// A COM interface pointer that is released once.
template <typename I>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { reset(); }
    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    I** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    I* p_ = nullptr;
};
