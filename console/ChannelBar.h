#pragma once

#include <string_view>
#include <vector>

#include <QWidget>

#include "console/CachedText.h"
#include "run/LevelsLayout.h"
#include "run/LevelsPicture.h"

// What the rows of the Levels window's table share: their fonts, with the texts laid out in
// them, and the columns, placed for the channels of the picture.
class ChannelTable {
 public:
  explicit ChannelTable(const QFont& font);

  // Places the columns for the picture's channels in rows of this width; true when they moved.
  bool Fit(const LevelsPicture& picture, int rowWidth);
  const LevelsColumns& Columns() const { return columns_; }
  // The row the window is sized for: every column, with the widest name a step reports.
  int RowWidth() const { return rowWidth_; }
  int RowHeight() const { return rowHeight_; }
  int TextTop() const { return textTop_; }
  CachedText& Plain() { return plain_; }
  CachedText& Bold() { return bold_; }

 private:
  int WidestName(const std::vector<std::string_view>& names);

  CachedText plain_;
  CachedText bold_;
  LevelsMeasures measures_;
  LevelsColumns columns_;
  int rowWidth_ = 0;
  int rowHeight_ = 0;
  int textTop_ = 0;
  // What the columns were placed for.
  std::vector<std::string_view> names_;
  bool gains_ = false;
  bool daValues_ = false;
  int fittedWidth_ = -1;
};

// The header row: each column's title over it, and the ends of the scale over the bars.
class ChannelHeader final : public QWidget {
  Q_OBJECT

 public:
  ChannelHeader(ChannelTable& table, QWidget* parent);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ChannelTable& table_;
};

// One channel in the Levels window, one row of its table: a mark and a word for its state, its
// name, its level as a bar over the scale 0 to 255 with its window hatched, and its level, gain
// and D/A value where the step has them. The state reads without colour (the mark's shape and
// the word); screen readers get the channel's name, and its state and values in words.
class ChannelBar final : public QWidget {
  Q_OBJECT

 public:
  ChannelBar(ChannelTable& table, QWidget* parent);

  // Repaints only what has changed: mostly a level and a bar.
  void Show(const ChannelReading& channel, ChannelState state);
  // The table's columns moved.
  void Relayout() { update(); }

  const ChannelReading& Channel() const { return channel_; }
  ChannelState State() const { return state_; }
  // The state and the values in words: what a screen reader reads as the row's description.
  QString SpokenText() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect CellRect(const Span& span) const;
  int FillEnd(const QRect& track, int level) const;
  void PaintMark(QPainter& painter, const QRect& box) const;
  void PaintTrack(QPainter& painter, const QRect& track) const;

  ChannelTable& table_;
  ChannelReading channel_;
  ChannelState state_ = ChannelState::kInside;
  bool shown_ = false;
  QString name_;
};
