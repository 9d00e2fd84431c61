// RAII for COM: the apartment, interface pointers, BSTRs and VARIANTs. The apartment, BSTRs and
// VARIANTs call ole32 and oleaut32 through the OleApi they are given, which must outlive them.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <string>
#include <utility>

#include "support/ole_api.h"

namespace velmo {

// Enters a single-threaded apartment for its lifetime (and leaves it only if it entered it).
class ComApartment {
 public:
  explicit ComApartment(const OleApi& ole) : ole_(&ole), hr_(ole.EnterApartment()) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ole_->LeaveApartment();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  // S_OK or S_FALSE: usable. RPC_E_CHANGED_MODE: another model is already active, still usable.
  bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
  HRESULT Result() const { return hr_; }

 private:
  const OleApi* ole_;
  HRESULT hr_;
};

// Owns one reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // For out parameters: releases what is held and hands out the slot.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  void Reset() noexcept {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// Owns a BSTR.
class Bstr {
 public:
  explicit Bstr(const OleApi& ole) noexcept : ole_(&ole) {}
  Bstr(const OleApi& ole, const std::wstring& text)
      : ole_(&ole), b_(ole.AllocString(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { ole_->FreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : ole_(other.ole_), b_(std::exchange(other.b_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      ole_->FreeString(b_);
      ole_ = other.ole_;
      b_ = std::exchange(other.b_, nullptr);
    }
    return *this;
  }
  BSTR Get() const noexcept { return b_; }
  BSTR* Put() noexcept {
    ole_->FreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  // Moves the BSTR out, for a VARIANT that will own it.
  BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
  std::wstring Text() const {
    return b_ ? std::wstring(b_, ole_->StringLength(b_)) : std::wstring();
  }

 private:
  const OleApi* ole_;
  BSTR b_ = nullptr;
};

// Owns a VARIANT (cleared on destruction).
class Variant {
 public:
  explicit Variant(const OleApi& ole) noexcept : ole_(&ole) { ole.InitVariant(&v_); }
  ~Variant() { ole_->ClearVariant(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  static Variant FromText(const OleApi& ole, const std::wstring& text) {
    Variant v(ole);
    v.v_.vt = VT_BSTR;
    v.v_.bstrVal = Bstr(ole, text).Detach();
    return v;
  }
  static Variant FromInt(const OleApi& ole, int value) {
    Variant v(ole);
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
  }
  Variant(Variant&& other) noexcept : ole_(other.ole_) {
    v_ = other.v_;
    ole_->InitVariant(&other.v_);
  }

  VARIANT* Get() noexcept { return &v_; }
  const VARIANT* Get() const noexcept { return &v_; }

 private:
  const OleApi* ole_;
  VARIANT v_;
};

}  // namespace velmo
