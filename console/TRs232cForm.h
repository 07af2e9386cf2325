#pragma once

#include <QDialog>

class PortSettingsModel;
class QPushButton;
class RadioGroup;

// "Setting RS232C port": the port, the baud rate and the stop bits. The choices live in the
// settings model, which opens the port; this dialog shows its groups and forwards the clicks.
// Shown without blocking the main window; Select reopens the port, Cansel (or Esc) restores the
// committed choice.
class TRs232cForm final : public QDialog {
  Q_OBJECT

 public:
  // Reads the settings file and opens the port (FormCreate), which may show a message box.
  TRs232cForm(PortSettingsModel& settings, QWidget* owner);
  ~TRs232cForm() override;

  RadioGroup* SelRsCom;
  RadioGroup* SelRsBps;
  QPushButton* CloseBtn;
  QPushButton* OkBtn;
  RadioGroup* SelStopBit;

  PortSettingsModel& Settings() { return settings_; }

  void OkBtnClick();
  void CloseBtnClick();

  // Esc and the window's close request mean Cansel.
  void reject() override;

 private:
  void ShowGroups();

  PortSettingsModel& settings_;
};
