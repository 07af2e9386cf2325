// The Windows program: the three windows over the port, the steps and the run layer, and the
// message loop until the main window closes.
#include "link/WindowsApi.h"

#include <commctrl.h>

#include <exception>

#include "adjust/Clock.h"
#include "link/BellOutput.h"
#include "link/ComPortMap.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "records/RunFiles.h"
#include "records/RunRecorder.h"
#include "run/PortFacts.h"
#include "run/SerialDevicesModel.h"
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

  ComPortMap ports(DeviceChoiceFile());
  SerialDevice device(
      [&ports](const std::string& comName) { return ports.DevicePathFor(comName); });
  Win32MessageBoxes boxes;
  PortDriver driver(device, boxes);
  StdioBell bell;
  SystemClock clock;
  InputGate gate;
  GatedIdlePump pump(gate);
  driver.SetIdlePump(&pump);
  // Outlives the windows, whose dialog for it is told of its changes.
  const auto system = ThisMachinesSerialDevices();
  SerialDevicesModel devices(*system, ports, driver);

  TMainForm mainForm(TMainForm::Seams{driver, bell, clock, pump, gate, boxes});
  MainForm = &mainForm;
  TRs232cForm settings(driver, mainForm.Handle());
  Rs232cForm = &settings;
  TVersionForm version(mainForm.Handle());
  VersionForm = &version;
  TSerialDevicesForm devicesForm(devices, mainForm.Handle());
  mainForm.SerialDevicesForm = &devicesForm;
  RunRecorder recorder(
      mainForm.Model, RunsFolder(), [&] { return DescribePort(driver, ports); }, boxes);

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
