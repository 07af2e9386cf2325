#pragma once

// Reads and closes the message box a handler shows: a thread timer looks for it while the box's
// own loop runs, notes its caption and text, and presses OK.

#include <string>
#include <vector>

#include "link/WindowsApi.h"

struct ReadBox {
  std::wstring caption;
  std::wstring text;
  bool ownersDisabled = false;  // the program's other windows took no input meanwhile
};

class BoxReader {
 public:
  // Watches for boxes while it lives; `windows` are those the box must keep from input.
  explicit BoxReader(std::vector<HWND> windows = {}) : windows_(std::move(windows)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 20, Tick);
  }
  ~BoxReader() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  BoxReader(const BoxReader&) = delete;
  BoxReader& operator=(const BoxReader&) = delete;

  std::vector<ReadBox> seen;

 private:
  static BOOL CALLBACK Find(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }

  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    BoxReader* self = current_;
    if (self == nullptr) return;
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Find, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) return;
    ReadBox read;
    wchar_t text[512] = {};
    GetWindowTextW(box, text, 512);
    read.caption = text;
    GetDlgItemTextW(box, 0xFFFF, text, 512);  // the box's message
    read.text = text;
    read.ownersDisabled = true;
    for (HWND window : self->windows_) {
      if (IsWindowEnabled(window)) read.ownersDisabled = false;
    }
    self->seen.push_back(read);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }

  static inline BoxReader* current_ = nullptr;
  std::vector<HWND> windows_;
  UINT_PTR timer_ = 0;
};
