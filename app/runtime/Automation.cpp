#include "app/runtime/Automation.h"

#include <string>
#include <utility>
#include <vector>

namespace {

thread_local HRESULT lastError = S_OK;

// The headers declare the source of VariantCopy and VariantChangeTypeEx without const;
// both only read it.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }

HRESULT Remember(HRESULT result) {
    lastError = result;
    return result;
}

// A BSTR that frees itself; the runtime's Text becomes one through code page 936.
class OwnedBstr {
public:
    explicit OwnedBstr(TextView text) {
        std::wstring wide = GbkToWide(text);
        value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    OwnedBstr(const OwnedBstr&) = delete;
    OwnedBstr& operator=(const OwnedBstr&) = delete;
    ~OwnedBstr() { SysFreeString(value_); }
    BSTR Get() const { return value_; }
    BSTR Release() { return std::exchange(value_, nullptr); }

private:
    BSTR value_ = nullptr;
};

// Frees what Invoke may have put into an EXCEPINFO and gives the code the object
// raised; a deferred fill-in has to run before the code is there.
HRESULT TakeExceptionCode(EXCEPINFO& info, HRESULT invokeResult) {
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    HRESULT code = invokeResult;
    if (invokeResult == DISP_E_EXCEPTION) {
        if (info.scode != 0) {
            code = info.scode;
        } else if (info.wCode != 0) {
            code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_DISPATCH, info.wCode);
        }
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return code;
}

bool LookUpName(IDispatch* object, TextView name, DISPID& id) {
    std::wstring wide = GbkToWide(name);
    LPOLESTR names[] = {wide.data()};
    return SUCCEEDED(Remember(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)));
}

}  // namespace

// ---- AutomationObject ----

AutomationObject AutomationObject::Adopt(IDispatch* object) { return AutomationObject(object); }

AutomationObject AutomationObject::Share(IDispatch* object) {
    if (object != nullptr) object->AddRef();
    return AutomationObject(object);
}

AutomationObject::AutomationObject(const AutomationObject& other) : object_(other.object_) {
    if (object_ != nullptr) object_->AddRef();
}

AutomationObject::AutomationObject(AutomationObject&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)) {}

AutomationObject& AutomationObject::operator=(const AutomationObject& other) {
    // Reference the new object before releasing the old: they may be the same.
    if (other.object_ != nullptr) other.object_->AddRef();
    IDispatch* old = std::exchange(object_, other.object_);
    if (old != nullptr) old->Release();
    return *this;
}

AutomationObject& AutomationObject::operator=(AutomationObject&& other) noexcept {
    if (this != &other) {
        Clear();
        object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
}

AutomationObject::~AutomationObject() { Clear(); }

void AutomationObject::Clear() {
    if (IDispatch* old = std::exchange(object_, nullptr)) old->Release();
}

// ---- Variant ----

Variant::Variant(const Variant& other) {
    VariantInit(&value_);
    VariantCopy(&value_, Source(other.value_));
}

Variant::Variant(Variant&& other) noexcept {
    value_ = other.value_;
    VariantInit(&other.value_);
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) VariantCopy(&value_, Source(other.value_));
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&value_);
        value_ = other.value_;
        VariantInit(&other.value_);
    }
    return *this;
}

Variant Variant::FromText(TextView text) {
    Variant v;
    OwnedBstr bstr(text);
    if (bstr.Get() != nullptr) {
        v.value_.vt = VT_BSTR;
        v.value_.bstrVal = bstr.Release();
    }
    return v;
}

Variant Variant::FromBool(bool value) {
    Variant v;
    v.value_.vt = VT_BOOL;
    v.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::FromNumber(double value) {
    Variant v;
    v.value_.vt = VT_R8;
    v.value_.dblVal = value;
    return v;
}

Variant Variant::FromInt(std::int32_t value) {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = value;
    return v;
}

Variant Variant::FromObject(const AutomationObject& object) {
    Variant v;
    if (IDispatch* dispatch = object.Get()) {
        dispatch->AddRef();
        v.value_.vt = VT_DISPATCH;
        v.value_.pdispVal = dispatch;
    }
    return v;
}

VARIANT* Variant::Receive() {
    VariantClear(&value_);
    return &value_;
}

// ---- Calls ----

HRESULT LastAutomationError() { return lastError; }

AutomationObject CreateAutomationObject(TextView progId) {
    std::wstring wide = GbkToWide(progId);
    CLSID clsid{};
    if (FAILED(Remember(CLSIDFromProgID(wide.c_str(), &clsid)))) return {};
    IDispatch* object = nullptr;
    if (FAILED(Remember(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                         IID_IDispatch, reinterpret_cast<void**>(&object))))) {
        return {};
    }
    return AutomationObject::Adopt(object);
}

bool InvokeByName(const AutomationObject& object, TextView name, WORD flags,
                  std::span<const Variant> args, Variant* result) {
    if (result != nullptr) result->Clear();
    if (object.Empty()) {
        Remember(E_POINTER);
        return false;
    }
    DISPID id = DISPID_UNKNOWN;
    if (!LookUpName(object.Get(), name, id)) return false;

    // Invoke wants the arguments last to first. The array borrows the callers' values
    // (a callee never changes a by-value argument), so nothing here frees them.
    std::vector<VARIANTARG> reversed(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        reversed[args.size() - 1 - i] = args[i].Get();
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    const bool write = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (write) {
        // A property write names its value argument; objects refuse it otherwise.
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    Variant received;
    EXCEPINFO exception{};
    UINT badArgument = 0;
    HRESULT hr = object.Get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      write ? nullptr : received.Receive(), &exception,
                                      &badArgument);
    if (FAILED(hr)) {
        Remember(TakeExceptionCode(exception, hr));
        return false;
    }
    Remember(S_OK);
    if (result != nullptr) *result = std::move(received);
    return true;
}

Variant GetPropertyVariant(const AutomationObject& object, TextView name, VariantArgs args) {
    Variant result;
    InvokeByName(object, name, DISPATCH_PROPERTYGET, {args.begin(), args.size()}, &result);
    return result;
}

Text GetPropertyText(const AutomationObject& object, TextView name, VariantArgs args) {
    Variant value;
    if (!InvokeByName(object, name, DISPATCH_PROPERTYGET, {args.begin(), args.size()}, &value)) {
        return {};
    }
    return VariantToText(value);
}

double GetPropertyNumber(const AutomationObject& object, TextView name, VariantArgs args) {
    Variant value;
    if (!InvokeByName(object, name, DISPATCH_PROPERTYGET, {args.begin(), args.size()}, &value)) {
        return 0;
    }
    return VariantToNumber(value);
}

AutomationObject GetPropertyObject(const AutomationObject& object, TextView name,
                                   VariantArgs args) {
    Variant value;
    if (!InvokeByName(object, name, DISPATCH_PROPERTYGET, {args.begin(), args.size()}, &value)) {
        return {};
    }
    return VariantToObject(value);
}

bool PutProperty(const AutomationObject& object, TextView name, const Variant& value) {
    return InvokeByName(object, name, DISPATCH_PROPERTYPUT, {&value, 1}, nullptr);
}

// Methods are called the way late-bound script callers do, allowing a property get
// too: a collection's "Item" is a property for some objects and a method for others.
Variant CallMethod(const AutomationObject& object, TextView name, VariantArgs args) {
    Variant result;
    InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {args.begin(), args.size()},
                 &result);
    return result;
}

Text CallMethodText(const AutomationObject& object, TextView name, VariantArgs args) {
    Variant value;
    if (!InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                      {args.begin(), args.size()}, &value)) {
        return {};
    }
    return VariantToText(value);
}

bool CallMethodBool(const AutomationObject& object, TextView name, VariantArgs args) {
    Variant value;
    if (!InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                      {args.begin(), args.size()}, &value)) {
        return false;
    }
    return VariantToBool(value);
}

AutomationObject CallMethodObject(const AutomationObject& object, TextView name,
                                  VariantArgs args) {
    Variant value;
    if (!InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                      {args.begin(), args.size()}, &value)) {
        return {};
    }
    return VariantToObject(value);
}

// ---- Conversions ----

Text VariantToText(const Variant& value) {
    const VARIANT& v = value.Get();
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) {
        Remember(S_OK);
        return {};
    }
    if (v.vt == VT_BSTR) {
        Remember(S_OK);
        return WideToGbk(std::wstring_view(v.bstrVal, SysStringLen(v.bstrVal)));
    }
    // The invariant locale keeps numbers free of the user's separators.
    Variant converted;
    if (FAILED(Remember(VariantChangeTypeEx(converted.Receive(), Source(v), LOCALE_INVARIANT, 0, VT_BSTR)))) {
        return {};
    }
    const VARIANT& text = converted.Get();
    return WideToGbk(std::wstring_view(text.bstrVal, SysStringLen(text.bstrVal)));
}

double VariantToNumber(const Variant& value) {
    Variant converted;
    if (FAILED(Remember(
            VariantChangeTypeEx(converted.Receive(), Source(value.Get()), LOCALE_INVARIANT, 0, VT_R8)))) {
        return 0;
    }
    return converted.Get().dblVal;
}

bool VariantToBool(const Variant& value) {
    Variant converted;
    if (FAILED(Remember(
            VariantChangeTypeEx(converted.Receive(), Source(value.Get()), LOCALE_INVARIANT, 0, VT_BOOL)))) {
        return false;
    }
    return converted.Get().boolVal != VARIANT_FALSE;
}

AutomationObject VariantToObject(const Variant& value) {
    const VARIANT& v = value.Get();
    if (v.vt == VT_DISPATCH) {
        Remember(S_OK);
        return AutomationObject::Share(v.pdispVal);
    }
    if (v.vt == VT_UNKNOWN && v.punkVal != nullptr) {
        IDispatch* dispatch = nullptr;
        if (SUCCEEDED(Remember(v.punkVal->QueryInterface(IID_IDispatch,
                                                         reinterpret_cast<void**>(&dispatch))))) {
            return AutomationObject::Adopt(dispatch);
        }
        return {};
    }
    Remember(DISP_E_TYPEMISMATCH);
    return {};
}
