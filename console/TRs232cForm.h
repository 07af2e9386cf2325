#pragma once

#include <QDialog>

class PortDriver;
class QPushButton;
class RadioGroup;

// "Setting RS232C port": the port, the baud rate and the stop bits. The choices and the port
// itself live in the driver; this dialog shows its groups and forwards the clicks. Shown without
// blocking the main window; Select reopens the port, Cansel (or Esc) restores the committed
// choice.
class TRs232cForm final : public QDialog {
  Q_OBJECT

 public:
  // Reads the settings file and opens the port (FormCreate), which may show a message box.
  TRs232cForm(PortDriver& driver, QWidget* owner);
  ~TRs232cForm() override;

  RadioGroup* SelRsCom;
  RadioGroup* SelRsBps;
  QPushButton* CloseBtn;
  QPushButton* OkBtn;
  RadioGroup* SelStopBit;

  PortDriver& Driver() { return driver_; }

  void OkBtnClick();
  void CloseBtnClick();

  // Esc and the window's close request mean Cansel.
  void reject() override;

 private:
  void ShowGroups();

  PortDriver& driver_;
};
