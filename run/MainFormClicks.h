#pragma once

#include "run/RunController.h"

// The main window's clicks that go to the run, the same in each skin. A stage runs guarded (an
// exception that leaves it becomes the error box) and with the window's input held back for as
// long as it runs; Cancel closes the window when the run asks for that (Cancel after the last
// item), and Exit closes it. The skin's window (Form) derives from this and gives: its Model,
// Guarded(handler), HoldInput(), a scope that holds the input while it lives, and CloseWindow().
template <typename Form>
class MainFormClicks {
 public:
  void BtnStartClick() { RunStage(&RunController::BtnStartClick); }
  void Start1Click() { RunStage(&RunController::Start1Click); }
  void BtnCancelClick() {
    Form& form = Self();
    form.Guarded([&form] { form.Model.Controller.BtnCancelClick(); });
    if (form.Model.Controller.View().closeRequested) form.CloseWindow();
  }
  void Exit1Click() { Self().CloseWindow(); }

 private:
  void RunStage(void (RunController::*handler)()) {
    Form& form = Self();
    form.Guarded([&form, handler] {
      const auto held = form.HoldInput();
      (form.Model.Controller.*handler)();
    });
  }
  Form& Self() { return static_cast<Form&>(*this); }
};
