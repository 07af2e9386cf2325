#pragma once

#include "link/IdlePump.h"
#include "link/WindowsApi.h"
#include "run/StageHold.h"

// While a stage of a run holds the user-interface thread, the windows still repaint (the idle pump
// dispatches the queue), but what the technician clicks or types meanwhile must be dropped, not
// delivered later: a click kept until Next is enabled again would skip the paper change the prompt
// asks for. A request to close the main window is held and carried out once the stage has ended,
// so that the stage finishes its exchange with the head (and stops the motor) first.
class InputGate {
 public:
  // Engages the gate for its lifetime; scopes nest.
  class Scope {
   public:
    explicit Scope(InputGate& gate);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    InputGate& gate_;
  };

  bool Engaged() const { return hold_.Engaged(); }

  // Close requests for this window are held while engaged and carried out on release.
  void HoldCloseOf(HWND window) { heldWindow_ = window; }
  // True when the gate is engaged and the window's close is to wait; remembers it.
  bool HoldClose(HWND window);

  // Dispatches what waits in the queue, with user input dropped.
  void Pump();

 private:
  void Engage() { hold_.Engage(); }
  void Release();
  // Takes every message now waiting: user input is dropped, the rest dispatched.
  void DrainQueue();

  StageHold hold_;
  HWND heldWindow_ = nullptr;
};

// The idle pump of the steps and of the port's reads: the gate's.
class GatedIdlePump final : public IdlePump {
 public:
  explicit GatedIdlePump(InputGate& gate) : gate_(gate) {}
  void Pump() override { gate_.Pump(); }

 private:
  InputGate& gate_;
};

// Whether a message is the technician's input: keys, mouse buttons and wheels, touch and pen.
bool IsUserInput(const MSG& message);
