#include "console/TLevelsForm.h"

#include <chrono>

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include "console/ChannelBar.h"
#include "console/DesignScale.h"
#include "console/InputBlocker.h"

namespace {

// Ten pictures a second read as motion; more would only cost the stage time.
constexpr auto kRefreshInterval = std::chrono::milliseconds(100);
// The largest channel set; the window is sized for it at the start, so it never jumps.
constexpr std::size_t kMostChannels = 24;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

void Apply(QProgressBar* bar, const BarSetting& setting) {
  // The text first: a progress bar repaints at once when its value changes, and should not paint
  // twice for one picture.
  const QString text = Text(setting.text);
  bar->setFormat(text);
  // A busy bar draws no text; the description still tells a screen reader what goes on.
  if (bar->accessibleDescription() != text) bar->setAccessibleDescription(text);
  const int maximum = setting.busy ? 0 : setting.maximum;
  if (bar->minimum() != 0 || bar->maximum() != maximum) bar->setRange(0, maximum);
  if (!setting.busy) bar->setValue(setting.value);
}

}  // namespace

TLevelsForm::TLevelsForm(ProgressHub& progress, const InputBlocker& blocker, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      progress_(progress),
      blocker_(blocker) {
  setWindowTitle(QStringLiteral("Levels"));
  QFont plain = font();
  plain.setPixelSize(design::ToLogical(17));
  setFont(plain);

  auto* layout = new QVBoxLayout(this);
  StepLabel = new QLabel(this);
  QFont heading = plain;
  heading.setBold(true);
  heading.setPixelSize(design::ToLogical(20));
  StepLabel->setFont(heading);
  StepLabel->setAccessibleName(QStringLiteral("Step"));
  layout->addWidget(StepLabel);

  CountBar = new QProgressBar(this);
  CountBar->setAccessibleName(QStringLiteral("Progress"));
  layout->addWidget(CountBar);
  DetailBar = new QProgressBar(this);
  DetailBar->setAccessibleName(QStringLiteral("Progress detail"));
  QSizePolicy keepRoom = DetailBar->sizePolicy();
  keepRoom.setRetainSizeWhenHidden(true);
  DetailBar->setSizePolicy(keepRoom);
  layout->addWidget(DetailBar);

  SummaryLabel = new QLabel(this);
  SummaryLabel->setWordWrap(true);
  SummaryLabel->setAccessibleName(QStringLiteral("Judgement"));
  SummaryLabel->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
  layout->addWidget(SummaryLabel);

  auto* legend = new QLabel(
      QStringLiteral("Each bar: the level on the scale 0 to 255; hatched, the channel's window."),
      this);
  legend->setWordWrap(true);
  layout->addWidget(legend);

  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  layout->addWidget(rule);

  barsLayout_ = new QVBoxLayout();
  barsLayout_->setSpacing(0);
  layout->addLayout(barsLayout_);
  for (std::size_t i = 0; i < kMostChannels; ++i) BarAt(i);

  layout->addStretch(1);

  Refresh(false);
  // Room for the largest set before the rows of a smaller one are hidden.
  for (ChannelBar* bar : Bars) bar->setVisible(true);
  resize(sizeHint());
  for (ChannelBar* bar : Bars) bar->setVisible(false);

  refresh_.setInterval(kRefreshInterval);
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
  if (changed || running != shownRunning_) Refresh(running);
  // Idle once the stage has ended and its last picture is up.
  if (!changed && !running) refresh_.stop();
}

void TLevelsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!placed_) {
    placed_ = true;
    PlaceBesideOwner();
  }
  picture_.TakeChanged();
  Refresh(blocker_.Engaged());
  if (shownRunning_) refresh_.start();
}

void TLevelsForm::hideEvent(QHideEvent* event) {
  refresh_.stop();
  QDialog::hideEvent(event);
}

// Beside the main window, so that its log stays in view: to its right where the screen has room,
// else to its left, pushed against the screen's left edge when even that is too narrow, so that
// it covers the log's start rather than the buttons.
void TLevelsForm::PlaceBesideOwner() {
  const QWidget* owner = parentWidget();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (owner == nullptr || screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  const QRect main = owner->frameGeometry();
  QRect frame = frameGeometry();
  frame.moveTopLeft(QPoint(main.right() + 1, main.top()));
  if (!room.contains(frame)) {
    frame.moveRight(main.left() - 1);
    if (frame.left() < room.left()) frame.moveLeft(room.left());
  }
  if (frame.bottom() > room.bottom()) frame.moveBottom(room.bottom());
  if (frame.top() < room.top()) frame.moveTop(room.top());
  move(frame.topLeft() + (pos() - frameGeometry().topLeft()));
}

ChannelBar* TLevelsForm::BarAt(std::size_t index) {
  while (Bars.size() <= index) {
    auto* bar = new ChannelBar(this);
    bar->setVisible(false);
    barsLayout_->addWidget(bar);
    Bars.push_back(bar);
  }
  return Bars[index];
}

void TLevelsForm::Refresh(bool stageRunning) {
  shownRunning_ = stageRunning;
  // The channels first: a progress bar repaints at once when its value changes, and the picture
  // it then shows should be whole.
  const std::vector<ChannelReading>& channels = picture_.Channels();
  for (std::size_t i = 0; i < channels.size(); ++i) {
    ChannelBar* bar = BarAt(i);
    bar->Show(channels[i], picture_.StateOf(channels[i]), Text(picture_.SpokenText(channels[i])));
    bar->setVisible(true);
  }
  for (std::size_t i = channels.size(); i < Bars.size(); ++i) Bars[i]->setVisible(false);

  StepLabel->setText(Text(picture_.StepText()));
  SummaryLabel->setText(Text(picture_.SummaryText()));
  Apply(CountBar, picture_.CountBar(stageRunning));
  if (const auto detail = picture_.DetailBar()) {
    Apply(DetailBar, *detail);
    DetailBar->setVisible(true);
  } else {
    DetailBar->setVisible(false);
  }
}
