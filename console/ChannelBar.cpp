#include "console/ChannelBar.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

namespace {

constexpr int kGap = 8;
constexpr int kSmallestTrack = 120;
constexpr int kPreferredTrack = 256;  // a pixel a level
constexpr int kScale = 256;           // levels 0 to 255

// The widest texts each column must hold: the longest name a step reports and the longest
// values line.
const char* const kWidestName = "front, no paper";
const char* const kWidestValues = "level 255, window 255 to 255, gain 255, D/A 255";
const char* const kWidestWord = "high";

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

}  // namespace

ChannelBar::ChannelBar(QWidget* parent) : QWidget(parent) {
  // Reachable by Tab, so that a screen reader reads the channels one by one.
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ChannelBar::Show(const ShownChannel& channel, ChannelState state, const QString& spoken) {
  if (shown_ && channel == channel_ && state == state_) return;
  const bool renamed = !shown_ || channel.name != channel_.name;
  shown_ = true;
  channel_ = channel;
  state_ = state;
  values_ = QString::fromStdString(LevelsPicture::ValuesText(channel));
  if (renamed) {
    name_ = QString::fromStdString(channel.name);
    setAccessibleName(name_);
    // A name longer than any the steps report today still gets its whole column.
    updateGeometry();
  }
  setAccessibleDescription(spoken);
  update();
}

int ChannelBar::ColumnWidth(const QString& widest) const {
  return fontMetrics().horizontalAdvance(widest) + kGap;
}

int ChannelBar::MarkColumnWidth() const {
  // The shape, a little room, and the word, which is bold on a channel judged bad.
  QFont bold = font();
  bold.setBold(true);
  return fontMetrics().height() + 4 +
         QFontMetrics(bold).horizontalAdvance(QString::fromLatin1(kWidestWord)) + kGap;
}

QSize ChannelBar::minimumSizeHint() const {
  const int mark = MarkColumnWidth();
  const int name = std::max(ColumnWidth(QString::fromLatin1(kWidestName)), ColumnWidth(name_));
  const int values =
      std::max(ColumnWidth(QString::fromLatin1(kWidestValues)), ColumnWidth(values_));
  return {kGap + mark + name + kSmallestTrack + kGap + values, fontMetrics().height() + 6};
}

QSize ChannelBar::sizeHint() const {
  return minimumSizeHint() + QSize(kPreferredTrack - kSmallestTrack, 0);
}

ChannelBar::Columns ChannelBar::Layout() const {
  const QRect all = rect().adjusted(kGap / 2, 2, -kGap / 2, -2);
  const int markWidth = MarkColumnWidth();
  const int nameWidth = std::max(ColumnWidth(QString::fromLatin1(kWidestName)), ColumnWidth(name_));
  const int valuesWidth =
      std::max(ColumnWidth(QString::fromLatin1(kWidestValues)), ColumnWidth(values_));
  Columns columns;
  columns.mark = QRect(all.left(), all.top(), markWidth, all.height());
  columns.name = QRect(columns.mark.right() + 1, all.top(), nameWidth, all.height());
  columns.values =
      QRect(all.right() + 1 - valuesWidth + kGap, all.top(), valuesWidth - kGap, all.height());
  const int trackLeft = columns.name.right() + 1;
  columns.track =
      QRect(trackLeft, all.top() + 1, columns.values.left() - kGap - trackLeft, all.height() - 2);
  return columns;
}

void ChannelBar::paintEvent(QPaintEvent*) {
  if (!shown_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const Columns columns = Layout();

  if (state_ == ChannelState::kJudgedBad) {
    // Marked beyond the colour: a heavy frame round the whole line.
    const QColor red = StateColour(state_);
    painter.fillRect(rect(), QColor(red.red(), red.green(), red.blue(), 40));
    painter.setPen(QPen(red, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
  }

  PaintMark(painter, columns.mark);
  painter.setPen(palette().color(QPalette::WindowText));
  QFont bold = font();
  bold.setBold(state_ == ChannelState::kJudgedBad);
  painter.setFont(bold);
  const int markSize = fontMetrics().height();
  painter.drawText(columns.mark.adjusted(markSize + 4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromLatin1(ChannelStateWord(state_).data(),
                                       static_cast<qsizetype>(ChannelStateWord(state_).size())));
  painter.drawText(columns.name, Qt::AlignLeft | Qt::AlignVCenter, name_);
  painter.setFont(font());
  painter.drawText(columns.values, Qt::AlignLeft | Qt::AlignVCenter, values_);
  PaintTrack(painter, columns.track);

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

// A tick for in, a triangle pointing the way the level is off, a cross for judged bad.
void ChannelBar::PaintMark(QPainter& painter, const QRect& box) const {
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
}

// The scale 0 to 255: the level as a filled bar, the window as a hatched band with solid edges.
void ChannelBar::PaintTrack(QPainter& painter, const QRect& track) const {
  const auto x = [&track](int level) {
    return track.left() + static_cast<double>(track.width()) * level / kScale;
  };
  painter.setPen(palette().color(QPalette::Mid));
  painter.setBrush(palette().color(QPalette::Base));
  painter.drawRect(QRectF(track).adjusted(0.5, 0.5, -0.5, -0.5));

  const QRectF window(x(channel_.lowest), track.top(), x(channel_.highest + 1) - x(channel_.lowest),
                      track.height());
  painter.setPen(Qt::NoPen);
  painter.setBrush(palette().color(QPalette::AlternateBase));
  painter.drawRect(window);
  painter.setBrush(QBrush(palette().color(QPalette::Dark), Qt::BDiagPattern));
  painter.drawRect(window);

  const double inset = track.height() / 4.0;
  const QRectF level(track.left(), track.top() + inset, x(channel_.level + 1) - track.left(),
                     track.height() - 2 * inset);
  painter.setBrush(StateColour(state_));
  painter.drawRect(level);

  painter.setPen(QPen(palette().color(QPalette::WindowText), 1.5));
  for (const double edge : {window.left(), window.right()}) {
    painter.drawLine(QPointF(edge, track.top()), QPointF(edge, track.bottom() + 1));
  }
}
