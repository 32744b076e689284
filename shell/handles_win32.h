// Owners of the Win32 handles and COM interfaces the shell services hold within one call:
// each is released on every way out of the scope that took it.
#ifndef TSARIN_SHELL_HANDLES_WIN32_H
#define TSARIN_SHELL_HANDLES_WIN32_H

#include <windows.h>

// One reference to a COM interface.
template <class Interface>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (pointer_) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For the creating call's out parameter; the holder must be empty.
  Interface** Out() { return &pointer_; }
  void** OutVoid() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

// A loaded library.
class LibraryRef {
 public:
  explicit LibraryRef(HMODULE module) : module_(module) {}
  LibraryRef(const LibraryRef&) = delete;
  LibraryRef& operator=(const LibraryRef&) = delete;
  ~LibraryRef() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// Text that the system allocated with LocalAlloc (FormatMessageA's buffer).
class LocalText {
 public:
  LocalText() = default;
  LocalText(const LocalText&) = delete;
  LocalText& operator=(const LocalText&) = delete;
  ~LocalText() {
    if (text_) LocalFree(text_);
  }
  char* get() const { return text_; }
  char** Out() { return &text_; }

 private:
  char* text_ = nullptr;
};

// Memory that the system allocated with LocalAlloc for the caller (a security descriptor).
class LocalMemory {
 public:
  LocalMemory() = default;
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  ~LocalMemory() {
    if (memory_) LocalFree(memory_);
  }
  void* get() const { return memory_; }
  void** Out() { return &memory_; }

 private:
  void* memory_ = nullptr;
};

// A kernel object handle (a process, a thread): closed with its holder.
class HandleRef {
 public:
  explicit HandleRef(HANDLE handle = nullptr) : handle_(handle) {}
  HandleRef(const HandleRef&) = delete;
  HandleRef& operator=(const HandleRef&) = delete;
  ~HandleRef() {
    if (handle_) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// An open registry key.
class KeyRef {
 public:
  KeyRef() = default;
  KeyRef(const KeyRef&) = delete;
  KeyRef& operator=(const KeyRef&) = delete;
  ~KeyRef() {
    if (key_) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* Out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// Looks up an export as the function type the caller knows it to be.
template <class Function>
Function GetExport(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

#endif  // TSARIN_SHELL_HANDLES_WIN32_H
