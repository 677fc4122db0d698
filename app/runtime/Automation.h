#pragma once
// Late-bound COM automation: the one small dispatch helper that everything driving an
// automation object by name goes through. Names are resolved with GetIDsOfNames and
// every call goes through IDispatch::Invoke with owned VARIANTs.
//
// Failures are silent: an operation that fails gives its empty result (empty Text,
// 0, false, an empty reference or an empty Variant) and keeps the failure's HRESULT
// as the calling thread's last automation error. Texts cross into COM as BSTRs and
// back in code page 936, whatever the system's ANSI code page is.

#include "app/runtime/Text.h"

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <span>

// One counted reference to an automation (IDispatch) object, or nothing. Copying adds
// a reference, clearing or destroying releases it.
class AutomationObject {
public:
    AutomationObject() = default;
    // Takes over a reference the caller already owns (as COM hands them out).
    static AutomationObject Adopt(IDispatch* object);
    // Adds a reference of its own to an object the caller keeps.
    static AutomationObject Share(IDispatch* object);

    AutomationObject(const AutomationObject& other);
    AutomationObject(AutomationObject&& other) noexcept;
    AutomationObject& operator=(const AutomationObject& other);
    AutomationObject& operator=(AutomationObject&& other) noexcept;
    ~AutomationObject();

    void Clear();
    bool Empty() const { return object_ == nullptr; }
    explicit operator bool() const { return object_ != nullptr; }
    IDispatch* Get() const { return object_; }

    // Two references are the same when they point at the same object.
    bool operator==(const AutomationObject& other) const { return object_ == other.object_; }

private:
    explicit AutomationObject(IDispatch* object) : object_(object) {}
    IDispatch* object_ = nullptr;
};

// An owned VARIANT: copying copies the value (strings duplicated, objects referenced
// once more), destroying clears it.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&value_); }

    static Variant FromText(TextView text);
    static Variant FromBool(bool value);
    static Variant FromNumber(double value);
    static Variant FromInt(std::int32_t value);
    static Variant FromObject(const AutomationObject& object);

    void Clear() { VariantClear(&value_); }
    bool Empty() const { return value_.vt == VT_EMPTY; }
    VARTYPE Type() const { return value_.vt; }
    const VARIANT& Get() const { return value_; }
    // Clears the held value and hands out the VARIANT for a callee to fill.
    VARIANT* Receive();

private:
    VARIANT value_;
};

// The calling thread's last automation error: S_OK after an operation that succeeded,
// the failure's HRESULT otherwise (the exception's own code when the object raised one).
HRESULT LastAutomationError();

// Creates an object by its ProgID ("VBScript.RegExp"); empty when it cannot be made,
// for example when COM is not initialised on the thread.
AutomationObject CreateAutomationObject(TextView progId);

// Arguments, left to right as the member declares them: `{Variant::FromText(t)}`.
using VariantArgs = std::initializer_list<Variant>;

// The general call: `flags` as IDispatch::Invoke takes them, arguments left to right.
// A property write (DISPATCH_PROPERTYPUT) passes the value as its last argument.
// Returns false and leaves `result` empty when the call fails.
bool InvokeByName(const AutomationObject& object, TextView name, WORD flags,
                  std::span<const Variant> args, Variant* result);

// Property reads; the arguments, if any, are the property's own (an index).
Variant GetPropertyVariant(const AutomationObject& object, TextView name, VariantArgs args = {});
Text GetPropertyText(const AutomationObject& object, TextView name, VariantArgs args = {});
double GetPropertyNumber(const AutomationObject& object, TextView name, VariantArgs args = {});
AutomationObject GetPropertyObject(const AutomationObject& object, TextView name,
                                   VariantArgs args = {});

// Property write; false when the object refused it or has no such property.
bool PutProperty(const AutomationObject& object, TextView name, const Variant& value);

// Method calls.
Variant CallMethod(const AutomationObject& object, TextView name, VariantArgs args = {});
Text CallMethodText(const AutomationObject& object, TextView name, VariantArgs args = {});
bool CallMethodBool(const AutomationObject& object, TextView name, VariantArgs args = {});
AutomationObject CallMethodObject(const AutomationObject& object, TextView name,
                                  VariantArgs args = {});

// Conversions of a held value. Text: a string as it is, empty and null as the empty
// Text, anything else as COM's own conversion to a string (numbers without a locale's
// separators, Booleans as "-1" and "0"). Number: 0 when it does not convert.
// Object: the IDispatch a value holds, empty for anything else.
Text VariantToText(const Variant& value);
double VariantToNumber(const Variant& value);
bool VariantToBool(const Variant& value);
AutomationObject VariantToObject(const Variant& value);
