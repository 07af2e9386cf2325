// Peak resident memory of the main window over whole runs: the real window, port driver and
// termios layer against qzr71-headsim on a pseudo-terminal, offscreen, Start and Next clicked until
// each run completes. The clock is a fake, so the motor check's waits take no time; memory does
// not depend on them.
//   window_run_bench [runs]

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <QApplication>
#include <QPushButton>

#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/TMainForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "run/PortSettingsModel.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"
#include "tests/support/Recorders.h"

namespace {

long PeakResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 1;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  HeadSimulator head(QZR71_HEADSIM, {"--seed", "7"});
  setenv("QZR71_COM1", head.DevicePath().c_str(), 1);

  TempDir dir;
  TermiosSerialDevice device;
  RecordingBoxes boxes;
  PortDriver driver(device);
  PortSettingsModel settings(driver, boxes, dir.Path() / "comm.ini");
  CountingBell bell;
  FakeClock clock;
  InputBlocker blocker;
  QtIdlePump pump(blocker);
  driver.SetIdlePump(&pump);
  settings.FormCreate();
  TMainForm form(TMainForm::Seams{driver, bell, clock, pump, blocker});
  form.Model.Controller.SetRunStarting([&settings] { settings.RunStarting(); });
  form.show();
  QApplication::processEvents();
  std::printf("main window shown: peak resident memory %.1f MB\n",
              static_cast<double>(PeakResidentKilobytes()) / 1024);

  for (int run = 1; run <= runs; ++run) {
    int clicks = 0;
    do {
      form.BtnStart->click();
      QApplication::processEvents();
    } while (form.BtnStart->isEnabled() && ++clicks < 5);
    const bool completed = form.BtnCancel->text() == QStringLiteral("Complete");
    form.BtnCancel->click();
    QApplication::processEvents();
    std::printf("run %d %s: peak resident memory %.1f MB\n", run,
                completed ? "completed" : "FAILED",
                static_cast<double>(PeakResidentKilobytes()) / 1024);
    if (!completed) return 1;
  }
  return 0;
}
