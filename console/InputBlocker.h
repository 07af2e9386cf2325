#pragma once

#include <QObject>
#include <QPointer>

#include "run/StageHold.h"

class QWidget;

// While a stage of a run holds the user-interface thread, the window still repaints (the idle
// pump dispatches events), but what the technician clicks or types meanwhile must be dropped,
// not delivered later: a click kept until Next is enabled again would skip the paper change the
// prompt asks for. Installed on the application, this filter discards user input while engaged.
// A request to close the main window is held and carried out once the stage has ended, so that
// the stage finishes its exchange with the head (and stops the motor) first.
class InputBlocker final : public QObject {
  Q_OBJECT

 public:
  // Engages the blocker for its lifetime; scopes nest.
  class Scope {
   public:
    explicit Scope(InputBlocker& blocker);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    InputBlocker& blocker_;
  };

  InputBlocker();
  ~InputBlocker() override;

  // Close requests for this window are held while engaged and carried out on release.
  void HoldCloseOf(QWidget* window);

  bool Engaged() const { return hold_.Engaged(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Engage();
  void Release();

  StageHold hold_;
  bool draining_ = false;
  QPointer<QWidget> heldWindow_;
};
