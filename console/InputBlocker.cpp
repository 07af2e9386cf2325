#include "console/InputBlocker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// A box that something shows while input is blocked still needs its OK button.
bool BelongsToModalBox(QObject* receiver) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr) return false;
  if (receiver == modal->windowHandle()) return true;
  auto* widget = qobject_cast<QWidget*>(receiver);
  return widget != nullptr && (widget == modal || modal->isAncestorOf(widget));
}

}  // namespace

InputBlocker::Scope::Scope(InputBlocker& blocker) : blocker_(blocker) {
  blocker_.Engage();
}

InputBlocker::Scope::~Scope() {
  blocker_.Release();
}

InputBlocker::InputBlocker() = default;

InputBlocker::~InputBlocker() {
  if (hold_.Engaged() && QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->removeEventFilter(this);
  }
}

void InputBlocker::HoldCloseOf(QWidget* window) {
  heldWindow_ = window;
}

void InputBlocker::Engage() {
  const bool first = !hold_.Engaged();
  hold_.Engage();
  if (first) QCoreApplication::instance()->installEventFilter(this);
}

void InputBlocker::Release() {
  if (!hold_.LastHold() || draining_) {
    hold_.Release();
    return;
  }
  // Input that reached the queue while the thread was busy is still waiting there; dispatch it
  // now, while it is still discarded, so that none of it arrives after the stage.
  draining_ = true;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  draining_ = false;
  hold_.Release();
  QCoreApplication::instance()->removeEventFilter(this);

  if (hold_.TakeHeldClose() && heldWindow_ != nullptr) heldWindow_->close();
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  if (IsUserInput(event->type()) && !BelongsToModalBox(watched)) {
    event->accept();
    return true;
  }
  // A dialog closes itself when its button is pressed; only the window system's requests wait.
  if (event->type() == QEvent::Close && !BelongsToModalBox(watched)) {
    const bool isHeldWindow = heldWindow_ != nullptr &&
                              (watched == heldWindow_ || watched == heldWindow_->windowHandle());
    if (isHeldWindow) hold_.HoldClose();
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}
