#include "win32/TLevelsForm.h"

#include <algorithm>

#include "adjust/Progress.h"
#include "run/LevelsLayout.h"
#include "win32/InputGate.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71LevelsForm";
constexpr UINT_PTR kRefreshTimer = 1;
// Four pictures a second: the bars still read as motion, and numbers that changed faster could
// not be read anyway. Each picture costs the stage's thread its time.
constexpr UINT kRefreshMs = 250;
// Designed text heights, at 120 pixels per inch: the same as the Qt window's.
constexpr int kTextHeight = 15;
constexpr int kHeadingHeight = 17;

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
  plain_ = design::CenturyFont(kTextHeight, dpi);
  bold_ = design::CenturyFont(kTextHeight, dpi, false, true);
  heading_ = design::CenturyFont(kHeadingHeight, dpi, false, true);
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
    SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
    ticking_ = true;
  }
}

void TLevelsForm::Tick() {
  const bool changed = picture_.TakeChanged();
  const bool running = gate_.Engaged();
  const bool busy = running && picture_.CountBar(running).busy;
  if (busy) ++busyPhase_;
  const bool ended = running != shownRunning_;
  shownRunning_ = running;
  if (changed || busy || ended) InvalidateChanged();
  // Idle once the stage has ended and its last picture is up.
  if (!changed && !running) {
    KillTimer(hwnd_, kRefreshTimer);
    ticking_ = false;
  }
}

void TLevelsForm::InvalidateChanged() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const std::vector<ChannelReading>& channels = picture_.Channels();
  Drawn now{picture_.StepText(),
            picture_.SummaryText(),
            picture_.CountBar(shownRunning_),
            picture_.DetailBar(),
            picture_.HasGains(),
            picture_.HasDaValues(),
            channels,
            {}};
  for (const ChannelReading& channel : channels) now.states.push_back(picture_.StateOf(channel));
  const bool names = !std::equal(
      channels.begin(), channels.end(), drawn_.channels.begin(), drawn_.channels.end(),
      [](const ChannelReading& a, const ChannelReading& b) { return a.name == b.name; });
  // The columns move with the names and the values a step has: then every row is drawn anew.
  const bool columns = names || now.gains != drawn_.gains || now.daValues != drawn_.daValues;
  const bool busy = now.count.busy;
  if (columns || busy || now.step != drawn_.step || now.summary != drawn_.summary ||
      now.count != drawn_.count || now.detail != drawn_.detail) {
    const RECT top = LevelsTopPart(look_, client);
    InvalidateRect(hwnd_, &top, FALSE);
  }
  const std::size_t rows = std::max(channels.size(), drawn_.channels.size());
  for (std::size_t i = 0; i < rows; ++i) {
    const bool same = !columns && i < channels.size() && i < drawn_.channels.size() &&
                      channels[i] == drawn_.channels[i] && now.states[i] == drawn_.states[i];
    if (same) continue;
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
  DrawLevels(buffer_, client, paint.rcPaint, picture_, shownRunning_, busyPhase_, look_);
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
        shownRunning_ = gate_.Engaged();
        InvalidateChanged();
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
