#include "win32/TLevelsForm.h"

#include "adjust/Progress.h"
#include "win32/InputGate.h"
#include "win32/LevelsDrawing.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71LevelsForm";
constexpr UINT_PTR kRefreshTimer = 1;
// Ten pictures a second read as motion; more would only cost the stage time.
constexpr UINT kRefreshMs = 100;

}  // namespace

TLevelsForm::TLevelsForm(ProgressHub& progress, const InputGate& gate, HWND owner)
    : progress_(progress), gate_(gate) {
  Create(Kind::kFrame, kClassName, WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME,
         L"Levels", owner);
  Layout(design::DpiOf(hwnd_));
  ticket_ = progress_.Subscribe([this](const ProgressReport& report) { Take(report); });
}

TLevelsForm::~TLevelsForm() {
  progress_.Unsubscribe(ticket_);
}

void TLevelsForm::Layout(UINT dpi) {
  plain_ = design::CenturyFont(17, dpi);
  bold_ = design::CenturyFont(17, dpi, false, true);
  heading_ = design::CenturyFont(20, dpi, false, true);
  HDC dc = GetDC(hwnd_);
  const SIZE client = LevelsClientSize(dc, {plain_.get(), bold_.get(), heading_.get()}, dpi);
  ReleaseDC(hwnd_, dc);
  // Sized for the largest set at the start, so that it never jumps.
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TLevelsForm::Take(const ProgressReport& report) {
  // Called for every report, inside the step: only a copy, and the timer started once.
  picture_.Take(report);
  if (!ticking_ && IsVisible()) {
    SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
    ticking_ = true;
  }
}

void TLevelsForm::Tick() {
  const bool changed = picture_.TakeChanged();
  const bool running = gate_.Engaged();
  if (running) ++busyPhase_;
  if (changed || running || running != shownRunning_) InvalidateRect(hwnd_, nullptr, FALSE);
  shownRunning_ = running;
  // Idle once the stage has ended and its last picture is up.
  if (!changed && !running) {
    KillTimer(hwnd_, kRefreshTimer);
    ticking_ = false;
  }
}

// Beside the main window, so that its log stays in view: to its right where the screen has room,
// else to its left, pushed against the screen's left edge when even that is too narrow, so that
// it covers the log's start rather than the buttons.
void TLevelsForm::PlaceBesideOwner() {
  const HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner == nullptr) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT room = monitor.rcWork;
  RECT main{}, frame{};
  GetWindowRect(owner, &main);
  GetWindowRect(hwnd_, &frame);
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  LONG left = main.right;
  if (left + width > room.right) left = std::max(room.left, main.left - width);
  LONG top = std::max(room.top, std::min(main.top, room.bottom - height));
  SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TLevelsForm::DrawTo(HDC dc) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  DrawLevels(dc, client, picture_, shownRunning_, busyPhase_,
             {plain_.get(), bold_.get(), heading_.get()}, design::DpiOf(hwnd_));
}

void TLevelsForm::Paint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd_, &paint);
  RECT client{};
  GetClientRect(hwnd_, &client);
  // Drawn off screen and put up whole, so that a picture never shows half drawn.
  HDC buffer = CreateCompatibleDC(dc);
  const HBITMAP pixels = CreateCompatibleBitmap(dc, client.right, client.bottom);
  const HGDIOBJ old = SelectObject(buffer, pixels);
  DrawTo(buffer);
  BitBlt(dc, 0, 0, client.right, client.bottom, buffer, 0, 0, SRCCOPY);
  SelectObject(buffer, old);
  DeleteObject(pixels);
  DeleteDC(buffer);
  EndPaint(hwnd_, &paint);
}

LRESULT TLevelsForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_TIMER:
      if (wParam == kRefreshTimer) Tick();
      return 0;
    case WM_SHOWWINDOW:
      if (wParam != FALSE) {
        if (!placed_) {
          placed_ = true;
          PlaceBesideOwner();
        }
        picture_.TakeChanged();
        shownRunning_ = gate_.Engaged();
        if (shownRunning_ && !ticking_) {
          SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
          ticking_ = true;
        }
      } else if (ticking_) {
        KillTimer(hwnd_, kRefreshTimer);
        ticking_ = false;
      }
      break;
    case WM_CLOSE:
      ShowWindow(hwnd_, SW_HIDE);
      return 0;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
