#pragma once

#include "link/WindowsApi.h"

// The identifiers of every control and menu command of the tool's windows, in one place, so that
// tests and automation tools find a control by its number as well as by its class and caption.
// Select and Cansel carry the dialog's OK and Cancel numbers: Enter and Esc press them.
namespace control {

// Main window.
inline constexpr int kAdjItem = 100;
inline constexpr int kMotorTest = 101;
inline constexpr int kWhiteAdj = 102;
inline constexpr int kBlackAdj = 103;
inline constexpr int kNonAdj = 104;
inline constexpr int kBtnStart = 110;
inline constexpr int kBtnCancel = 111;
inline constexpr int kAdjMemo = 120;

// Main window's menu commands.
inline constexpr int kStart1 = 200;
inline constexpr int kExit1 = 201;
inline constexpr int kCOMMport1 = 210;
inline constexpr int kVersion1 = 211;
inline constexpr int kLevels1 = 212;
inline constexpr int kRunsfolder1 = 213;
inline constexpr int kRuns1 = 214;
inline constexpr int kSerialdevices1 = 215;

// Settings dialog: the three groups' boxes, then their entries in order from the first.
inline constexpr int kOkBtn = IDOK;
inline constexpr int kCloseBtn = IDCANCEL;
inline constexpr int kSelRsCom = 300;
inline constexpr int kSelRsComEntry = 301;  // 301, 302
inline constexpr int kSelRsBps = 310;
inline constexpr int kSelRsBpsEntry = 311;  // 311 to 313
inline constexpr int kSelStopBit = 320;
inline constexpr int kSelStopBitEntry = 321;  // 321, 322

// Version dialog.
inline constexpr int kImage1 = 400;
inline constexpr int kLabel1 = 401;
inline constexpr int kLabel2 = 402;
inline constexpr int kLabel3 = 403;
inline constexpr int kLabel4 = 404;

// Serial devices dialog: Apply and Close carry the OK and Cancel numbers (Enter and Esc press
// them); the controls of each row follow the row's first number.
inline constexpr int kApplyBtn = IDOK;
inline constexpr int kDevicesCloseBtn = IDCANCEL;
inline constexpr int kRefreshBtn = 500;
inline constexpr int kDevicesIntro = 501;
inline constexpr int kDevicesStatus = 502;
inline constexpr int kPortRow = 510;  // 510, 520, 530, 540: the rows of COM1 to COM4
inline constexpr int kPortRowPitch = 10;
// Within a row: its name, the list of devices, the typed name, the device, the note, the advice.
enum PortRowControl : int { kRowName, kRowDevice, kRowTypedPath, kRowPath, kRowNote, kRowAccess };

// Resources.
inline constexpr int kIconResource = 1;

}  // namespace control
