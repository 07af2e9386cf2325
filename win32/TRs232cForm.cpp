#include "win32/TRs232cForm.h"

#include "link/PortDriver.h"
#include "win32/ControlIds.h"
#include "win32/Drawings.h"
#include "win32/MessageBoxes.h"

namespace {

constexpr const wchar_t* kClassName = L"QZR71Rs232cForm";
constexpr int kClientWidth = 308;
constexpr int kClientHeight = 137;
constexpr int kGlyphSize = 16;

struct Designed {
  int left, top, width, height;
};
constexpr Designed kSelRsCom{8, 9, 73, 77};
constexpr Designed kSelRsBps{96, 9, 105, 73};
constexpr Designed kSelStopBit{208, 9, 89, 64};
constexpr Designed kOkBtn{8, 106, 185, 25};
constexpr Designed kCloseBtn{200, 106, 89, 25};
// Entries within their box: below its caption, one line each.
constexpr int kFirstEntryTop = 18;
constexpr int kEntryPitch = 17;
constexpr int kEntryInset = 8;

void PlaceGroup(const RadioGroup& group, const Designed& at, UINT dpi) {
  design::Place(group.Box, at.left, at.top, at.width, at.height, dpi);
  int top = at.top + kFirstEntryTop;
  for (HWND entry : group.Entries) {
    design::Place(entry, at.left + kEntryInset, top, at.width - kEntryInset - 4, kEntryPitch - 1,
                  dpi);
    top += kEntryPitch;
  }
}

}  // namespace

TRs232cForm::TRs232cForm(PortDriver& driver, HWND owner) : driver_(driver) {
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

  driver_.SetGroupsObserver([this] { ShowGroups(); });
  RunGuarded(nullptr, [this] { driver_.FormCreate(); });
  ShowGroups();
}

TRs232cForm::~TRs232cForm() {
  driver_.SetGroupsObserver({});
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
  const SIZE outer = design::OuterSize(hwnd_, kClientWidth, kClientHeight, dpi);
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PlaceGroup(SelRsCom, kSelRsCom, dpi);
  PlaceGroup(SelRsBps, kSelRsBps, dpi);
  PlaceGroup(SelStopBit, kSelStopBit, dpi);
  design::Place(OkBtn, kOkBtn.left, kOkBtn.top, kOkBtn.width, kOkBtn.height, dpi);
  design::Place(CloseBtn, kCloseBtn.left, kCloseBtn.top, kCloseBtn.width, kCloseBtn.height, dpi);

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
  SelRsCom.SetItemIndex(driver_.SelRsComIndex);
  SelRsBps.SetItemIndex(driver_.SelRsBpsIndex);
  SelStopBit.SetItemIndex(driver_.SelStopBitIndex);
}

void TRs232cForm::OkBtnClick() {
  bool opened = false;
  RunGuarded(hwnd_, [&] { opened = driver_.OkBtnClick(); });
  if (opened) ShowWindow(hwnd_, SW_HIDE);
}

void TRs232cForm::CloseBtnClick() {
  RunGuarded(hwnd_, [this] { driver_.CloseBtnClick(); });
  ShowGroups();
  ShowWindow(hwnd_, SW_HIDE);
}

void TRs232cForm::EntryClicked(HWND entry) {
  RunGuarded(hwnd_, [&] {
    if (const int i = SelRsCom.IndexOf(entry); i >= 0) driver_.SelRsComClick(i);
    if (const int i = SelRsBps.IndexOf(entry); i >= 0) driver_.SelRsBpsClick(i);
    if (const int i = SelStopBit.IndexOf(entry); i >= 0) driver_.SelStopBitClick(i);
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
