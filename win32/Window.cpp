#include "win32/Window.h"

#include "win32/ControlIds.h"
#include "win32/Win32MessageBoxes.h"

Window::~Window() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void Window::ShowInFront() {
  if (hwnd_ == nullptr) return;
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(hwnd_);
}

void Window::Create(Kind kind, const wchar_t* className, DWORD style, DWORD exStyle,
                    const wchar_t* caption, HWND owner, HMENU menu) {
  kind_ = kind;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  if (!GetClassInfoExW(instance, className, &windowClass)) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    windowClass.cbWndExtra = kind == Kind::kDialog ? DLGWINDOWEXTRA : 0;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(control::kIconResource));
    RegisterClassExW(&windowClass);
  }
  CreateWindowExW(exStyle, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, owner, menu, instance, this);
}

LRESULT Window::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return kind_ == Kind::kDialog ? DefDlgProcW(hwnd_, message, wParam, lParam)
                                : DefWindowProcW(hwnd_, message, wParam, lParam);
}

HWND Window::AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                        DWORD exStyle) {
  return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // The few messages before WM_NCCREATE (the size limits) need nothing of the object.
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_DPICHANGED) {
    // On a monitor of another scale: laid out anew and moved where the system suggests.
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    RunGuarded(window, [&] { self->Layout(HIWORD(wParam)); });
    SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  LRESULT result = 0;
  bool handled = false;
  // An exception must not unwind through the window system's code: shown here, and the program
  // goes on.
  RunGuarded(window, [&] {
    result = self->OnMessage(message, wParam, lParam);
    handled = true;
  });
  if (!handled) result = self->Default(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}
