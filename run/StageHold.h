#pragma once

#include <exception>
#include <string>

// While a stage holds the user-interface thread, the window still repaints, but what the
// technician clicks or types meanwhile is dropped, and a request to close the main window waits
// until the stage has ended, so that the stage finishes its exchange with the head (and stops the
// motor) first. Each skin's input filter keeps one of these and asks it.
class StageHold {
 public:
  // Holds nest: a stage may pump, and a pump holds too.
  void Engage() { ++depth_; }
  // True when this release ends the outermost hold.
  bool Release() { return --depth_ == 0; }
  bool Engaged() const { return depth_ > 0; }
  // Whether the next release ends the hold: the input that waits is to be dropped before it.
  bool LastHold() const { return depth_ == 1; }

  // A request to close the main window: true when it is to wait for the end of the stage.
  bool HoldClose() {
    if (!Engaged()) return false;
    closeHeld_ = true;
    return true;
  }
  // Once the hold has ended: whether a close waited for it, to be carried out now. Told once.
  bool TakeHeldClose() {
    if (Engaged() || !closeHeld_) return false;
    closeHeld_ = false;
    return true;
  }

 private:
  int depth_ = 0;
  bool closeHeld_ = false;
};

// Runs a window's handler; an exception that leaves it is shown as the error box's text instead of
// unwinding through the window system's code (Qt ends the program then), and the program goes on.
template <typename Handler, typename ShowError>
void CallGuarded(Handler&& handler, ShowError&& showError) {
  try {
    handler();
  } catch (const std::exception& error) {
    showError(std::string(error.what()));
  } catch (...) {
    showError(std::string("Unknown error"));
  }
}
