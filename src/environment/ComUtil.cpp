#include "environment/ComUtil.h"

#include <cstring>
#include <vector>

namespace {

class ComLibrary;
ComLibrary* g_loaded = nullptr;  // once the libraries were asked for

// What CoInitialize left on the calling thread.
enum class Apartment { None, Ours, Foreign };

class ComLibrary {
public:
    ComLibrary() : ole_(LoadLibraryA("OLE32.DLL")), automation_(LoadLibraryA("OLEAUT32.DLL")) {
        CoInitialize = LookupProc<decltype(CoInitialize)>(ole_.get(), "CoInitialize");
        CoUninitialize = LookupProc<decltype(CoUninitialize)>(ole_.get(), "CoUninitialize");
        CLSIDFromProgID = LookupProc<decltype(CLSIDFromProgID)>(ole_.get(), "CLSIDFromProgID");
        CreateStreamOnHGlobal = LookupProc<decltype(CreateStreamOnHGlobal)>(ole_.get(), "CreateStreamOnHGlobal");
        CoMarshalInterface = LookupProc<decltype(CoMarshalInterface)>(ole_.get(), "CoMarshalInterface");
        CoReleaseMarshalData = LookupProc<decltype(CoReleaseMarshalData)>(ole_.get(), "CoReleaseMarshalData");
        GetActiveObject = LookupProc<decltype(GetActiveObject)>(automation_.get(), "GetActiveObject");
        SysAllocStringLen = LookupProc<decltype(SysAllocStringLen)>(automation_.get(), "SysAllocStringLen");
        SysFreeString = LookupProc<decltype(SysFreeString)>(automation_.get(), "SysFreeString");
        VariantClear = LookupProc<decltype(VariantClear)>(automation_.get(), "VariantClear");
        complete_ = CoInitialize && CoUninitialize && CLSIDFromProgID && CreateStreamOnHGlobal && CoMarshalInterface &&
                    CoReleaseMarshalData && GetActiveObject && SysAllocStringLen && SysFreeString && VariantClear;
        g_loaded = this;
    }
    ~ComLibrary() {
        End();
        g_loaded = nullptr;
    }
    ComLibrary(const ComLibrary&) = delete;
    ComLibrary& operator=(const ComLibrary&) = delete;

    bool Loaded() const { return complete_; }
    // S_FALSE (already initialised here) is counted as S_OK is, and ended the same way.
    // RPC_E_CHANGED_MODE: something put the thread in the multithreaded apartment first;
    // calls work there, but ending it is not ours. Any other failure leaves COM unusable.
    Apartment Enter() {
        const HRESULT hr = CoInitialize(nullptr);
        if (SUCCEEDED(hr)) return Apartment::Ours;
        return hr == RPC_E_CHANGED_MODE ? Apartment::Foreign : Apartment::None;
    }
    bool Begin() {
        if (!complete_) return false;
        if (main_ == Apartment::None) main_ = Enter();
        return main_ != Apartment::None;
    }
    void End() {
        if (main_ == Apartment::Ours) CoUninitialize();
        main_ = Apartment::None;
    }

    decltype(&::CoInitialize) CoInitialize;
    decltype(&::CoUninitialize) CoUninitialize;
    decltype(&::CLSIDFromProgID) CLSIDFromProgID;
    decltype(&::CreateStreamOnHGlobal) CreateStreamOnHGlobal;
    decltype(&::CoMarshalInterface) CoMarshalInterface;
    decltype(&::CoReleaseMarshalData) CoReleaseMarshalData;
    decltype(&::GetActiveObject) GetActiveObject;
    decltype(&::SysAllocStringLen) SysAllocStringLen;
    decltype(&::SysFreeString) SysFreeString;
    decltype(&::VariantClear) VariantClear;

private:
    UniqueModule ole_, automation_;
    bool complete_ = false;
    Apartment main_ = Apartment::None;  // of the thread EnsureCom runs on
};

// Loaded at the first call; every COM object of the main thread is released before the end
// (one of another thread may not be: that thread keeps the libraries through a ComLibraryHold).
ComLibrary& Com() {
    static ComLibrary library;
    return library;
}

}  // namespace

bool ComAvailable() { return Com().Loaded(); }

bool EnsureCom() { return Com().Begin(); }

void EndCom() {
    if (g_loaded) g_loaded->End();  // never loads them only to end
}

ComLibraryHold::ComLibraryHold() : ole_(LoadLibraryA("OLE32.DLL")), automation_(LoadLibraryA("OLEAUT32.DLL")) {}

ComApartment::ComApartment() {
    if (!Com().Loaded()) return;
    const Apartment entered = Com().Enter();
    usable_ = entered != Apartment::None;
    ours_ = entered == Apartment::Ours;
}

ComApartment::~ComApartment() {
    if (ours_) Com().CoUninitialize();
}

// A BSTR or a VARIANT that holds anything was made by the library, so it is loaded.
void FreeBstr(BSTR b) {
    if (b) Com().SysFreeString(b);
}

void ClearVariant(VARIANT* v) {
    if (v->vt != VT_EMPTY) Com().VariantClear(v);
    v->vt = VT_EMPTY;
}

std::wstring WideFromAnsi(const std::string& ansi) {
    if (ansi.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return wide;
}

UniqueBstr BstrFromAnsi(const std::string& ansi) {
    if (!ComAvailable()) return UniqueBstr();
    const std::wstring wide = WideFromAnsi(ansi);
    return UniqueBstr(Com().SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

Variant Variant::FromText(const std::string& ansi) {
    Variant v;
    UniqueBstr text = BstrFromAnsi(ansi);
    if (text.get()) {
        v.v_.vt = VT_BSTR;
        v.v_.bstrVal = text.release();
    }
    return v;
}

Variant Variant::FromInt(long value) {
    Variant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
}

Variant Variant::FromBool(bool value) {
    Variant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::initializer_list<const VARIANT*> args,
                   VARIANT* result) {
    if (!object) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;

    // IDispatch takes its arguments last first; the values stay owned by the caller.
    std::vector<VARIANT> reversed(args.size());
    size_t i = args.size();
    for (const VARIANT* a : args) reversed[--i] = *a;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO fault{};
    UINT badArg = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &fault, &badArg);
    FreeBstr(fault.bstrSource);
    FreeBstr(fault.bstrDescription);
    FreeBstr(fault.bstrHelpFile);
    return hr;
}

ComPtr<IDispatch> DispatchOf(const VARIANT& value) {
    ComPtr<IDispatch> object;
    IUnknown* unknown = nullptr;
    if (value.vt == VT_DISPATCH)
        unknown = value.pdispVal;
    else if (value.vt == VT_UNKNOWN)
        unknown = value.punkVal;
    if (unknown) unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.put()));
    return object;
}

ComPtr<IDispatch> ActiveObjectFor(const std::string& progId) {
    ComPtr<IDispatch> object;
    const std::wstring wide = WideFromAnsi(progId);
    CLSID clsid;
    if (wide.empty() || !ComAvailable() || FAILED(Com().CLSIDFromProgID(wide.c_str(), &clsid))) return object;
    ComPtr<IUnknown> running;
    if (FAILED(Com().GetActiveObject(clsid, nullptr, running.put())) || !running) return object;
    running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.put()));
    return object;
}

std::string ObjectIdentity(IUnknown* object) {
    if (!object || !ComAvailable()) return std::string();
    ComPtr<IStream> stream;
    if (FAILED(Com().CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) || !stream) return std::string();
    if (FAILED(Com().CoMarshalInterface(stream.get(), IID_IUnknown, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL)))
        return std::string();
    // OBJREF: signature, flags, IID, then the standard reference: flags, public references, OXID, OID.
    constexpr ULONG kSignature = 0x574F454D, kStandard = 1, kHandler = 2;
    constexpr size_t kIdsAt = 32, kIdsSize = 16;
    unsigned char head[kIdsAt + kIdsSize] = {};
    const LARGE_INTEGER start{};
    ULONG read = 0;
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    const bool gotHead = SUCCEEDED(stream->Read(head, sizeof head, &read)) && read == sizeof head;
    // The marshaling took references of its own, which only releasing the data gives back.
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    Com().CoReleaseMarshalData(stream.get());
    ULONG signature = 0, flags = 0;
    std::memcpy(&signature, head, sizeof signature);
    std::memcpy(&flags, head + 4, sizeof flags);
    if (!gotHead || signature != kSignature || (flags != kStandard && flags != kHandler)) return std::string();
    return std::string(reinterpret_cast<const char*>(head + kIdsAt), kIdsSize);
}
