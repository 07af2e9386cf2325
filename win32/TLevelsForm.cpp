#include "win32/TLevelsForm.h"

#include <algorithm>

#include "adjust/Progress.h"
#include "run/LevelsLayout.h"
#include "run/LevelsLook.h"
#include "win32/InputGate.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71LevelsForm";
constexpr UINT_PTR kRefreshTimer = 1;
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
  DropBuffer();
}

void TLevelsForm::DropBuffer() {
  if (buffer_ == nullptr) return;
  SelectObject(buffer_, oldPixels_);
  DeleteObject(pixels_);
  DeleteDC(buffer_);
  buffer_ = nullptr;
  pixels_ = nullptr;
}

void TLevelsForm::Layout(UINT dpi) {
  plain_ = design::CenturyFont(levels::kTextHeight, dpi);
  bold_ = design::CenturyFont(levels::kTextHeight, dpi, false, true);
  heading_ = design::CenturyFont(levels::kHeadingHeight, dpi, false, true);
  HDC dc = GetDC(hwnd_);
  look_ = MeasureLevels(dc, {plain_.get(), bold_.get(), heading_.get()}, dpi);
  ReleaseDC(hwnd_, dc);
  DropBuffer();
  // Sized for the largest set at the start, so that it never jumps.
  const SIZE client = LevelsClientSize(look_);
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
    SetTimer(hwnd_, kRefreshTimer, levels::kRefreshMilliseconds, nullptr);
    ticking_ = true;
  }
}

void TLevelsForm::Tick() {
  const bool changed = picture_.TakeChanged();
  const bool running = gate_.Engaged();
  const levels::Tick tick = refreshRule_.OnTick(changed, running, picture_.CountBar(running).busy);
  if (tick.advanceBusy) ++busyPhase_;
  if (tick.redraw || tick.advanceBusy) InvalidateChanged();
  if (tick.stop) {
    KillTimer(hwnd_, kRefreshTimer);
    ticking_ = false;
  }
}

void TLevelsForm::InvalidateChanged() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  levels::Frame now = levels::FrameOf(picture_, refreshRule_.ShownRunning());
  const levels::Changes changes = levels::Compare(drawn_, now);
  if (changes.top) {
    const RECT top = LevelsTopPart(look_, client);
    InvalidateRect(hwnd_, &top, FALSE);
  }
  for (const std::size_t i : changes.rows) {
    const RECT row = LevelsRow(look_, client, i);
    InvalidateRect(hwnd_, &row, FALSE);
  }
  drawn_ = std::move(now);
}

// Beside the main window, so that its log stays in view (see PlaceBeside), on the monitor the
// main window is on.
void TLevelsForm::PlaceBesideOwner() {
  const HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner == nullptr) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& room = monitor.rcWork;
  RECT main{}, frame{};
  GetWindowRect(owner, &main);
  GetWindowRect(hwnd_, &frame);
  const ScreenBox place =
      PlaceBeside({room.left, room.top, room.right - room.left, room.bottom - room.top},
                  {main.left, main.top, main.right - main.left, main.bottom - main.top},
                  frame.right - frame.left, frame.bottom - frame.top);
  SetWindowPos(hwnd_, nullptr, place.left, place.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TLevelsForm::Paint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd_, &paint);
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (buffer_ == nullptr) {
    // Kept from one picture to the next: only the parts that changed are drawn into it.
    buffer_ = CreateCompatibleDC(dc);
    pixels_ = CreateCompatibleBitmap(dc, client.right, client.bottom);
    oldPixels_ = SelectObject(buffer_, pixels_);
    paint.rcPaint = client;
  }
  DrawLevels(buffer_, client, paint.rcPaint, picture_, refreshRule_.ShownRunning(), busyPhase_,
             look_);
  BitBlt(dc, paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right - paint.rcPaint.left,
         paint.rcPaint.bottom - paint.rcPaint.top, buffer_, paint.rcPaint.left, paint.rcPaint.top,
         SRCCOPY);
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
        refreshRule_.Shown(gate_.Engaged());
        InvalidateChanged();
        if (refreshRule_.ShownRunning() && !ticking_) {
          SetTimer(hwnd_, kRefreshTimer, levels::kRefreshMilliseconds, nullptr);
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
