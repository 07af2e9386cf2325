#pragma once

#include <QStaticText>
#include <QString>
#include <QWidget>

#include "run/LevelsPicture.h"

// One channel in the Levels window, on one line: a mark and a word for its state, its name, its
// level as a bar over the scale 0 to 255 with its window hatched, and its values as text. The
// state reads without colour (the mark's shape and the word); screen readers get the channel's
// name and its values in words.
class ChannelBar final : public QWidget {
  Q_OBJECT

 public:
  explicit ChannelBar(QWidget* parent);

  // Repaints only when something shown has changed.
  void Show(const ChannelReading& channel, ChannelState state, const QString& spoken);

  const ChannelReading& Channel() const { return channel_; }
  ChannelState State() const { return state_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // The widths of the columns beside the track, measured once per font and name: a picture
  // comes ten times a second, and measuring text is the dear part of drawing it.
  struct Widths {
    int mark = 0, name = 0, values = 0;
  };
  const Widths& ColumnWidths() const;
  struct Columns {
    QRect mark, name, track, values;
  };
  Columns Layout() const;
  void PaintMark(QPainter& painter, const QRect& box) const;
  void PaintTrack(QPainter& painter, const QRect& track) const;

  ChannelReading channel_;
  ChannelState state_ = ChannelState::kInside;
  bool shown_ = false;
  QStaticText name_;
  QStaticText word_;
  QStaticText values_;
  mutable Widths widths_;
  mutable bool widthsKnown_ = false;
};
