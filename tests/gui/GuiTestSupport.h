#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "link/HeadCommands.h"
#include "link/PortLink.h"
#include "tests/run/MainWindowExpectations.h"
#include "tests/support/Recorders.h"

// What a modal box showed before the test closed it.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
};

// Closes the next modal message box as soon as it is up, remembering what it showed.
class ModalBoxCloser {
 public:
  ModalBoxCloser() { Arm(); }
  std::vector<SeenBox> seen;

 private:
  void Arm() {
    // Tied to the guard, so that no poll outlives the closer.
    QTimer::singleShot(10, &guard_, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        seen.push_back({box->windowTitle(), box->text(), box->icon(),
                        static_cast<int>(box->buttons().size())});
        box->accept();
      }
      if (seen.empty() && ++polls_ < 500) Arm();
    });
  }
  QObject guard_;
  int polls_ = 0;
};

// A click as the window system delivers it: queued for the window, dispatched by the next pass
// of the event loop, not sent straight to the widget.
inline void PostClick(QWidget* target) {
  QWidget* window = target->window();
  QWindow* handle = window->windowHandle();
  const QPointF local = target->mapTo(window, target->rect().center());
  const QPointF global = target->mapToGlobal(target->rect().center());
  QCoreApplication::postEvent(
      handle, new QMouseEvent(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      handle, new QMouseEvent(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton,
                              Qt::NoButton, Qt::NoModifier));
}

inline void PostKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers) {
  QWindow* handle = window->windowHandle();
  QCoreApplication::postEvent(handle, new QKeyEvent(QEvent::KeyPress, key, modifiers));
  QCoreApplication::postEvent(handle, new QKeyEvent(QEvent::KeyRelease, key, modifiers));
}

// Opens the menu from the menu bar with the mouse and clicks the item.
inline void ChooseMenuItem(QMenuBar* bar, QMenu* menu, QAction* item) {
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                    bar->actionGeometry(menu->menuAction()).center());
  if (!QTest::qWaitForWindowExposed(menu)) return;
  QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(item).center());
}

inline bool WaitForActive(QWidget* window) {
  return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 2000);
}

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

inline QStringList LogLines(const QString& text) {
  return text.split(QLatin1Char('\n'));
}

// The shared table's lines as the Qt window's log shows them.
inline QStringList ToQt(const expected::Lines& lines) {
  QStringList shown;
  for (const std::string& line : lines) shown.append(QString::fromStdString(line));
  return shown;
}
