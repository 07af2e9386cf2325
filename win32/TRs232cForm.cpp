#include "win32/TRs232cForm.h"

#include <algorithm>
#include <utility>

#include "run/PortSettingsModel.h"
#include "win32/ControlIds.h"
#include "win32/Drawings.h"
#include "win32/Win32MessageBoxes.h"
#include "win32/Text.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71Rs232cForm";
constexpr int kClientWidth = 308;
constexpr int kClientHeight = 137;
constexpr int kGlyphSize = 16;

using Designed = design::Box;
constexpr Designed kSelRsCom{8, 9, 73, 77};
constexpr Designed kSelRsBps{96, 9, 105, 73};
constexpr Designed kSelStopBit{208, 9, 89, 64};
constexpr Designed kOkBtn{8, 106, 185, 25};
constexpr Designed kCloseBtn{200, 106, 89, 25};
// Entries within their box: below its caption, one line each.
constexpr int kFirstEntryTop = 18;
constexpr int kEntryPitch = 17;
constexpr int kEntryInset = 8;

// The box's width and height in pixels: as designed, or more when its caption or an entry needs
// more room in the face at hand (a serif face other than Century runs wider). The entries stand
// one line apart under the caption.
SIZE GroupSize(HWND dialog, const RadioGroup& group, const Designed& at, HFONT font, UINT dpi) {
  const int inset = design::Scaled(kEntryInset, dpi);
  const int radio = GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi) + design::Scaled(6, dpi);
  const SIZE caption = design::TextSize(dialog, font, Wide(WindowText(group.Box)).c_str());
  int width = std::max(design::Scaled(at.width, dpi), static_cast<int>(caption.cx) + 2 * inset);
  for (HWND entry : group.Entries) {
    const SIZE text = design::TextSize(dialog, font, Wide(WindowText(entry)).c_str());
    width = std::max(width, inset + radio + static_cast<int>(text.cx) + inset);
  }
  const int pitch = std::max(design::Scaled(kEntryPitch, dpi), static_cast<int>(caption.cy) + 2);
  const int height = std::max(design::Scaled(at.height, dpi),
                              design::Scaled(kFirstEntryTop, dpi) +
                                  pitch * static_cast<int>(group.Entries.size()) + inset / 2);
  return {width, height};
}

// Places the box at its designed place or right of the one before it, its entries inside;
// returns its right and bottom edges.
POINT PlaceGroup(HWND dialog, const RadioGroup& group, const Designed& at, int leftAtLeast,
                 HFONT font, UINT dpi) {
  const SIZE size = GroupSize(dialog, group, at, font, dpi);
  const int left = std::max(design::Scaled(at.left, dpi), leftAtLeast);
  const int top = design::Scaled(at.top, dpi);
  SetWindowPos(group.Box, nullptr, left, top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  const int inset = design::Scaled(kEntryInset, dpi);
  const int pitch = (size.cy - design::Scaled(kFirstEntryTop, dpi) - inset / 2) /
                    std::max(1, static_cast<int>(group.Entries.size()));
  int entryTop = top + design::Scaled(kFirstEntryTop, dpi);
  for (HWND entry : group.Entries) {
    SetWindowPos(entry, nullptr, left + inset, entryTop, size.cx - 2 * inset + inset / 2, pitch - 1,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    entryTop += pitch;
  }
  return {left + size.cx, top + size.cy};
}

}  // namespace

TRs232cForm::TRs232cForm(PortSettingsModel& settings, HWND owner) : settings_(settings) {
  // A dialog border and no buttons in its title bar; hidden until chosen from the menu.
  Create(Kind::kDialog, kClassName, WS_POPUP | WS_CAPTION | DS_MODALFRAME, WS_EX_DLGMODALFRAME,
         L"Setting RS232C port", owner);
  // Created in the tab order: Select, Cansel, then the groups' entries.
  OkBtn =
      AddControl(L"BUTTON", L"Select", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, control::kOkBtn);
  CloseBtn =
      AddControl(L"BUTTON", L"Cansel", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, control::kCloseBtn);
  SelRsCom = AddGroup(L"Port Select", control::kSelRsCom, {L"COM1", L"COM2"});
  SelRsBps =
      AddGroup(L"Bordrate Select", control::kSelRsBps, {L"2400 bps", L"9600 bps", L"19200 bps"});
  SelStopBit = AddGroup(L"Stop bit", control::kSelStopBit, {L"1 stop", L"2 stop"});
  Layout(design::DpiOf(hwnd_));
  // The dialog stands at its designed place on the screen.
  const UINT dpi = design::DpiOf(hwnd_);
  SetWindowPos(hwnd_, nullptr, design::Scaled(244, dpi), design::Scaled(198, dpi), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  settings_.SetGroupsObserver([this] { ShowGroups(); });
  RunGuarded(nullptr, [this] { settings_.FormCreate(); });
  ShowGroups();
}

TRs232cForm::~TRs232cForm() {
  settings_.SetGroupsObserver({});
  for (HICON glyph : {okGlyph_, cancelGlyph_}) {
    if (glyph != nullptr) DestroyIcon(glyph);
  }
}

RadioGroup TRs232cForm::AddGroup(const wchar_t* caption, int id,
                                 std::initializer_list<const wchar_t*> entries) {
  RadioGroup group;
  group.Box = AddControl(L"BUTTON", caption, BS_GROUPBOX, id);
  int entryId = id + 1;
  for (const wchar_t* entry : entries) {
    // The first entry opens the group: Tab reaches it, the arrow keys move within the group.
    const DWORD first = group.Entries.empty() ? WS_GROUP | WS_TABSTOP : 0;
    group.Entries.push_back(AddControl(L"BUTTON", entry, BS_AUTORADIOBUTTON | first, entryId++));
  }
  // Drawn behind its entries.
  SetWindowPos(group.Box, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return group;
}

void TRs232cForm::Layout(UINT dpi) {
  font_ = design::CenturyFont(12, dpi);
  const int gap = design::Scaled(7, dpi);
  POINT edge{0, 0};
  int right = 0;
  int bottom = 0;
  const std::pair<const RadioGroup*, Designed> groups[] = {
      {&SelRsCom, kSelRsCom}, {&SelRsBps, kSelRsBps}, {&SelStopBit, kSelStopBit}};
  for (const auto& [group, at] : groups) {
    edge = PlaceGroup(hwnd_, *group, at, edge.x + gap, font_.get(), dpi);
    right = std::max(right, static_cast<int>(edge.x));
    bottom = std::max(bottom, static_cast<int>(edge.y));
  }
  // The buttons below the groups, at their designed places unless the groups grew down to them.
  const int buttonsTop = std::max(design::Scaled(kOkBtn.top, dpi), bottom + gap + gap);
  const int okLeft = design::Scaled(kOkBtn.left, dpi);
  SetWindowPos(OkBtn, nullptr, okLeft, buttonsTop, design::Scaled(kOkBtn.width, dpi),
               design::Scaled(kOkBtn.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  const int closeLeft = std::max(design::Scaled(kCloseBtn.left, dpi),
                                 okLeft + design::Scaled(kOkBtn.width, dpi) + gap);
  SetWindowPos(CloseBtn, nullptr, closeLeft, buttonsTop, design::Scaled(kCloseBtn.width, dpi),
               design::Scaled(kCloseBtn.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);

  const int clientWidth =
      std::max({design::Scaled(kClientWidth, dpi), right + design::Scaled(11, dpi),
                closeLeft + design::Scaled(kCloseBtn.width, dpi) + design::Scaled(19, dpi)});
  const int clientHeight =
      std::max(design::Scaled(kClientHeight, dpi),
               buttonsTop + design::Scaled(kCloseBtn.height, dpi) + design::Scaled(6, dpi));
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  // The OK and Cancel kinds: a green tick and a red cross beside the caption.
  for (HICON glyph : {okGlyph_, cancelGlyph_}) {
    if (glyph != nullptr) DestroyIcon(glyph);
  }
  okGlyph_ = MakeGlyph(Glyph::kTick, design::Scaled(kGlyphSize, dpi));
  cancelGlyph_ = MakeGlyph(Glyph::kCross, design::Scaled(kGlyphSize, dpi));
  SendMessageW(OkBtn, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(okGlyph_));
  SendMessageW(CloseBtn, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(cancelGlyph_));

  for (const RadioGroup* group : {&SelRsCom, &SelRsBps, &SelStopBit}) {
    design::SetFont(group->Box, font_.get());
    for (HWND entry : group->Entries) design::SetFont(entry, font_.get());
  }
  design::SetFont(OkBtn, font_.get());
  design::SetFont(CloseBtn, font_.get());
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TRs232cForm::ShowGroups() {
  SelRsCom.SetItemIndex(settings_.SelRsComIndex);
  SelRsBps.SetItemIndex(settings_.SelRsBpsIndex);
  SelStopBit.SetItemIndex(settings_.SelStopBitIndex);
}

void TRs232cForm::OkBtnClick() {
  bool opened = false;
  RunGuarded(hwnd_, [&] { opened = settings_.OkBtnClick(); });
  if (opened) ShowWindow(hwnd_, SW_HIDE);
}

void TRs232cForm::CloseBtnClick() {
  RunGuarded(hwnd_, [this] { settings_.CloseBtnClick(); });
  ShowGroups();
  ShowWindow(hwnd_, SW_HIDE);
}

void TRs232cForm::EntryClicked(HWND entry) {
  RunGuarded(hwnd_, [&] {
    if (const int i = SelRsCom.IndexOf(entry); i >= 0) settings_.SelRsComClick(i);
    if (const int i = SelRsBps.IndexOf(entry); i >= 0) settings_.SelRsBpsClick(i);
    if (const int i = SelStopBit.IndexOf(entry); i >= 0) settings_.SelStopBitClick(i);
  });
}

LRESULT TRs232cForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Enter and Esc come as the OK and Cancel numbers, the window's close request as Cancel.
      if (LOWORD(wParam) == IDOK) {
        OkBtnClick();
      } else if (LOWORD(wParam) == IDCANCEL) {
        CloseBtnClick();
      } else if (HIWORD(wParam) == BN_CLICKED) {
        EntryClicked(reinterpret_cast<HWND>(lParam));
      }
      return 0;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
