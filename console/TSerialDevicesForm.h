#pragma once

#include <array>

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SerialDevicesModel;

// "Serial devices": which device each of COM1..COM4 opens, chosen from the adapters and ports
// present or typed in (a serial device server too), kept for the user. Shown without blocking the
// main window; the rows and what Apply does live in the model, which this window mirrors.
class TSerialDevicesForm final : public QDialog {
  Q_OBJECT

 public:
  TSerialDevicesForm(SerialDevicesModel& model, QWidget* owner);
  ~TSerialDevicesForm() override;

  struct PortRow {
    QLabel* name;
    QComboBox* device;
    QLineEdit* typedPath;
    QLabel* path;
    QLabel* note;
    QLabel* access;
  };
  std::array<PortRow, 4> Ports;
  QPushButton* RefreshBtn;
  QPushButton* ApplyBtn;
  QPushButton* CloseBtn;
  QLabel* Status;

  void RefreshBtnClick();
  void ApplyBtnClick();
  void CloseBtnClick();

  void reject() override;

 protected:
  // Opening the dialog shows the kept choice and the devices present now.
  void showEvent(QShowEvent* event) override;

 private:
  void ShowRows();

  SerialDevicesModel& model_;
};
