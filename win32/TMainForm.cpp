#include "win32/TMainForm.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "records/RunFiles.h"
#include "records/RunsMenu.h"
#include "run/VersionText.h"
#include "win32/ControlIds.h"
#include "win32/Forms.h"
#include "win32/InputGate.h"
#include "win32/TLevelsForm.h"
#include "win32/TRs232cForm.h"
#include "win32/TSerialDevicesForm.h"
#include "win32/TVersionForm.h"
#include "win32/Text.h"
#include "win32/Win32MessageBoxes.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71MainForm";
constexpr int kClientWidth = 601;
constexpr int kClientHeight = 340;

using Designed = design::Box;
constexpr Designed kAdjItem{10, 0, 400, 124};
constexpr Designed kItems[] = {
    {20, 31, 169, 21}, {20, 51, 213, 21}, {20, 72, 209, 21}, {20, 92, 198, 21}};
constexpr Designed kBtnStart{419, 31, 165, 32};
constexpr Designed kBtnCancel{419, 82, 165, 32};
constexpr Designed kAdjMemo{10, 133, 583, 195};

bool ShowInExplorer(const std::filesystem::path& folder) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

// Opens a page with the program the desktop opens .html files with: the browser.
bool ShowInBrowser(const std::filesystem::path& page) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

void SetText(HWND control, const std::string& text) {
  const std::wstring wanted = Wide(text);
  // Unchanged captions are left alone: setting one repaints the control.
  if (WindowText(control) != text) SetWindowTextW(control, wanted.c_str());
}

void Enable(HWND control, bool enabled) {
  if ((IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled ? TRUE : FALSE);
}

}  // namespace

TMainForm::TMainForm(const Seams& seams) : TMainForm(seams, MakeStageTable) {}

TMainForm::TMainForm(const Seams& seams, const MainFormModel::StageFactory& makeStages)
    : Model(seams.port, seams.bell, seams.clock, seams.pump, makeStages),
      gate_(seams.gate),
      boxes_(seams.boxes),
      openFolder_(ShowInExplorer),
      openPage_(ShowInBrowser) {
  BuildMenu();
  Create(Kind::kFrame, kClassName, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0,
         L"QZR-71 Adjustment software", nullptr, MainMenu1);
  BuildControls();
}

TMainForm::~TMainForm() {
  LevelsForm.reset();  // it watches the model's progress
  Model.Log.SetObserver({});
  Model.Controller.SetViewObserver({});
  if (shortcuts_ != nullptr) DestroyAcceleratorTable(shortcuts_);
}

void TMainForm::BuildMenu() {
  MainMenu1 = CreateMenu();
  File1 = CreatePopupMenu();
  AppendMenuW(File1, MF_STRING, control::kStart1, L"Start");
  AppendMenuW(File1, MF_STRING, control::kExit1, L"Exit\tCtrl+X");
  Opiton1 = CreatePopupMenu();
  AppendMenuW(Opiton1, MF_STRING, control::kCOMMport1, L"COM port");
  AppendMenuW(Opiton1, MF_STRING, control::kVersion1, L"Version");
  // The tool's own additions follow the two items the technician knows.
  AppendMenuW(Opiton1, MF_STRING, control::kSerialdevices1, L"Serial devices");
  AppendMenuW(Opiton1, MF_STRING, control::kLevels1, L"Levels");
  AppendMenuW(Opiton1, MF_STRING, control::kRunsfolder1, L"Runs folder");
  AppendMenuW(Opiton1, MF_STRING, control::kRuns1, L"Runs");
  AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(File1), L"File");
  AppendMenuW(MainMenu1, MF_POPUP, reinterpret_cast<UINT_PTR>(Opiton1), L"Opiton");

  ACCEL exit{FVIRTKEY | FCONTROL, 'X', control::kExit1};
  shortcuts_ = CreateAcceleratorTableW(&exit, 1);
}

void TMainForm::BuildControls() {
  // Created in the tab order: the two buttons, the group, the log (which takes no tab stop).
  BtnStart =
      AddControl(L"BUTTON", L"Start", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, control::kBtnStart);
  BtnCancel = AddControl(L"BUTTON", L"Exit", BS_PUSHBUTTON | WS_TABSTOP, control::kBtnCancel);
  AdjItem = AddControl(L"BUTTON", L"Adjustment Item", BS_GROUPBOX | WS_GROUP, control::kAdjItem);
  MotorTest =
      AddControl(L"STATIC", L"1. Motor speed check", SS_LEFT | SS_NOPREFIX, control::kMotorTest);
  WhiteAdj = AddControl(L"STATIC", L"2. White paper adjustment", SS_LEFT | SS_NOPREFIX,
                        control::kWhiteAdj);
  BlackAdj = AddControl(L"STATIC", L"3. Black paper adjustment", SS_LEFT | SS_NOPREFIX,
                        control::kBlackAdj);
  NonAdj =
      AddControl(L"STATIC", L"4. Non paper adjustment", SS_LEFT | SS_NOPREFIX, control::kNonAdj);
  AdjMemo = AddControl(L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, control::kAdjMemo,
                       WS_EX_CLIENTEDGE);
  // The group and its labels lie behind the buttons in the tab order but are drawn first.
  for (HWND label : {NonAdj, BlackAdj, WhiteAdj, MotorTest}) {
    SetWindowPos(label, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  SetWindowPos(AdjItem, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  Layout(design::DpiOf(hwnd_));
  gate_.HoldCloseOf(hwnd_);
  Model.Log.SetObserver([this] { ShowLog(); });
  Model.Controller.SetViewObserver([this] { ShowView(); });
  ShowLog();
  ShowView();
  SetFocus(BtnStart);
}

void TMainForm::Layout(UINT dpi) {
  windowFont_ = design::CenturyFont(19, dpi);
  controlFont_ = design::CenturyFont(17, dpi);
  groupFont_ = design::CenturyFont(17, dpi, true);

  const SIZE outer = design::OuterSize(hwnd_, kClientWidth, kClientHeight, dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  design::Place(AdjItem, kAdjItem, dpi);
  design::SetFont(AdjItem, groupFont_.get());
  const HWND items[] = {MotorTest, WhiteAdj, BlackAdj, NonAdj};
  for (std::size_t i = 0; i < 4; ++i) {
    const Designed& at = kItems[i];
    // Inside the group; a serif face other than Century may run wider than the designed box, and
    // the text is never cut.
    design::SetFont(items[i], controlFont_.get());
    const std::wstring text = Wide(WindowText(items[i]));
    const SIZE needed = design::TextSize(hwnd_, controlFont_.get(), text.c_str());
    SetWindowPos(items[i], nullptr, design::Scaled(kAdjItem.left + at.left, dpi),
                 design::Scaled(kAdjItem.top + at.top, dpi),
                 std::max(design::Scaled(at.width, dpi), static_cast<int>(needed.cx)),
                 std::max(design::Scaled(at.height, dpi), static_cast<int>(needed.cy)),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  design::Place(BtnStart, kBtnStart, dpi);
  design::Place(BtnCancel, kBtnCancel, dpi);
  design::Place(AdjMemo, kAdjMemo, dpi);
  for (HWND control : {BtnStart, BtnCancel, AdjMemo}) design::SetFont(control, controlFont_.get());
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TMainForm::Show(int how) {
  // Centred on the work area of the monitor it opens on.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT frame{};
  GetWindowRect(hwnd_, &frame);
  const RECT& area = monitor.rcWork;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, how);
  UpdateWindow(hwnd_);
}

void TMainForm::ShowView() {
  const RunView& view = Model.Controller.View();
  SetText(BtnStart, view.btnStart.caption);
  Enable(BtnStart, view.btnStart.enabled);
  SetText(BtnCancel, view.btnCancel.caption);
  Enable(BtnCancel, view.btnCancel.enabled);
  EnableMenuItem(MainMenu1, control::kStart1,
                 MF_BYCOMMAND | (view.start1Enabled ? MF_ENABLED : MF_GRAYED));
  const HWND items[] = {MotorTest, WhiteAdj, BlackAdj, NonAdj};
  for (std::size_t i = 0; i < view.itemEnabled.size(); ++i) Enable(items[i], view.itemEnabled[i]);
  ShowBusyPointer();
}

void TMainForm::ShowLog() {
  SetWindowTextW(AdjMemo, LogText(Model.Log.Lines()).c_str());
  // The newest line is the one the technician needs; keep it in view.
  const auto end = static_cast<WPARAM>(GetWindowTextLengthW(AdjMemo));
  SendMessageW(AdjMemo, EM_SETSEL, end, static_cast<LPARAM>(end));
  SendMessageW(AdjMemo, EM_SCROLLCARET, 0, 0);
}

bool TMainForm::PointerOverStart() const {
  POINT at{};
  RECT button{};
  return GetCursorPos(&at) && GetWindowRect(BtnStart, &button) && PtInRect(&button, at) &&
         WindowFromPoint(at) != nullptr && GetAncestor(WindowFromPoint(at), GA_ROOT) == hwnd_;
}

// The pointer follows at once when it rests on Start; otherwise WM_SETCURSOR sets it on arrival.
void TMainForm::ShowBusyPointer() const {
  if (PointerOverStart()) {
    SetCursor(LoadCursorW(nullptr, Model.Controller.View().btnStartBusy ? IDC_WAIT : IDC_ARROW));
  }
}

void TMainForm::GiveFocusToControl() {
  HWND target = focused_;
  if (target == nullptr || !IsWindowEnabled(target)) target = BtnStart;
  if (!IsWindowEnabled(target)) target = BtnCancel;
  if (IsWindowEnabled(target)) SetFocus(target);
}

void TMainForm::Guarded(const std::function<void()>& handler) {
  RunGuarded(hwnd_, handler);
}

InputGate::Scope TMainForm::HoldInput() {
  return InputGate::Scope(gate_);
}

void TMainForm::CloseWindow() {
  if (hwnd_ != nullptr) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void TMainForm::COMMport1Click() {
  if (Rs232cForm != nullptr) Rs232cForm->ShowInFront();
}

void TMainForm::Version1Click() {
  if (VersionForm == nullptr) return;
  VersionForm->SetVersionText(VersionText());
  VersionForm->ShowInFront();
}

void TMainForm::Serialdevices1Click() {
  if (SerialDevicesForm != nullptr) SerialDevicesForm->Show();
}

void TMainForm::Levels1Click() {
  // Until it is first opened, nothing watches the steps.
  if (LevelsForm == nullptr)
    LevelsForm = std::make_unique<TLevelsForm>(Model.Progress, gate_, hwnd_);
  LevelsForm->ShowInFront();
}

void TMainForm::Runsfolder1Click() {
  OpenRunsFolder(RunsFolder(), openFolder_, boxes_);
}

void TMainForm::Runs1Click() {
  OpenRunsIndex(RunsFolder(), openPage_, boxes_);
}

bool TMainForm::TranslateShortcut(MSG& message) const {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  return TranslateAcceleratorW(hwnd_, shortcuts_, &message) != 0;
}

void TMainForm::Command(int id) {
  switch (id) {
    case control::kBtnStart:
      BtnStartClick();
      break;
    case control::kBtnCancel:
      BtnCancelClick();
      break;
    case control::kStart1:
      Start1Click();
      break;
    case control::kExit1:
      Exit1Click();
      break;
    case control::kCOMMport1:
      COMMport1Click();
      break;
    case control::kVersion1:
      Version1Click();
      break;
    case control::kSerialdevices1:
      Serialdevices1Click();
      break;
    case control::kLevels1:
      Levels1Click();
      break;
    case control::kRunsfolder1:
      Runsfolder1Click();
      break;
    case control::kRuns1:
      Runs1Click();
      break;
    default:
      break;
  }
}

LRESULT TMainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Buttons tell of a click; menus and the shortcut come with no control.
      if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) Command(LOWORD(wParam));
      return 0;
    case WM_SETCURSOR:
      // A disabled Start passes the pointer's messages to this window.
      if (Model.Controller.View().btnStartBusy && PointerOverStart()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC: {
      // The labels on the window's face; the read-only log stays on a text box's.
      const int face = reinterpret_cast<HWND>(lParam) == AdjMemo ? COLOR_WINDOW : COLOR_BTNFACE;
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(face));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(face));
    }
    case WM_PAINT:
      if (!reportShown_ && GetEnvironmentVariableW(L"QZR71_REPORT_SHOWN", nullptr, 0) > 0) {
        // For the start-up benchmark: the first paint, on the performance counter in nanoseconds.
        const LRESULT painted = Default(message, wParam, lParam);
        LARGE_INTEGER now{}, frequency{};
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        std::printf("shown %lld\n",
                    static_cast<long long>(static_cast<double>(now.QuadPart) * 1e9 /
                                           static_cast<double>(frequency.QuadPart)));
        std::fflush(stdout);
        reportShown_ = true;
        return painted;
      }
      break;
    case WM_ACTIVATE:
      // As a dialog does: the control that had the focus gets it back with the window.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) focused_ = focus;
      }
      break;
    case WM_SETFOCUS:
      // The window itself is given the focus (activated, or back from a message box): a key
      // belongs to its button, so that Space presses Start.
      GiveFocusToControl();
      return 0;
    case WM_CLOSE:
      // During a stage the close waits for the stage to end.
      if (gate_.HoldClose(hwnd_)) return 0;
      // A run that waits for Next ends with the window; its record is written first.
      Model.Controller.WindowClosing();
      if (LevelsForm != nullptr && LevelsForm->Handle() != nullptr)
        ShowWindow(LevelsForm->Handle(), SW_HIDE);
      DestroyWindow(hwnd_);  // its dialogs, owned by it, go with it
      return 0;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
