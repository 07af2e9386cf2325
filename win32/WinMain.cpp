// The Windows program: its windows over the program's parts (program/ProgramParts.h), and the
// message loop until the main window closes.
#include "link/WindowsApi.h"

#include <commctrl.h>

#include <exception>
#include <memory>

#include "program/ProgramParts.h"
#include "win32/Forms.h"
#include "win32/InputGate.h"
#include "win32/MessageLoop.h"
#include "win32/TMainForm.h"
#include "win32/TRs232cForm.h"
#include "win32/TSerialDevicesForm.h"
#include "win32/TVersionForm.h"
#include "win32/Win32MessageBoxes.h"

namespace {

void RunTool(int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  Win32MessageBoxes boxes;
  InputGate gate;
  GatedIdlePump pump(gate);
  // Outlives the windows, whose dialogs are told of its models' changes.
  ProgramParts parts(boxes, pump);

  TMainForm mainForm(TMainForm::Seams{parts.Port, parts.Bell, parts.Clock, pump, gate, boxes});
  MainForm = &mainForm;
  TRs232cForm settings(parts.Settings, mainForm.Handle());
  Rs232cForm = &settings;
  TVersionForm version(mainForm.Handle());
  VersionForm = &version;
  TSerialDevicesForm devicesForm(parts.Devices, mainForm.Handle());
  mainForm.SerialDevicesForm = &devicesForm;
  const std::unique_ptr<RunRecorder> recorder = parts.WatchRuns(mainForm.Model);

  mainForm.Show(show);
  RunMessageLoop(mainForm);

  VersionForm = nullptr;
  Rs232cForm = nullptr;
  MainForm = nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  try {
    RunTool(show);
    return 0;
  } catch (const std::exception& error) {
    ShowErrorBox(nullptr, error.what());
  } catch (...) {
    ShowErrorBox(nullptr, "Unknown error");
  }
  // The tool could not start or run: say so to whoever started it.
  return 1;
}
