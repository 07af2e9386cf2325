#pragma once

#include <cstddef>
#include <vector>

#include <QDialog>
#include <QTimer>

#include "console/ChannelBar.h"
#include "console/FlatProgressBar.h"
#include "run/LevelsLook.h"
#include "run/LevelsPicture.h"

class InputBlocker;
class QLabel;
class QVBoxLayout;

// Opiton > Levels: the step that runs, how far it is, and the levels it measured, a table of one
// row per channel with its level against its window; after a stage, its last picture with the
// channels it judged bad. Narrow enough to stand beside the main window on a 1024 x 768 screen.
// Shown without blocking the main window. The steps' reports are only copied as they come; the
// widgets follow a few times a second, whenever the thread pumps its events, and repaint only
// what changed.
class TLevelsForm final : public QDialog {
  Q_OBJECT

 public:
  TLevelsForm(ProgressHub& progress, const InputBlocker& blocker, QWidget* owner);
  ~TLevelsForm() override;

  QLabel* StepLabel;
  FlatProgressBar* CountBar;
  FlatProgressBar* DetailBar;  // good readings in a row, readings in the window, or a wait
  QLabel* SummaryLabel;
  ChannelHeader* Header;
  // One per channel of the picture, in its order; those past its channels are hidden.
  std::vector<ChannelBar*> Bars;

  const LevelsPicture& Picture() const { return picture_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Take(const ProgressReport& report);
  void Tick();
  void Redraw(bool stageRunning);
  ChannelBar* BarAt(std::size_t index);
  void PlaceBesideOwner();

  ProgressHub& progress_;
  std::size_t ticket_;
  const InputBlocker& blocker_;
  LevelsPicture picture_;
  ChannelTable table_;
  QTimer refresh_;
  levels::Refresh refreshRule_;
  bool placed_ = false;
  QVBoxLayout* barsLayout_;
};
