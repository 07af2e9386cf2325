#pragma once

#include "win32/Design.h"
#include "win32/RadioGroup.h"
#include "win32/Window.h"

class PortSettingsModel;

// "Setting RS232C port": the port, the baud rate and the stop bits. The choices live in the
// settings model, which opens the port; this dialog shows its groups and forwards the clicks.
// Shown without blocking the main window; Select reopens the port, Cansel (or Esc) restores the
// committed choice.
class TRs232cForm final : public Window {
 public:
  // Reads the settings file and opens the port (FormCreate), which may show a message box.
  TRs232cForm(PortSettingsModel& settings, HWND owner);
  ~TRs232cForm() override;

  RadioGroup SelRsCom;
  RadioGroup SelRsBps;
  HWND CloseBtn = nullptr;
  HWND OkBtn = nullptr;
  RadioGroup SelStopBit;

  PortSettingsModel& Settings() { return settings_; }

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

  PortSettingsModel& settings_;
  design::Font font_;
  HICON okGlyph_ = nullptr;
  HICON cancelGlyph_ = nullptr;
};
