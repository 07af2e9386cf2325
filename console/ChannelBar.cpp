#include "console/ChannelBar.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

namespace {

constexpr int kGap = 8;
constexpr int kSmallestTrack = 120;
constexpr int kPreferredTrack = 200;
constexpr int kScale = 256;  // levels 0 to 255

// The widest texts each column must hold: the longest name a step reports, the longest word and
// the longest values line.
const char* const kWidestName = "front, no paper";
const char* const kWidestWord = "high";
const char* const kWidestValues = "level 255, window 255 to 255, gain 255, D/A 255";

QColor StateColour(ChannelState state) {
  switch (state) {
    case ChannelState::kInside:
      return {0x2e, 0x7d, 0x32};
    case ChannelState::kBelow:
    case ChannelState::kAbove:
      return {0xb0, 0x5a, 0x00};
    case ChannelState::kJudgedBad:
      return {0xc6, 0x28, 0x28};
  }
  return Qt::black;
}

QStaticText PlainText(const QString& text) {
  QStaticText prepared(text);
  prepared.setTextFormat(Qt::PlainText);
  prepared.setPerformanceHint(QStaticText::AggressiveCaching);
  return prepared;
}

QFont Bold(QFont font) {
  font.setBold(true);
  return font;
}

}  // namespace

ChannelBar::ChannelBar(QWidget* parent) : QWidget(parent) {
  // Reachable by Tab, so that a screen reader reads the channels one by one.
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ChannelBar::Show(const ChannelReading& channel, ChannelState state, const QString& spoken) {
  if (shown_ && channel == channel_ && state == state_) return;
  const bool renamed = !shown_ || channel.name != channel_.name;
  shown_ = true;
  channel_ = channel;
  if (renamed) {
    name_ = PlainText(
        QString::fromUtf8(channel.name.data(), static_cast<qsizetype>(channel.name.size())));
    setAccessibleName(name_.text());
    // A name longer than any the steps report today still gets its whole column.
    widthsKnown_ = false;
    updateGeometry();
  }
  if (renamed || state != state_) {
    const std::string_view word = ChannelStateWord(state);
    word_ = PlainText(QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size())));
  }
  const bool restyled = renamed || state != state_;
  state_ = state;
  values_ = PlainText(QString::fromStdString(LevelsPicture::ValuesText(channel)));
  setAccessibleDescription(spoken);
  // Mostly only the level and the values move; the mark and the name stay as they are.
  if (restyled) {
    update();
  } else {
    const Columns c = Layout();
    update(c.track.united(c.values));
  }
}

void ChannelBar::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    widthsKnown_ = false;
    updateGeometry();
  }
  QWidget::changeEvent(event);
}

const ChannelBar::Widths& ChannelBar::ColumnWidths() const {
  if (widthsKnown_) return widths_;
  const QFontMetrics plain = fontMetrics();
  const QFontMetrics bold(Bold(font()));  // a channel judged bad has its word and name in bold
  const auto width = [&](const QString& text) {
    return std::max(plain.horizontalAdvance(text), bold.horizontalAdvance(text)) + kGap;
  };
  widths_.mark = plain.height() + 4 + width(QString::fromLatin1(kWidestWord));
  widths_.name = std::max(width(QString::fromLatin1(kWidestName)), width(name_.text()));
  widths_.values = width(QString::fromLatin1(kWidestValues));
  widthsKnown_ = true;
  return widths_;
}

QSize ChannelBar::minimumSizeHint() const {
  const Widths& w = ColumnWidths();
  return {kGap + w.mark + w.name + kSmallestTrack + kGap + w.values, fontMetrics().height() + 6};
}

QSize ChannelBar::sizeHint() const {
  return minimumSizeHint() + QSize(kPreferredTrack - kSmallestTrack, 0);
}

ChannelBar::Columns ChannelBar::Layout() const {
  const Widths& w = ColumnWidths();
  const QRect all = rect().adjusted(kGap / 2, 2, -kGap / 2, -2);
  Columns c;
  c.mark = QRect(all.left(), all.top(), w.mark, all.height());
  c.name = QRect(c.mark.right() + 1, all.top(), w.name, all.height());
  c.values = QRect(all.right() + 1 - w.values + kGap, all.top(), w.values - kGap, all.height());
  c.track = QRect(c.name.right() + 1, all.top() + 1, c.values.left() - kGap - c.name.right() - 1,
                  all.height() - 2);
  return c;
}

void ChannelBar::paintEvent(QPaintEvent* event) {
  if (!shown_) return;
  QPainter painter(this);
  const Columns c = Layout();
  const QRect dirty = event->rect();

  const bool judgedBad = state_ == ChannelState::kJudgedBad;
  if (judgedBad) {
    // Marked beyond the colour: a heavy frame round the whole line, its word and name in bold.
    const QColor red = StateColour(state_);
    painter.fillRect(rect(), QColor(red.red(), red.green(), red.blue(), 40));
    painter.setPen(QPen(red, 2));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
  }

  const int textTop = c.values.top() + (c.values.height() - fontMetrics().height()) / 2;
  painter.setPen(palette().color(QPalette::WindowText));
  if (dirty.intersects(c.mark.united(c.name))) {
    PaintMark(painter, c.mark);
    if (judgedBad) painter.setFont(Bold(font()));
    painter.drawStaticText(c.mark.left() + fontMetrics().height() + 4, textTop, word_);
    painter.drawStaticText(c.name.left(), textTop, name_);
    painter.setFont(font());
  }
  if (dirty.intersects(c.values)) painter.drawStaticText(c.values.left(), textTop, values_);
  if (dirty.intersects(c.track)) PaintTrack(painter, c.track);

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

// A tick for in, a triangle pointing the way the level is off, a cross for judged bad.
void ChannelBar::PaintMark(QPainter& painter, const QRect& box) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const int size = fontMetrics().height() - 4;
  const QRectF mark(box.left() + 2, box.center().y() - size / 2.0, size, size);
  const QColor colour = StateColour(state_);
  QPainterPath path;
  painter.setBrush(Qt::NoBrush);
  switch (state_) {
    case ChannelState::kInside:
      path.moveTo(mark.left(), mark.center().y());
      path.lineTo(mark.left() + mark.width() * 0.4, mark.bottom());
      path.lineTo(mark.right(), mark.top());
      painter.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      break;
    case ChannelState::kBelow:
      path.moveTo(mark.topLeft());
      path.lineTo(mark.topRight());
      path.lineTo(mark.center().x(), mark.bottom());
      path.closeSubpath();
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      break;
    case ChannelState::kAbove:
      path.moveTo(mark.bottomLeft());
      path.lineTo(mark.bottomRight());
      path.lineTo(mark.center().x(), mark.top());
      path.closeSubpath();
      painter.setPen(Qt::NoPen);
      painter.setBrush(colour);
      break;
    case ChannelState::kJudgedBad:
      path.moveTo(mark.topLeft());
      path.lineTo(mark.bottomRight());
      path.moveTo(mark.topRight());
      path.lineTo(mark.bottomLeft());
      painter.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
      break;
  }
  painter.drawPath(path);
  painter.restore();
}

// The scale 0 to 255: the level as a filled bar, the window as a hatched band with solid edges.
// Whole pixels throughout, so that nothing needs smoothing.
void ChannelBar::PaintTrack(QPainter& painter, const QRect& track) const {
  const auto x = [&track](int level) { return track.left() + track.width() * level / kScale; };
  painter.setPen(palette().color(QPalette::Mid));
  painter.setBrush(palette().color(QPalette::Base));
  painter.drawRect(track.adjusted(0, 0, -1, -1));

  const QRect window(QPoint(x(channel_.lowest), track.top()),
                     QPoint(x(channel_.highest + 1) - 1, track.bottom()));
  painter.fillRect(window, palette().color(QPalette::AlternateBase));
  painter.fillRect(window, QBrush(palette().color(QPalette::Dark), Qt::BDiagPattern));

  const int inset = track.height() / 4;
  painter.fillRect(QRect(QPoint(track.left(), track.top() + inset),
                         QPoint(x(channel_.level + 1) - 1, track.bottom() - inset)),
                   StateColour(state_));

  painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
  for (const int edge : {window.left(), window.right() + 1}) {
    painter.drawLine(edge, track.top(), edge, track.bottom());
  }
}
