#pragma once

#include <cstddef>

#include "run/LevelsPicture.h"
#include "win32/Design.h"
#include "win32/Window.h"

class InputGate;
class ProgressHub;

// Opiton > Levels: the step that runs, how far it is, and the levels it measured, one bar per
// channel against its window; after a stage, its last picture with the channels it judged bad.
// Shown without blocking the main window. The steps' reports are only copied as they come; the
// window repaints at most ten times a second, whenever the thread pumps its messages.
class TLevelsForm final : public Window {
 public:
  TLevelsForm(ProgressHub& progress, const InputGate& gate, HWND owner);
  ~TLevelsForm() override;

  const LevelsPicture& Picture() const { return picture_; }
  // Draws the window as it stands into a device context of its client size.
  void DrawTo(HDC dc);

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(UINT dpi) override;

 private:
  void Take(const ProgressReport& report);
  void Tick();
  void PlaceBesideOwner();
  void Paint();

  ProgressHub& progress_;
  std::size_t ticket_;
  const InputGate& gate_;
  LevelsPicture picture_;
  bool ticking_ = false;
  bool shownRunning_ = false;
  bool placed_ = false;
  unsigned busyPhase_ = 0;
  design::Font plain_;
  design::Font bold_;
  design::Font heading_;
};
