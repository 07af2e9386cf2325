#pragma once

#include "win32/Design.h"
#include "win32/RadioGroup.h"
#include "win32/Window.h"

class PortDriver;

// "Setting RS232C port": the port, the baud rate and the stop bits. The choices and the port
// itself live in the driver; this dialog shows its groups and forwards the clicks. Shown without
// blocking the main window; Select reopens the port, Cansel (or Esc) restores the committed
// choice.
class TRs232cForm final : public Window {
 public:
  // Reads the settings file and opens the port (FormCreate), which may show a message box.
  TRs232cForm(PortDriver& driver, HWND owner);
  ~TRs232cForm() override;

  RadioGroup SelRsCom;
  RadioGroup SelRsBps;
  HWND CloseBtn = nullptr;
  HWND OkBtn = nullptr;
  RadioGroup SelStopBit;

  PortDriver& Driver() { return driver_; }

  void OkBtnClick();
  void CloseBtnClick();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(UINT dpi) override;

 private:
  RadioGroup AddGroup(const wchar_t* caption, int id,
                      std::initializer_list<const wchar_t*> entries);
  void ShowGroups();
  void EntryClicked(HWND entry);

  PortDriver& driver_;
  design::Font font_;
  HICON okGlyph_ = nullptr;
  HICON cancelGlyph_ = nullptr;
};
