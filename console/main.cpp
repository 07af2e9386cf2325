#include <time.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>
#include <QEvent>

#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/Logo.h"
#include "console/QtIdlePump.h"
#include "console/QtMessageBoxes.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TSerialDevicesForm.h"
#include "console/TVersionForm.h"
#include "program/ProgramParts.h"

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
  QtMessageBoxes boxes;
  InputBlocker blocker;
  QtIdlePump pump(blocker);
  // Outlives the windows, whose dialogs are told of its models' changes.
  ProgramParts parts(boxes, pump);

  // The dialogs are children of the main window and end with it.
  std::unique_ptr<TMainForm> mainForm = std::make_unique<TMainForm>(
      TMainForm::Seams{parts.Port, parts.Bell, parts.Clock, pump, blocker});
  MainForm = mainForm.get();
  Rs232cForm = new TRs232cForm(parts.Settings, MainForm);
  VersionForm = new TVersionForm(MainForm);
  MainForm->SerialDevicesForm = new TSerialDevicesForm(parts.Devices, MainForm);
  const std::unique_ptr<RunRecorder> recorder = parts.WatchRuns(MainForm->Model);
  // Whoever started the tool from a shell (the demo does) learns where each run's page is.
  recorder->TellReports([](const std::filesystem::path& report, const RunEnding& ending) {
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
