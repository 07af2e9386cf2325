#include <exception>
#include <memory>

#include <QApplication>

#include "adjust/Clock.h"
#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/Logo.h"
#include "console/QtIdlePump.h"
#include "console/QtMessageBoxes.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TVersionForm.h"
#include "link/BellOutput.h"
#include "link/PortDriver.h"
#include "link/SerialDevice.h"

namespace {

int RunTool(QApplication& app) {
  SerialDevice device;
  QtMessageBoxes boxes;
  PortDriver driver(device, boxes);
  StdioBell bell;
  SystemClock clock;
  InputBlocker blocker;
  QtIdlePump pump(blocker);
  driver.SetIdlePump(&pump);

  // The dialogs are children of the main window and end with it.
  std::unique_ptr<TMainForm> mainForm =
      std::make_unique<TMainForm>(TMainForm::Seams{driver, bell, clock, pump, blocker});
  MainForm = mainForm.get();
  Rs232cForm = new TRs232cForm(driver, MainForm);
  VersionForm = new TVersionForm(MainForm);

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
