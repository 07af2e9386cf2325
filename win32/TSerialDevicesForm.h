#pragma once

#include <array>

#include "win32/Design.h"
#include "win32/Window.h"

class SerialDevicesModel;

// "Serial devices": which device each of COM1..COM4 opens, chosen from the ports Windows has or
// typed in (a serial device server too), kept for the user. Shown without blocking the main
// window; the rows and what Apply does live in the model, which this window mirrors. The list
// follows adapters plugged in or pulled while it is open.
class TSerialDevicesForm final : public Window {
 public:
  TSerialDevicesForm(SerialDevicesModel& model, HWND owner);
  ~TSerialDevicesForm() override;

  struct PortRow {
    HWND name = nullptr;
    HWND device = nullptr;  // a drop-down list
    HWND typedPath = nullptr;
    HWND path = nullptr;
    HWND note = nullptr;
    HWND access = nullptr;
  };
  std::array<PortRow, 4> Ports;
  HWND RefreshBtn = nullptr;
  HWND ApplyBtn = nullptr;
  HWND CloseBtn = nullptr;
  HWND Intro = nullptr;
  HWND Status = nullptr;

  // Opening the dialog shows the kept choice and the ports present now.
  void Show();
  void RefreshBtnClick();
  void ApplyBtnClick();
  void CloseBtnClick();

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(UINT dpi) override;

 private:
  void ShowRows();
  void Command(int id, int notification, HWND control);
  bool Refused(HWND control) const;

  SerialDevicesModel& model_;
  design::Font font_;
  design::Font nameFont_;
  bool showing_ = false;  // the rows are being set: the controls' notices are not the user's
  bool placed_ = false;
};
