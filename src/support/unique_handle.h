// RAII owners for the kernel, file-search, module, font, screen device context and local memory
// handles the tool obtains, and a scope guard for a clean-up no handle owns.
// Copying is deleted, moving transfers ownership; each kind knows its own invalid value.
#pragma once
#include <windows.h>

#include <utility>

namespace velmo {

template <typename Traits>
class UniqueResource {
 public:
  using Value = typename Traits::Value;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Value value) noexcept : value_(value) {}
  ~UniqueResource() { Reset(); }

  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  [[nodiscard]] Value Get() const noexcept { return value_; }
  [[nodiscard]] bool Valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return Valid(); }

  Value Release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  void Reset(Value value = Traits::Invalid()) noexcept {
    Value old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Value value_ = Traits::Invalid();
};

// Process, thread and snapshot handles: null when absent.
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::CloseHandle(h); }
};

// CreateFile and CreateToolhelp32Snapshot report failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Value h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Value = HANDLE;
  static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Value h) noexcept { ::FindClose(h); }
};

struct ModuleTraits {
  using Value = HMODULE;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::FreeLibrary(h); }
};

struct GdiFontTraits {
  using Value = HFONT;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::DeleteObject(h); }
};

// The screen's device context from GetDC(nullptr).
struct ScreenDcTraits {
  using Value = HDC;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::ReleaseDC(nullptr, h); }
};

// Memory the system allocated for the caller with LocalAlloc (FormatMessage's buffer).
struct LocalMemoryTraits {
  using Value = HLOCAL;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value h) noexcept { ::LocalFree(h); }
};

// Runs `action` when the scope ends unless dismissed: a temporary file removed again unless it
// was moved into place, a folder made for a check removed however the check ends.
template <typename Action>
class ScopeGuard {
 public:
  explicit ScopeGuard(Action action) noexcept : action_(std::move(action)) {}
  ~ScopeGuard() {
    if (armed_) action_();
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

  void Dismiss() noexcept { armed_ = false; }

 private:
  Action action_;
  bool armed_ = true;
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueFont = UniqueResource<GdiFontTraits>;
using UniqueScreenDc = UniqueResource<ScreenDcTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

}  // namespace velmo
