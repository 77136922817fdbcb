// COM and automation, bound at run time from ole32 and oleaut32: importing them cost every start,
// while only a running test that can find something needs them. Owners for automation values,
// and late-bound calls by member name.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "environment/Handles.h"

// Loads the libraries (once). False when a library or function is missing: then no COM call
// is made, and no running program can be found.
bool ComAvailable();
// Loads the libraries and initialises COM on this thread, the program's main thread where the
// window's COM work runs; later calls find it done. False when a library or function is missing
// or COM could not be initialised (then a later call tries again).
bool EnsureCom();
// Ends the COM use that EnsureCom began (the window does when it closes; otherwise the end of
// the process does, before the libraries are released).
void EndCom();

// Keeps the libraries loaded while it lasts. What a thread of the program's own uses holds one,
// made before the thread starts: the end of the process must not unload them under a call that
// was left blocked, or under a thread that has not yet begun.
class ComLibraryHold {
public:
    ComLibraryHold();

private:
    UniqueModule ole_, automation_;
};

// COM initialised on a thread of the program's own while it lasts.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    // False when COM could not be initialised here: then no call may be made.
    explicit operator bool() const { return usable_; }

private:
    bool usable_ = false, ours_ = false;
};

void FreeBstr(BSTR b);
void ClearVariant(VARIANT* v);

// A BSTR freed exactly once.
class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(BSTR b) : b_(b) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
    ~UniqueBstr() { FreeBstr(b_); }
    BSTR get() const { return b_; }
    BSTR release() { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

// A VARIANT cleared exactly once.
class Variant {
public:
    Variant() { v_.vt = VT_EMPTY; }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& o) noexcept : v_(o.v_) { o.v_.vt = VT_EMPTY; }
    ~Variant() { ClearVariant(&v_); }
    const VARIANT& get() const { return v_; }
    VARIANT* put() {
        ClearVariant(&v_);
        return &v_;
    }
    // Text in the ANSI code page; an empty Variant when the conversion fails.
    static Variant FromText(const std::string& ansi);
    static Variant FromInt(long value);
    static Variant FromBool(bool value);

private:
    VARIANT v_;
};

// Text in the ANSI code page as UTF-16; empty on failure.
std::wstring WideFromAnsi(const std::string& ansi);
UniqueBstr BstrFromAnsi(const std::string& ansi);

// Calls member Name of Object late-bound: the name is looked up, then invoked with
// Flags (DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT) and Args
// in their natural order. Result may be null.
HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<const VARIANT*> args,
                   VARIANT* result);
// The object a call returned, or empty when it returned none.
ComPtr<IDispatch> DispatchOf(const VARIANT& value);

// Who serves an object: the exporter and object identifiers its standard marshaling names,
// the same for every proxy of one object and different for each object. Empty when unknown.
std::string ObjectIdentity(IUnknown* object);

// The running object registered for a ProgID (text in the ANSI code page), asked for
// IDispatch; empty when none runs. COM must be initialised on this thread (EnsureCom or a
// ComApartment).
ComPtr<IDispatch> ActiveObjectFor(const std::string& progId);
