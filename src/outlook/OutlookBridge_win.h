// Late-bound automation of Outlook: owners for COM pointers, BSTRs and VARIANTs, the few call
// shapes the program uses (property get, method call, collection Item), and the connection.
// Every member is looked up by name at run time, so no Outlook type library is needed.
#pragma once

#include <windows.h>
// The headers below need windows.h first.
#include <ole2.h>
#include <oleauto.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>

namespace wrenpost {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already owns.
    explicit ComPtr(T* owned) noexcept : ptr_(owned) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.ptr_, nullptr));
        }
        return *this;
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    T** put() noexcept {
        reset();
        return &ptr_;
    }
    void reset(T* owned = nullptr) noexcept {
        if (ptr_ != nullptr) {
            ptr_->Release();
        }
        ptr_ = owned;
    }

private:
    T* ptr_ = nullptr;
};

using DispatchPtr = ComPtr<IDispatch>;

class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    // Takes over a string the caller owns.
    explicit UniqueBstr(BSTR owned) noexcept : value_(owned) {}
    ~UniqueBstr() { SysFreeString(value_); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other) {
            SysFreeString(value_);
            value_ = std::exchange(other.value_, nullptr);
        }
        return *this;
    }
    BSTR get() const noexcept { return value_; }
    BSTR release() noexcept { return std::exchange(value_, nullptr); }

private:
    BSTR value_ = nullptr;
};

// A VARIANT initialised on construction and cleared on destruction and before each reuse.
class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    ~UniqueVariant() { VariantClear(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : value_(other.value_) {
        VariantInit(&other.value_);
    }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }

    static UniqueVariant String(const wchar_t* text);
    static UniqueVariant Int32(LONG value);
    static UniqueVariant Bool(bool value);

    const VARIANT& get() const noexcept { return value_; }
    VARIANT* put() noexcept {
        VariantClear(&value_);
        return &value_;
    }
    VARTYPE type() const noexcept { return value_.vt; }
    VARIANT* raw() noexcept { return &value_; }

private:
    VARIANT value_;
};

// The raw calls. Each resolves the one name with GetIDsOfNames (LOCALE_USER_DEFAULT) and invokes
// it; arguments are given in natural order. Any value type is returned; callers check the type.
// Every lookup is a cross-process call, so a call that names the object's `kind` (e.g.
// L"MailItem") reuses the DISPID found for that kind and name while the thread's
// OutlookConnection lives; a member the object then does not know is looked up afresh.
[[nodiscard]] HRESULT GetProperty(IDispatch* object, const wchar_t* name, UniqueVariant& result,
                                  const wchar_t* kind = nullptr);
[[nodiscard]] HRESULT CallMethod(IDispatch* object, const wchar_t* name,
                                 std::initializer_list<const UniqueVariant*> arguments,
                                 UniqueVariant& result, const wchar_t* kind = nullptr);
// Collection access Item(index) with one VT_I4 argument, as method and property get at once.
[[nodiscard]] HRESULT GetItem(IDispatch* collection, LONG index, UniqueVariant& result,
                              const wchar_t* kind = nullptr);

// Typed conveniences: only the expected result type is accepted, anything else is "nothing".
std::wstring GetStringProperty(IDispatch* object, const wchar_t* name,
                               const wchar_t* kind = nullptr);
DispatchPtr GetObjectProperty(IDispatch* object, const wchar_t* name,
                              const wchar_t* kind = nullptr);
DispatchPtr GetItemObject(IDispatch* collection, LONG index, const wchar_t* kind = nullptr);
// VT_I4 or VT_INT; 0 on failure or any other type.
LONG GetCountProperty(IDispatch* object, const wchar_t* name, const wchar_t* kind = nullptr);
// Takes the object out of a VT_DISPATCH result with a non-null pointer; null otherwise.
DispatchPtr TakeObject(UniqueVariant& value);

// The failures that mean Outlook itself is gone, not that it refused one call.
bool OutlookIsGone(HRESULT hr);

// The DISPID cache is on by default; off only to measure what it saves (the benchmark's
// "before").
void UseDispidCache(bool on);

// One connection to Outlook on the calling thread, which must be a thread of its own: a hung
// Outlook blocks it (even in GetActiveObject). Released in reverse order at destruction, and
// the apartment is left only if it was entered here.
class OutlookConnection {
public:
    OutlookConnection() = default;
    ~OutlookConnection();
    OutlookConnection(const OutlookConnection&) = delete;
    OutlookConnection& operator=(const OutlookConnection&) = delete;

    // Enters a single-threaded apartment, attaches to a running Outlook or starts one, and gets
    // the "MAPI" namespace. False when any step fails; Error() then holds the failing HRESULT.
    [[nodiscard]] bool Connect();

    IDispatch* Namespace() const { return namespace_.get(); }
    IDispatch* Application() const { return application_.get(); }
    HRESULT Error() const { return error_; }

private:
    void Disconnect();

    bool comInitialized_ = false;
    std::map<std::wstring, DISPID> dispids_;  // "kind.name"; the calls of this thread use it
    DispatchPtr application_;
    DispatchPtr namespace_;
    HRESULT error_ = S_OK;
};

}  // namespace wrenpost
