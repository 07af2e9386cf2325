#pragma once

#include "link/WindowsApi.h"

// A top-level window of the tool, its messages handed to the object that owns it. A dialog's
// class keeps the dialog manager's default handling (Enter, Esc, the default button, Tab), so
// that the message loop's IsDialogMessage drives its keys as in any dialog.
class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Null once the window has been destroyed (with its owner, or closed for good).
  HWND Handle() const { return hwnd_; }
  bool IsVisible() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_); }
  // Shows the window and brings it to the front.
  void ShowInFront();

 protected:
  enum class Kind { kFrame, kDialog };
  void Create(Kind kind, const wchar_t* className, DWORD style, DWORD exStyle,
              const wchar_t* caption, HWND owner, HMENU menu = nullptr);

  // Every message after creation; what it does not handle goes to Default().
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Lays the window out at a scale; called again when it moves to a monitor of another scale.
  virtual void Layout(UINT dpi) = 0;
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

  // A standard control as a child of this window.
  HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                  DWORD exStyle = 0);

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  Kind kind_ = Kind::kFrame;
};
