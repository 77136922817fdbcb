#include "environment/ComUtil.h"

#include <cstring>
#include <vector>

std::wstring WideFromAnsi(const std::string& ansi) {
    if (ansi.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return wide;
}

UniqueBstr BstrFromAnsi(const std::string& ansi) {
    const std::wstring wide = WideFromAnsi(ansi);
    return UniqueBstr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
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
    SysFreeString(fault.bstrSource);
    SysFreeString(fault.bstrDescription);
    SysFreeString(fault.bstrHelpFile);
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
    if (wide.empty() || FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) return object;
    ComPtr<IUnknown> running;
    if (FAILED(GetActiveObject(clsid, nullptr, running.put())) || !running) return object;
    running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.put()));
    return object;
}

std::string ObjectIdentity(IUnknown* object) {
    if (!object) return std::string();
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) || !stream) return std::string();
    if (FAILED(CoMarshalInterface(stream.get(), IID_IUnknown, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL)))
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
    CoReleaseMarshalData(stream.get());
    ULONG signature = 0, flags = 0;
    std::memcpy(&signature, head, sizeof signature);
    std::memcpy(&flags, head + 4, sizeof flags);
    if (!gotHead || signature != kSignature || (flags != kStandard && flags != kHandler)) return std::string();
    return std::string(reinterpret_cast<const char*>(head + kIdsAt), kIdsSize);
}
