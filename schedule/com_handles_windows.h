// Windows only: COM held by RAII: the apartment of the calling thread, interface pointers, BSTRs
// and VARIANTs, each released on every path; and an HRESULT worded once.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "runtime/base/error.h"

namespace horalux {

// The failure of a COM or Win32 call (HRESULT_FROM_WIN32): `what` failed, with the system's text
// and the code, and what to do where access was denied.
Error HresultError(HRESULT result, std::string_view what);

// COM for the calling thread for the lifetime of the object.
class ComApartment {
 public:
  ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment();

 private:
  bool initialized_ = false;
};

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  // For the out parameter of a call that hands out a reference.
  Interface** put() {
    Reset();
    return &pointer_;
  }
  void Reset() noexcept {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  Interface* pointer_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(std::wstring_view text = {});
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(text_); }

  BSTR get() const { return text_; }
  BSTR* put() {
    ::SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  std::wstring_view view() const { return {text_, text_ ? ::SysStringLen(text_) : 0}; }

 private:
  BSTR text_ = nullptr;
};

class Variant {
 public:
  Variant() { ::VariantInit(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&value_); }

  // Passed by value to COM, which copies nothing: the object keeps what it holds.
  const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

}  // namespace horalux
