#include <time.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QEvent>

#include "adjust/Clock.h"
#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/Logo.h"
#include "console/QtIdlePump.h"
#include "console/QtMessageBoxes.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TSerialDevicesForm.h"
#include "console/TVersionForm.h"
#include "link/BellOutput.h"
#include "link/ComPortMap.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"
#include "records/RunFiles.h"
#include "records/RunRecorder.h"
#include "run/PortFacts.h"
#include "run/SerialDevicesModel.h"

namespace {

// With QZR71_REPORT_SHOWN set, the first paint of the main window prints "shown" and the
// monotonic clock in nanoseconds, so that a benchmark can time the start-up from outside.
class ShownReport final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      std::printf("shown %lld\n", static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
      std::fflush(stdout);
      watched->removeEventFilter(this);
    }
    return false;
  }
};

int RunTool(QApplication& app) {
  ComPortMap ports(DeviceChoiceFile());
  SerialDevice device(
      [&ports](const std::string& comName) { return ports.DevicePathFor(comName); });
  QtMessageBoxes boxes;
  PortDriver driver(device, boxes);
  StdioBell bell;
  SystemClock clock;
  InputBlocker blocker;
  QtIdlePump pump(blocker);
  driver.SetIdlePump(&pump);
  // Outlives the windows, whose dialog for it is told of its changes.
  const auto system = ThisMachinesSerialDevices();
  SerialDevicesModel devices(*system, ports, driver);

  // The dialogs are children of the main window and end with it.
  std::unique_ptr<TMainForm> mainForm =
      std::make_unique<TMainForm>(TMainForm::Seams{driver, bell, clock, pump, blocker});
  MainForm = mainForm.get();
  Rs232cForm = new TRs232cForm(driver, MainForm);
  VersionForm = new TVersionForm(MainForm);
  MainForm->SerialDevicesForm = new TSerialDevicesForm(devices, MainForm);
  RunRecorder recorder(
      MainForm->Model, RunsFolder(), [&] { return DescribePort(driver, ports); }, boxes);
  // Whoever started the tool from a shell (the demo does) learns where each run's page is.
  recorder.TellReports([](const std::filesystem::path& report, const RunEnding& ending) {
    const std::string line =
        "Run " + std::string(RunEndName(ending.how)) + "; its report: " + report.string() + "\n";
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
  });

  ShownReport shownReport;
  if (qEnvironmentVariableIsSet("QZR71_REPORT_SHOWN")) MainForm->installEventFilter(&shownReport);
  MainForm->show();
  const int result = app.exec();

  VersionForm = nullptr;
  Rs232cForm = nullptr;
  MainForm = nullptr;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("qzr71adj"));
  QApplication::setWindowIcon(ApplicationIcon());
  try {
    return RunTool(app);
  } catch (const std::exception& error) {
    ShowErrorBox(nullptr, QString::fromUtf8(error.what()));
  } catch (...) {
    ShowErrorBox(nullptr, QStringLiteral("Unknown error"));
  }
  // The tool could not start or run: say so to whoever started it.
  return 1;
}
