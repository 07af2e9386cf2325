#include "console/ChannelBar.h"

#include <algorithm>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

#include "console/DesignScale.h"
#include "console/FlatFrame.h"
#include "run/LevelsLook.h"

namespace {

QColor ToQColor(levels::Colour colour) {
  return {colour.red, colour.green, colour.blue};
}

levels::Colour ToColour(const QColor& colour) {
  return {static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
          static_cast<std::uint8_t>(colour.blue())};
}

QColor StateColour(ChannelState state) {
  return ToQColor(levels::StateColour(state));
}

QFont BoldOf(QFont font) {
  font.setBold(true);
  return font;
}

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The row's description, made when a screen reader asks for it rather than for every picture.
class ChannelBarAccessible final : public QAccessibleWidget {
 public:
  explicit ChannelBarAccessible(ChannelBar* bar) : QAccessibleWidget(bar) {}
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Description) {
      return static_cast<const ChannelBar*>(widget())->SpokenText();
    }
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* AccessibleChannelBar(const QString& className, QObject* object) {
  if (className == QLatin1String("ChannelBar")) {
    if (auto* bar = qobject_cast<ChannelBar*>(object)) return new ChannelBarAccessible(bar);
  }
  return nullptr;
}

}  // namespace

ChannelTable::ChannelTable(const QFont& font) : plain_(font), bold_(BoldOf(font)) {
  const QFontMetrics metrics(font);
  rowHeight_ = metrics.height() + design::ToLogical(levels::kRowSpace);
  textTop_ = (rowHeight_ - metrics.height()) / 2;
  measures_.margin = design::ToLogical(levels::kRowMargin);
  measures_.gap = design::ToLogical(levels::kGap);
  measures_.narrowGap = design::ToLogical(levels::kNarrowGap);
  measures_.mark = metrics.height() - 4;
  for (const ChannelState state : {ChannelState::kInside, ChannelState::kBelow,
                                   ChannelState::kAbove, ChannelState::kJudgedBad}) {
    const QString word = Latin1(ChannelStateWord(state));
    measures_.word = std::max({measures_.word, plain_.Width(word), bold_.Width(word)});
  }
  measures_.number = plain_.Width(u"255");
  measures_.bar = std::max(
      design::ToLogical(levels::kLeastBar),
      plain_.Width(Latin1(kScaleLeast)) + measures_.gap + plain_.Width(Latin1(kScaleMost)));
  for (std::size_t i = 0; i < kLevelsColumns; ++i) {
    measures_.titles[i] = plain_.Width(Latin1(LevelsColumnTitle(static_cast<LevelsColumn>(i))));
  }
  rowWidth_ = LevelsWindowRowWidth(
      measures_, [this](const std::vector<std::string_view>& names) { return WidestName(names); });
  measures_.name = WidestName(LevelsTableKinds().front().names);
  columns_ = PlaceLevelsColumns(measures_, rowWidth_, true, true);
}

int ChannelTable::WidestName(const std::vector<std::string_view>& names) {
  int widest = 0;
  for (const std::string_view name : names) {
    const QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    widest = std::max({widest, plain_.Width(text), bold_.Width(text)});
  }
  return widest;
}

bool ChannelTable::Fit(const LevelsPicture& picture, int rowWidth) {
  const std::vector<ChannelReading>& channels = picture.Channels();
  const bool same = rowWidth == fittedWidth_ && picture.HasGains() == gains_ &&
                    picture.HasDaValues() == daValues_ &&
                    std::equal(channels.begin(), channels.end(), names_.begin(), names_.end(),
                               [](const ChannelReading& channel, std::string_view name) {
                                 return channel.name == name;
                               });
  if (same) return false;
  names_.clear();
  for (const ChannelReading& channel : channels) names_.push_back(channel.name);
  gains_ = picture.HasGains();
  daValues_ = picture.HasDaValues();
  fittedWidth_ = rowWidth;
  LevelsMeasures measures = measures_;
  measures.name = WidestName(names_);
  const LevelsColumns placed = PlaceLevelsColumns(measures, rowWidth, gains_, daValues_);
  if (placed == columns_) return false;
  columns_ = placed;
  return true;
}

ChannelHeader::ChannelHeader(ChannelTable& table, QWidget* parent)
    : QWidget(parent), table_(table) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize ChannelHeader::sizeHint() const {
  return {table_.RowWidth(), table_.RowHeight()};
}

void ChannelHeader::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRgb paper = palette().color(QPalette::Window).rgb();
  const QRgb ink = palette().color(QPalette::WindowText).rgb();
  painter.fillRect(rect(), QColor::fromRgb(paper));
  const LevelsColumns& c = table_.Columns();
  CachedText& text = table_.Plain();
  const int top = table_.TextTop();
  const auto left = [&](int x, std::string_view title) {
    text.Draw(painter, QPoint(x, top), Latin1(title), ink, paper);
  };
  const auto right = [&](int x, std::string_view title) {
    text.DrawRightAligned(painter, QPoint(x, top), Latin1(title), ink, paper);
  };
  left(c.mark.left, LevelsColumnTitle(LevelsColumn::kState));
  left(c.name.left, LevelsColumnTitle(LevelsColumn::kName));
  left(c.bar.left, kScaleLeast);
  right(c.bar.right, kScaleMost);
  right(c.level.right, LevelsColumnTitle(LevelsColumn::kLevel));
  if (c.gain.Width() > 0) right(c.gain.right, LevelsColumnTitle(LevelsColumn::kGain));
  if (c.da.Width() > 0) right(c.da.right, LevelsColumnTitle(LevelsColumn::kDa));
}

ChannelBar::ChannelBar(ChannelTable& table, QWidget* parent) : QWidget(parent), table_(table) {
  static const bool installed = [] {
    QAccessible::installFactory(AccessibleChannelBar);
    return true;
  }();
  (void)installed;
  // Reachable by Tab, so that a screen reader reads the channels one by one.
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // Every paint covers what it was asked to: nothing underneath needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize ChannelBar::sizeHint() const {
  return {table_.RowWidth(), table_.RowHeight()};
}

QSize ChannelBar::minimumSizeHint() const {
  return sizeHint();
}

QString ChannelBar::SpokenText() const {
  return QString::fromStdString(LevelsPicture::SpokenText(channel_, state_));
}

QRect ChannelBar::CellRect(const Span& span) const {
  return {span.left, 0, span.Width(), height()};
}

int ChannelBar::FillEnd(const QRect& track, int level) const {
  return track.left() + track.width() * (level + 1) / levels::kScale;
}

void ChannelBar::Show(const ChannelReading& channel, ChannelState state) {
  if (shown_ && channel == channel_ && state == state_) return;
  const bool renamed = !shown_ || channel.name != channel_.name;
  const bool whole = renamed || state != state_ || channel.lowest != channel_.lowest ||
                     channel.highest != channel_.highest;
  if (renamed) {
    name_ = QString::fromUtf8(channel.name.data(), static_cast<qsizetype>(channel.name.size()));
    setAccessibleName(name_);
  }
  const ChannelReading before = channel_;
  shown_ = true;
  channel_ = channel;
  state_ = state;
  if (QAccessible::isActive()) {
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
  }
  if (whole) {
    update();
    return;
  }
  const LevelsColumns& c = table_.Columns();
  if (channel.level != before.level) {
    update(CellRect(c.level));
    const QRect track = CellRect(c.bar);
    if (FillEnd(track, channel.level) != FillEnd(track, before.level)) update(track);
  }
  if (channel.gain != before.gain) update(CellRect(c.gain));
  if (channel.daValue != before.daValue) update(CellRect(c.da));
}

void ChannelBar::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect dirty = event->rect();
  const bool judgedBad = state_ == ChannelState::kJudgedBad;
  const QColor window = palette().color(QPalette::Window);
  const QRgb paper = (judgedBad ? ToQColor(levels::Mix(levels::StateColour(state_),
                                                       ToColour(window), levels::kJudgedBadTint))
                                : window)
                         .rgb();
  painter.fillRect(dirty, QColor::fromRgb(paper));
  if (!shown_) return;

  const LevelsColumns& c = table_.Columns();
  const int top = table_.TextTop();
  const QRgb ink = palette().color(QPalette::WindowText).rgb();
  if (dirty.intersects(CellRect({c.mark.left, c.name.right}))) {
    PaintMark(painter, CellRect(c.mark));
    // Marked beyond the colour: a heavy frame round the whole row, its word and name in bold.
    CachedText& label = judgedBad ? table_.Bold() : table_.Plain();
    label.Draw(painter, QPoint(c.word.left, top), Latin1(ChannelStateWord(state_)), ink, paper);
    label.Draw(painter, QPoint(c.name.left, top), name_, ink, paper);
  }
  const QRect track = CellRect(c.bar).adjusted(0, 3, 0, -3);
  if (dirty.intersects(track)) PaintTrack(painter, track);
  const auto number = [&](const Span& span, std::optional<std::uint8_t> value) {
    if (value && span.Width() > 0 && dirty.intersects(CellRect(span))) {
      table_.Plain().DrawNumber(painter, QPoint(span.right, top), *value, ink, paper);
    }
  };
  number(c.level, channel_.level);
  number(c.gain, channel_.gain);
  number(c.da, channel_.daValue);

  if (judgedBad) {
    FillFrame(painter, rect(), StateColour(state_), 2);
  }
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
  const int size = box.width();
  const QRectF mark(box.left(), box.center().y() - size / 2.0, size, size);
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

// The scale 0 to 255: the level as a filled bar, the window as a hatched band between two edge
// lines. Whole pixels throughout, so that nothing needs smoothing.
void ChannelBar::PaintTrack(QPainter& painter, const QRect& track) const {
  const auto x = [&track](int level) {
    return track.left() + track.width() * level / levels::kScale;
  };
  painter.fillRect(track, palette().color(QPalette::Base));
  const QRect window(QPoint(x(channel_.lowest), track.top()),
                     QPoint(x(channel_.highest + 1) - 1, track.bottom()));
  painter.fillRect(window, palette().color(QPalette::AlternateBase));
  painter.fillRect(window, QBrush(palette().color(QPalette::Dark), Qt::BDiagPattern));

  const int inset = track.height() / 4;
  painter.fillRect(QRect(QPoint(track.left(), track.top() + inset),
                         QPoint(FillEnd(track, channel_.level) - 1, track.bottom() - inset)),
                   StateColour(state_));

  const QColor edge = palette().color(QPalette::WindowText);
  painter.fillRect(QRect(window.left(), track.top(), 1, track.height()), edge);
  painter.fillRect(QRect(window.right(), track.top(), 1, track.height()), edge);
  FillFrame(painter, track, palette().color(QPalette::Mid));
}
