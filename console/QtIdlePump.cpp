#include "console/QtIdlePump.h"

#include <QCoreApplication>

#include "console/InputBlocker.h"

void QtIdlePump::Pump() {
  // Engaged here as well, so that a pump from outside a stage (a port open from the settings
  // dialog) cannot run a second handler inside the first.
  InputBlocker::Scope blocking(blocker_);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}
