#pragma once

#include <string>

#include "win32/Design.h"
#include "win32/Window.h"

// Opiton > Version: which program this is and which version runs. Created hidden at start-up,
// shown without blocking the main window; its close box hides it.
class TVersionForm final : public Window {
 public:
  explicit TVersionForm(HWND owner);

  void SetVersionText(const std::string& text);

  HWND Image1 = nullptr;
  HWND Label2 = nullptr;
  HWND Label4 = nullptr;
  HWND Label3 = nullptr;
  HWND Label1 = nullptr;

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(UINT dpi) override;

 private:
  design::Font font_;
};
