// Owner types for every kind of system handle the tool opens. Each owner closes its handle
// exactly once, on every path; nothing else in the code closes a handle by hand.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <winsvc.h>
#include <wtsapi32.h>

#include <utility>

#include "platform/optional_function_win.h"

namespace kovra::win {

// Owns one handle value; Traits gives the invalid value(s) and the release call.
template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : handle_(h) {}
  ~ScopedHandle() { reset(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }

  Handle get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  explicit operator bool() const { return valid(); }

  // Releases the current handle and takes `h`.
  void reset(Handle h = Traits::Invalid()) {
    if (Traits::IsValid(handle_))
      Traits::Close(handle_);
    handle_ = h;
  }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }

  // For out-parameters: releases the current handle and gives the slot to fill.
  Handle* receive() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// Kernel objects: files, processes, threads, events, pipes, mappings, jobs. Both NULL and
// INVALID_HANDLE_VALUE mean "no handle", as the API returns either depending on the call.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
using UniqueHandle = ScopedHandle<KernelHandleTraits>;

// Access tokens are kernel handles, kept apart so that signatures say which they take.
struct TokenTraits : KernelHandleTraits {};
using UniqueToken = ScopedHandle<TokenTraits>;

// Toolhelp snapshots.
struct SnapshotTraits : KernelHandleTraits {};
using UniqueSnapshot = ScopedHandle<SnapshotTraits>;

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};
using UniqueHkey = ScopedHandle<RegKeyTraits>;

struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::CloseServiceHandle(h); }
};
using UniqueServiceHandle = ScopedHandle<ServiceHandleTraits>;

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
using UniqueFindHandle = ScopedHandle<FindHandleTraits>;

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};
using UniqueModule = ScopedHandle<ModuleTraits>;

struct MappedViewTraits {
  using Handle = const void*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::UnmapViewOfFile(h); }
};
using UniqueMappedView = ScopedHandle<MappedViewTraits>;

// Buffers the system allocates with LocalAlloc (FormatMessage, ConvertSidToStringSid, ...).
struct LocalMemTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::LocalFree(h); }
};
using UniqueLocalMem = ScopedHandle<LocalMemTraits>;

// Buffers of the terminal-services queries. wtsapi32.dll is reached through the system
// folder's copy only; a buffer exists only when its query was found there, and so was this.
struct WtsMemoryTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) {
    static const auto free_memory =
        SystemFunction<decltype(&::WTSFreeMemory)>(L"wtsapi32.dll", "WTSFreeMemory");
    if (free_memory)
      free_memory(h);
  }
};
using UniqueWtsMemory = ScopedHandle<WtsMemoryTraits>;

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};
using UniqueGdiObject = ScopedHandle<GdiObjectTraits>;

// An icon the program created or took from an image list.
struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};
using UniqueIcon = ScopedHandle<IconTraits>;

// A window the program created and destroys itself (a tooltip, say).
struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};
using UniqueWindow = ScopedHandle<WindowTraits>;

// A memory device context from CreateCompatibleDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};
using UniqueMemoryDC = ScopedHandle<MemoryDcTraits>;

// A window's device context from GetDC, released at scope end.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedGetDC() {
    if (dc_ != nullptr)
      ::ReleaseDC(window_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back at scope end.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (old_ != nullptr && old_ != HGDI_ERROR)
      ::SelectObject(dc_, old_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// COM interface pointer: one reference, released at scope end.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_ != nullptr)
      std::exchange(p_, nullptr)->Release();
  }
  T** receive() {
    reset();
    return &p_;
  }
  void** receive_void() { return reinterpret_cast<void**>(receive()); }
  // Forgets the object without releasing it: for an object whose code faulted, which is not
  // called again.
  void abandon() { p_ = nullptr; }

 private:
  T* p_ = nullptr;
};

// A BSTR the caller owns: freed at scope end.
struct BstrTraits {
  using Handle = BSTR;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::SysFreeString(h); }
};
using UniqueBstr = ScopedHandle<BstrTraits>;

// A VARIANT the caller owns: cleared at scope end.
class ScopedVariant {
 public:
  ScopedVariant() { ::VariantInit(&v_); }
  ~ScopedVariant() { ::VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  VARIANT* receive() {
    ::VariantClear(&v_);
    return &v_;
  }
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;
};

// COM initialised for the current thread for the lifetime of the guard.
class ScopedComInit {
 public:
  explicit ScopedComInit(DWORD model = COINIT_APARTMENTTHREADED)
      : hr_(::CoInitializeEx(nullptr, model)) {}
  ~ScopedComInit() {
    if (SUCCEEDED(hr_))
      ::CoUninitialize();
  }
  ScopedComInit(const ScopedComInit&) = delete;
  ScopedComInit& operator=(const ScopedComInit&) = delete;
  bool ok() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT hr_;
};

}  // namespace kovra::win
