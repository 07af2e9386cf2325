#include "win32/TVersionForm.h"

#include <algorithm>
#include <utility>

#include "win32/ControlIds.h"
#include "win32/Drawings.h"
#include "win32/Text.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71VersionForm";
constexpr int kClientWidth = 334;
constexpr int kClientHeight = 113;
constexpr int kMargin = 12;

struct Designed {
  int left, top;
};
constexpr Designed kLabel2{132, 20};
constexpr Designed kLabel4{132, 40};
constexpr Designed kLabel3{132, 60};
constexpr Designed kLabel1{32, 90};

}  // namespace

TVersionForm::TVersionForm(HWND owner) {
  // A dialog border with a close box only; at its designed place on the screen, not centred.
  Create(Kind::kDialog, kClassName, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
         WS_EX_DLGMODALFRAME, L"Version", owner);
  Image1 = AddControl(L"STATIC", L"QZR-71 logo", SS_OWNERDRAW, control::kImage1);
  Label2 = AddControl(L"STATIC", L"QZR-71 ADJUSTMENT", SS_LEFT | SS_NOPREFIX, control::kLabel2);
  Label4 = AddControl(L"STATIC", L"Service", SS_LEFT | SS_NOPREFIX, control::kLabel4);
  Label3 = AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, control::kLabel3);
  Label1 =
      AddControl(L"STATIC", L"Field Service Engineering", SS_LEFT | SS_NOPREFIX, control::kLabel1);
  const UINT dpi = design::DpiOf(hwnd_);
  Layout(dpi);
  SetWindowPos(hwnd_, nullptr, design::Scaled(223, dpi), design::Scaled(256, dpi), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TVersionForm::SetVersionText(const std::string& text) {
  SetWindowTextW(Label3, Wide(text).c_str());
  Layout(design::DpiOf(hwnd_));
}

// Each label sized to its text; the designed client area, or larger when a serif face other than
// Century needs more room.
void TVersionForm::Layout(UINT dpi) {
  font_ = design::CenturyFont(16, dpi);
  design::Place(Image1, 18, 24, 95, 57, dpi);
  int right = design::Scaled(kClientWidth, dpi);
  int bottom = design::Scaled(kClientHeight, dpi);
  const std::pair<HWND, Designed> labels[] = {
      {Label2, kLabel2}, {Label4, kLabel4}, {Label3, kLabel3}, {Label1, kLabel1}};
  for (const auto& [label, at] : labels) {
    design::SetFont(label, font_.get());
    const std::wstring text = Wide(WindowText(label));
    const SIZE size = design::TextSize(hwnd_, font_.get(), text.c_str());
    const int left = design::Scaled(at.left, dpi);
    const int top = design::Scaled(at.top, dpi);
    SetWindowPos(label, nullptr, left, top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    right = std::max(right, left + static_cast<int>(size.cx) + design::Scaled(kMargin, dpi));
    bottom = std::max(bottom, top + static_cast<int>(size.cy) + design::Scaled(kMargin / 2, dpi));
  }
  RECT frame{0, 0, right, bottom};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT TVersionForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DRAWITEM: {
      // The logo, 90 by 45 designed pixels, at its own size from the picture's top-left corner.
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != control::kImage1) break;
      FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
      const UINT dpi = design::DpiOf(hwnd_);
      const RECT logo{item->rcItem.left, item->rcItem.top,
                      item->rcItem.left + design::Scaled(90, dpi),
                      item->rcItem.top + design::Scaled(45, dpi)};
      DrawLogo(item->hDC, logo);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_CLOSE:
      // The close box hides it; the menu shows it again.
      ShowWindow(hwnd_, SW_HIDE);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) ShowWindow(hwnd_, SW_HIDE);  // Esc
      return 0;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
