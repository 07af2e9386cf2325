#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "run/LevelsLook.h"
#include "run/LevelsPicture.h"
#include "win32/Design.h"
#include "win32/LevelsDrawing.h"
#include "win32/Window.h"

class InputGate;
class ProgressHub;

// Opiton > Levels: the step that runs, how far it is, and the levels it measured, a table of one
// row per channel with its level against its window; after a stage, its last picture with the
// channels it judged bad. Narrow enough to stand beside the main window on a 1024 x 768 screen.
// Shown without blocking the main window. The steps' reports are only copied as they come; the
// window repaints a few times a second, whenever the thread pumps its messages, and only the
// parts that changed.
class TLevelsForm final : public Window {
 public:
  TLevelsForm(ProgressHub& progress, const InputGate& gate, HWND owner);
  ~TLevelsForm() override;

  const LevelsPicture& Picture() const { return picture_; }

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Layout(UINT dpi) override;

 private:
  void Take(const ProgressReport& report);
  void Tick();
  // Marks what differs from the picture last drawn for repainting.
  void InvalidateChanged();
  void PlaceBesideOwner();
  void Paint();

  ProgressHub& progress_;
  std::size_t ticket_;
  const InputGate& gate_;
  LevelsPicture picture_;
  bool ticking_ = false;
  levels::Refresh refreshRule_;
  bool placed_ = false;
  unsigned busyPhase_ = 0;
  design::Font plain_;
  design::Font bold_;
  design::Font heading_;
  LevelsLook look_;
  // The picture as last drawn, to tell what changed.
  levels::Frame drawn_;
  // Drawn into off screen and put up whole, so that a picture never shows half drawn.
  HDC buffer_ = nullptr;
  HBITMAP pixels_ = nullptr;
  HGDIOBJ oldPixels_ = nullptr;
  void DropBuffer();
};
