#include "console/TLevelsForm.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "console/DesignScale.h"
#include "console/FlatProgressBar.h"
#include "console/InputBlocker.h"
#include "run/LevelsLayout.h"

namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

QFont TableFont() {
  QFont font = QApplication::font();
  font.setPixelSize(design::ToLogical(levels::kTextHeight));
  return font;
}

void Apply(FlatProgressBar* bar, const BarSetting& setting) {
  // The text first: a progress bar repaints at once when its value changes, and should not paint
  // twice for one picture.
  const QString text = Text(setting.text);
  if (bar->format() != text) {
    bar->setFormat(text);
    bar->setAccessibleDescription(text);
  }
  const int maximum = setting.busy ? 0 : setting.maximum;
  if (bar->minimum() != 0 || bar->maximum() != maximum) bar->setRange(0, maximum);
  if (!setting.busy) bar->setValue(setting.value);
}

}  // namespace

TLevelsForm::TLevelsForm(ProgressHub& progress, const InputBlocker& blocker, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      progress_(progress),
      blocker_(blocker),
      table_(TableFont()) {
  setWindowTitle(QStringLiteral("Levels"));
  setFont(table_.Plain().Font());

  auto* layout = new QVBoxLayout(this);
  const int margin = design::ToLogical(levels::kMargin);
  layout->setContentsMargins(margin, margin, margin, margin);
  layout->setSpacing(design::ToLogical(levels::kSpacing));
  StepLabel = new QLabel(this);
  QFont heading = font();
  heading.setBold(true);
  heading.setPixelSize(design::ToLogical(levels::kHeadingHeight));
  StepLabel->setFont(heading);
  StepLabel->setAccessibleName(QStringLiteral("Step"));
  layout->addWidget(StepLabel);

  CountBar = new FlatProgressBar(table_.Plain(), this);
  CountBar->setAccessibleName(QStringLiteral("Progress"));
  layout->addWidget(CountBar);
  DetailBar = new FlatProgressBar(table_.Plain(), this);
  DetailBar->setAccessibleName(QStringLiteral("Progress detail"));
  QSizePolicy keepRoom = DetailBar->sizePolicy();
  keepRoom.setRetainSizeWhenHidden(true);
  DetailBar->setSizePolicy(keepRoom);
  layout->addWidget(DetailBar);

  SummaryLabel = new QLabel(this);
  SummaryLabel->setWordWrap(true);
  SummaryLabel->setAccessibleName(QStringLiteral("Judgement"));
  SummaryLabel->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  SummaryLabel->setMinimumHeight(levels::kSummaryLines * QFontMetrics(font()).lineSpacing());
  SummaryLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(SummaryLabel);

  auto* legend = new QLabel(
      QString::fromUtf8(levels::kLegend.data(), static_cast<qsizetype>(levels::kLegend.size())),
      this);
  legend->setWordWrap(true);
  layout->addWidget(legend);

  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  layout->addWidget(rule);

  barsLayout_ = new QVBoxLayout();
  barsLayout_->setSpacing(0);
  Header = new ChannelHeader(table_, this);
  barsLayout_->addWidget(Header);
  layout->addLayout(barsLayout_);
  for (std::size_t i = 0; i < levels::kMostChannels; ++i) BarAt(i);

  layout->addStretch(1);

  Redraw(false);
  // As wide as the table's rows; room for the largest set before the rows of a smaller one are
  // hidden.
  setFixedWidth(table_.RowWidth() + 2 * margin);
  for (ChannelBar* bar : Bars) bar->setVisible(true);
  adjustSize();
  for (ChannelBar* bar : Bars) bar->setVisible(false);

  refresh_.setInterval(levels::kRefreshMilliseconds);
  connect(&refresh_, &QTimer::timeout, this, &TLevelsForm::Tick);
  ticket_ = progress_.Subscribe([this](const ProgressReport& report) { Take(report); });
}

TLevelsForm::~TLevelsForm() {
  progress_.Unsubscribe(ticket_);
}

void TLevelsForm::Take(const ProgressReport& report) {
  // Called for every report, inside the step: only a copy, and the timer started once.
  picture_.Take(report);
  if (!refresh_.isActive() && isVisible()) refresh_.start();
}

void TLevelsForm::Tick() {
  const bool changed = picture_.TakeChanged();
  const bool running = blocker_.Engaged();
  const levels::Tick tick = refreshRule_.OnTick(changed, running, picture_.CountBar(running).busy);
  if (tick.redraw) Redraw(running);
  if (tick.advanceBusy) CountBar->Step();
  if (tick.stop) refresh_.stop();
}

void TLevelsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!placed_) {
    placed_ = true;
    PlaceBesideOwner();
  }
  picture_.TakeChanged();
  refreshRule_.Shown(blocker_.Engaged());
  Redraw(refreshRule_.ShownRunning());
  if (refreshRule_.ShownRunning()) refresh_.start();
}

void TLevelsForm::hideEvent(QHideEvent* event) {
  refresh_.stop();
  QDialog::hideEvent(event);
}

// Beside the main window, so that its log stays in view (see PlaceBeside), on the screen the main
// window is on.
void TLevelsForm::PlaceBesideOwner() {
  const QWidget* owner = parentWidget();
  const QScreen* screen = owner != nullptr ? owner->screen() : nullptr;
  if (screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  const QRect main = owner->frameGeometry();
  const QRect frame = frameGeometry();
  const ScreenBox place = PlaceBeside({room.left(), room.top(), room.width(), room.height()},
                                      {main.left(), main.top(), main.width(), main.height()},
                                      frame.width(), frame.height());
  move(QPoint(place.left, place.top) + (pos() - frame.topLeft()));
}

ChannelBar* TLevelsForm::BarAt(std::size_t index) {
  while (Bars.size() <= index) {
    auto* bar = new ChannelBar(table_, this);
    bar->setVisible(false);
    barsLayout_->addWidget(bar);
    Bars.push_back(bar);
  }
  return Bars[index];
}

void TLevelsForm::Redraw(bool stageRunning) {
  if (table_.Fit(picture_, table_.RowWidth())) {
    Header->update();
    for (ChannelBar* bar : Bars) bar->Relayout();
  }
  // The channels first: a progress bar repaints at once when its value changes, and the picture
  // it then shows should be whole.
  const std::vector<ChannelReading>& channels = picture_.Channels();
  for (std::size_t i = 0; i < channels.size(); ++i) {
    ChannelBar* bar = BarAt(i);
    bar->Show(channels[i], picture_.StateOf(channels[i]));
    if (bar->isHidden()) bar->setVisible(true);
  }
  for (std::size_t i = channels.size(); i < Bars.size(); ++i) {
    if (!Bars[i]->isHidden()) Bars[i]->setVisible(false);
  }

  const QString step = Text(picture_.StepText());
  if (StepLabel->text() != step) StepLabel->setText(step);
  const QString summary = Text(picture_.SummaryText());
  if (SummaryLabel->text() != summary) SummaryLabel->setText(summary);
  if (const auto detail = picture_.DetailBar()) {
    Apply(DetailBar, *detail);
    if (DetailBar->isHidden()) DetailBar->setVisible(true);
  } else if (!DetailBar->isHidden()) {
    DetailBar->setVisible(false);
  }
  Apply(CountBar, picture_.CountBar(stageRunning));
}
