#include "win32/TSerialDevicesForm.h"

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <string>

#include "run/SerialDevicesModel.h"
#include "win32/ControlIds.h"
#include "win32/Text.h"
#include "win32/Win32MessageBoxes.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71SerialDevicesForm";
constexpr int kFontHeight = 15;
constexpr int kMargin = 11;
constexpr int kColumnWidth = 520;  // the devices' column, as designed
constexpr int kNameGap = 12;
constexpr int kLineGap = 3;
constexpr int kRowGap = 10;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kDroppedListHeight = 220;
const COLORREF kRefusedColour = RGB(0xa0, 0x00, 0x00);

bool Shown(HWND control) {
  return (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Reveal(HWND control, bool shown) {
  if (Shown(control) != shown) ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
}

void SetText(HWND control, const std::string& text) {
  // Unchanged texts are left alone: setting one repaints the control, and an edit box's cursor
  // would go back to its start.
  if (WindowText(control) != text) SetWindowTextW(control, Wide(text).c_str());
}

std::vector<std::string> Entries(HWND list) {
  std::vector<std::string> entries;
  const auto count = SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto wparam = static_cast<WPARAM>(i);
    std::wstring text(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, wparam, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(list, CB_GETLBTEXT, wparam, reinterpret_cast<LPARAM>(text.data()))));
    entries.push_back(Utf8(text));
  }
  return entries;
}

// The height a label's text takes at a width: its own line breaks, and long lines wrapped.
int WrappedHeight(HWND label, HFONT font, int width) {
  const std::wstring text = Wide(WindowText(label));
  HDC dc = GetDC(label);
  const HGDIOBJ old = SelectObject(dc, font);
  RECT box{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return box.bottom;
}

int Height(HWND control) {
  RECT box{};
  GetWindowRect(control, &box);
  return box.bottom - box.top;
}

void Put(HWND control, int left, int top, int width, int height) {
  SetWindowPos(control, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

TSerialDevicesForm::TSerialDevicesForm(SerialDevicesModel& model, HWND owner) : model_(model) {
  Create(Kind::kDialog, kClassName, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
         WS_EX_DLGMODALFRAME, L"Serial devices", owner);
  // Created in the tab order: each row's list and field, then the buttons.
  Intro = AddControl(L"STATIC", Wide(SerialDevicesModel::Intro()).c_str(), SS_LEFT | SS_NOPREFIX,
                     control::kDevicesIntro);
  const std::wstring example = Wide(model_.TypedExample());
  for (std::size_t row = 0; row < Ports.size(); ++row) {
    PortRow& port = Ports[row];
    const int id = control::kPortRow + static_cast<int>(row) * control::kPortRowPitch;
    port.name =
        AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, id + control::kRowName);
    port.device =
        AddControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP,
                   id + control::kRowDevice);
    port.typedPath = AddControl(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP,
                                id + control::kRowTypedPath, WS_EX_CLIENTEDGE);
    SendMessageW(port.typedPath, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(example.c_str()));
    // A device's name does not break; a long one widens the dialog.
    port.path = AddControl(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, id + control::kRowPath);
    port.note = AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, id + control::kRowNote);
    port.access = AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, id + control::kRowAccess);
  }
  Status = AddControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, control::kDevicesStatus);
  RefreshBtn = AddControl(L"BUTTON", L"Refresh", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP,
                          control::kRefreshBtn);
  ApplyBtn = AddControl(L"BUTTON", L"Apply", BS_DEFPUSHBUTTON | WS_TABSTOP, control::kApplyBtn);
  CloseBtn = AddControl(L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, control::kDevicesCloseBtn);

  model_.SetObserver([this] { ShowRows(); });
  ShowRows();
}

TSerialDevicesForm::~TSerialDevicesForm() {
  model_.SetObserver({});
}

void TSerialDevicesForm::Show() {
  RunGuarded(hwnd_, [this] { model_.FormShow(); });
  if (!placed_) {
    // First shown over the middle of the main window.
    RECT owner{};
    RECT own{};
    GetWindowRect(GetWindow(hwnd_, GW_OWNER), &owner);
    GetWindowRect(hwnd_, &own);
    const int left = (owner.left + owner.right - (own.right - own.left)) / 2;
    const int top = (owner.top + owner.bottom - (own.bottom - own.top)) / 2;
    SetWindowPos(hwnd_, nullptr, std::max(0, left), std::max(0, top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = true;
  }
  ShowInFront();
}

void TSerialDevicesForm::ShowRows() {
  showing_ = true;
  const auto& rows = model_.Rows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const DeviceRowView& view = rows[row];
    PortRow& port = Ports[row];
    SetText(port.name, view.comName);
    if (Entries(port.device) != view.entries) {
      SendMessageW(port.device, CB_RESETCONTENT, 0, 0);
      for (const std::string& entry : view.entries) {
        SendMessageW(port.device, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
      }
    }
    SendMessageW(port.device, CB_SETCURSEL, static_cast<WPARAM>(view.entry), 0);
    EnableWindow(port.device, view.editable ? TRUE : FALSE);
    Reveal(port.typedPath, view.typed);
    EnableWindow(port.typedPath, view.editable ? TRUE : FALSE);
    SetText(port.typedPath, view.typedPath);
    SetText(port.path, "Device: " + view.device);
    SetText(port.note, view.note);
    Reveal(port.note, !view.note.empty());
    SetText(port.access, view.access);
    InvalidateRect(port.access, nullptr, TRUE);  // its colour may have changed with the text
  }
  SetText(Status, model_.Status());
  Reveal(Status, !model_.Status().empty());
  showing_ = false;
  Layout(design::DpiOf(hwnd_));
}

// One column of names and one of devices, each row's lines below its list; the window as large
// as its contents.
void TSerialDevicesForm::Layout(UINT dpi) {
  font_ = design::CenturyFont(kFontHeight, dpi);
  nameFont_ = design::CenturyFont(kFontHeight, dpi, false, true);
  const auto scaled = [dpi](int designed) { return design::Scaled(designed, dpi); };

  int nameWidth = 0;
  int column = scaled(kColumnWidth);
  const int listButton = GetSystemMetricsForDpi(SM_CXVSCROLL, dpi) + scaled(12);
  for (const PortRow& port : Ports) {
    const std::wstring name = Wide(WindowText(port.name));
    nameWidth = std::max(
        nameWidth, static_cast<int>(design::TextSize(hwnd_, nameFont_.get(), name.c_str()).cx));
    for (const std::string& entry : Entries(port.device)) {
      const SIZE size = design::TextSize(hwnd_, font_.get(), Wide(entry).c_str());
      column = std::max(column, static_cast<int>(size.cx) + listButton);
    }
    const SIZE path = design::TextSize(hwnd_, font_.get(), Wide(WindowText(port.path)).c_str());
    column = std::max(column, static_cast<int>(path.cx) + scaled(4));
  }
  const int margin = scaled(kMargin);
  const int left = margin + nameWidth + scaled(kNameGap);
  const int width = left + column - margin;
  const int lineHeight = static_cast<int>(design::TextSize(hwnd_, font_.get(), L"Ag").cy);

  const auto putWrapped = [&](HWND label, int x, int& y, int w) {
    design::SetFont(label, font_.get());
    const int height = WrappedHeight(label, font_.get(), w);
    Put(label, x, y, w, height);
    y += height;
  };
  int y = margin;
  putWrapped(Intro, margin, y, width);
  for (const PortRow& port : Ports) {
    y += scaled(kRowGap);
    design::SetFont(port.name, nameFont_.get());
    design::SetFont(port.device, font_.get());
    Put(port.device, left, y, column, scaled(kDroppedListHeight));
    // A drop-down list's window is its closed field; the height given is the open list's.
    const int field = Height(port.device);
    Put(port.name, margin, y, nameWidth, field);
    y += field + scaled(kLineGap);
    if (Shown(port.typedPath)) {
      design::SetFont(port.typedPath, font_.get());
      Put(port.typedPath, left, y, column, lineHeight + scaled(8));
      y += lineHeight + scaled(8) + scaled(kLineGap);
    }
    design::SetFont(port.path, font_.get());
    Put(port.path, left, y, column, lineHeight);
    y += lineHeight + scaled(kLineGap);
    if (Shown(port.note)) {
      putWrapped(port.note, left, y, column);
      y += scaled(kLineGap);
    }
    putWrapped(port.access, left, y, column);
  }
  y += scaled(kRowGap);
  if (Shown(Status)) {
    putWrapped(Status, margin, y, width);
    y += scaled(kRowGap);
  }
  const int buttonWidth = scaled(kButtonWidth);
  const int buttonHeight = scaled(kButtonHeight);
  Put(RefreshBtn, margin, y, buttonWidth, buttonHeight);
  Put(CloseBtn, margin + width - buttonWidth, y, buttonWidth, buttonHeight);
  Put(ApplyBtn, margin + width - 2 * buttonWidth - scaled(6), y, buttonWidth, buttonHeight);
  for (HWND button : {RefreshBtn, ApplyBtn, CloseBtn}) design::SetFont(button, font_.get());

  RECT frame{0, 0, width + 2 * margin, y + buttonHeight + margin};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TSerialDevicesForm::RefreshBtnClick() {
  RunGuarded(hwnd_, [this] { model_.RefreshClick(); });
}

void TSerialDevicesForm::ApplyBtnClick() {
  RunGuarded(hwnd_, [this] { model_.ApplyClick(); });
}

void TSerialDevicesForm::CloseBtnClick() {
  ShowWindow(hwnd_, SW_HIDE);
}

void TSerialDevicesForm::Command(int id, int notification, HWND control) {
  if (id == control::kApplyBtn) {
    ApplyBtnClick();
  } else if (id == control::kDevicesCloseBtn) {
    CloseBtnClick();
  } else if (id == control::kRefreshBtn && notification == BN_CLICKED) {
    RefreshBtnClick();
  }
  for (std::size_t row = 0; row < Ports.size(); ++row) {
    const int index = static_cast<int>(row);
    if (control == Ports[row].device && notification == CBN_SELCHANGE) {
      const auto entry = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
      RunGuarded(hwnd_, [&] { model_.ChooseEntry(index, entry); });
    } else if (control == Ports[row].typedPath && notification == EN_CHANGE && !showing_) {
      RunGuarded(hwnd_, [&] { model_.TypePath(index, WindowText(control)); });
    }
  }
}

bool TSerialDevicesForm::Refused(HWND control) const {
  for (std::size_t row = 0; row < Ports.size(); ++row) {
    if (control == Ports[row].access) return !model_.Rows()[row].mayOpen;
  }
  return false;
}

LRESULT TSerialDevicesForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Enter and Esc come as the OK and Cancel numbers, the window's close request as Cancel.
      Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      if (Refused(reinterpret_cast<HWND>(lParam))) SetTextColor(dc, kRefusedColour);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DEVICECHANGE:
      // Windows tells every window of a port that came or went; a hidden dialog looks again when
      // it is opened.
      if (IsVisible() && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE ||
                          wParam == DBT_DEVNODES_CHANGED)) {
        RunGuarded(hwnd_, [this] { model_.DevicesChanged(); });
      }
      return TRUE;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
