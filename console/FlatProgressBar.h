#pragma once

#include <QProgressBar>

class CachedText;

// A progress bar drawn flat, as the Windows program draws its own: a frame, the part done filled,
// its text over it. A busy one (no range) runs a block along, a step each time its owner says.
// Screen readers see a progress bar as ever; the text comes from laid-out pieces, because the
// count in it changes with every picture.
class FlatProgressBar final : public QProgressBar {
  Q_OBJECT

 public:
  FlatProgressBar(CachedText& text, QWidget* parent);

  void Step();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CachedText& text_;
  int lineHeight_;
  unsigned phase_ = 0;
};
