#include "console/TMainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <QUrl>

#include <filesystem>
#include <string>

#include "console/DesignScale.h"
#include "console/Forms.h"
#include "console/GuardedHandler.h"
#include "console/InputBlocker.h"
#include "console/Logo.h"
#include "console/QtMessageBoxes.h"
#include "console/TLevelsForm.h"
#include "console/TRs232cForm.h"
#include "console/TVersionForm.h"
#include "records/RunFiles.h"
#include "records/RunsMenu.h"

namespace {

QLabel* MakeItemLabel(QWidget* group, const char* text, int left, int top, int width, int height) {
  auto* label = new QLabel(QString::fromLatin1(text), group);
  label->setGeometry(design::ToLogical(left, top, width, height));
  // A serif face other than Century may run wider than the designed box; never cut the text.
  label->resize(label->size().expandedTo(label->sizeHint()));
  return label;
}

QPushButton* MakeButton(QWidget* owner, const char* caption, int left, int top) {
  auto* button = new QPushButton(QString::fromLatin1(caption), owner);
  button->setGeometry(design::ToLogical(left, top, 165, 32));
  button->setAutoDefault(false);
  return button;
}

void ShowButton(QPushButton* button, const ButtonView& view) {
  button->setText(QString::fromStdString(view.caption));
  button->setEnabled(view.enabled);
}

// The log's lines as one text. A line may carry a CR LF of its own (the reset text does); it
// stands for a line break there.
QString LogText(const std::vector<std::string>& lines) {
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) shown.append(QString::fromStdString(line));
  QString text = shown.join(QLatin1Char('\n'));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// The desktop's file manager for a folder, its browser for a page.
bool ShowOnDesktop(const std::filesystem::path& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
}

}  // namespace

TMainForm::TMainForm(const Seams& seams, QWidget* owner)
    : QMainWindow(owner),
      Model(seams.port, seams.bell, seams.clock, seams.pump),
      blocker_(seams.blocker) {
  BuildMenu();
  BuildControls();
}

TMainForm::TMainForm(const Seams& seams, const MainFormModel::StageFactory& makeStages,
                     QWidget* owner)
    : QMainWindow(owner),
      Model(seams.port, seams.bell, seams.clock, seams.pump, makeStages),
      blocker_(seams.blocker) {
  BuildMenu();
  BuildControls();
}

TMainForm::~TMainForm() {
  delete LevelsForm;  // it watches the model's progress, which goes before the child windows
  Model.Log.SetObserver({});
  Model.Controller.SetViewObserver({});
}

void TMainForm::BuildMenu() {
  MainMenu1 = menuBar();
  MainMenu1->setFont(design::CenturyFont(19));

  File1 = MainMenu1->addMenu(QStringLiteral("File"));
  Start1 = File1->addAction(QStringLiteral("Start"));
  Exit1 = File1->addAction(QStringLiteral("Exit"));
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

  Opiton1 = MainMenu1->addMenu(QStringLiteral("Opiton"));
  COMMport1 = Opiton1->addAction(QStringLiteral("COM port"));
  Version1 = Opiton1->addAction(QStringLiteral("Version"));
  // The tool's own additions follow the two items the technician knows.
  Serialdevices1 = Opiton1->addAction(QStringLiteral("Serial devices"));
  Levels1 = Opiton1->addAction(QStringLiteral("Levels"));
  Runsfolder1 = Opiton1->addAction(QStringLiteral("Runs folder"));
  Runs1 = Opiton1->addAction(QStringLiteral("Runs"));

  for (QMenu* menu : {File1, Opiton1}) menu->setFont(design::CenturyFont(19));

  connect(Start1, &QAction::triggered, this, [this] { Start1Click(); });
  connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
  connect(COMMport1, &QAction::triggered, this, &TMainForm::COMMport1Click);
  connect(Serialdevices1, &QAction::triggered, this, &TMainForm::Serialdevices1Click);
  connect(Version1, &QAction::triggered, this, &TMainForm::Version1Click);
  connect(Levels1, &QAction::triggered, this, &TMainForm::Levels1Click);
  connect(Runsfolder1, &QAction::triggered, this, &TMainForm::Runsfolder1Click);
  connect(Runs1, &QAction::triggered, this, &TMainForm::Runs1Click);
}

void TMainForm::BuildControls() {
  setWindowTitle(QStringLiteral("QZR-71 Adjustment software"));
  setWindowIcon(ApplicationIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(design::CenturyFont(19));

  auto* client = new QWidget(this);
  client->setFixedSize(design::ToLogical(QSize(601, 340)));
  setCentralWidget(client);

  AdjItem = new QGroupBox(QStringLiteral("Adjustment Item"), client);
  AdjItem->setGeometry(design::ToLogical(10, 0, 400, 124));
  QFont groupFont = design::CenturyFont(17);
  groupFont.setUnderline(true);
  AdjItem->setFont(groupFont);

  MotorTest = MakeItemLabel(AdjItem, "1. Motor speed check", 20, 31, 169, 21);
  WhiteAdj = MakeItemLabel(AdjItem, "2. White paper adjustment", 20, 51, 213, 21);
  BlackAdj = MakeItemLabel(AdjItem, "3. Black paper adjustment", 20, 72, 209, 21);
  NonAdj = MakeItemLabel(AdjItem, "4. Non paper adjustment", 20, 92, 198, 21);

  BtnStart = MakeButton(client, "Start", 419, 31);
  BtnCancel = MakeButton(client, "Exit", 419, 82);

  AdjMemo = new QPlainTextEdit(client);
  AdjMemo->setGeometry(design::ToLogical(10, 133, 583, 195));
  AdjMemo->setReadOnly(true);
  AdjMemo->setFocusPolicy(Qt::NoFocus);
  AdjMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  AdjMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  AdjMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  AdjMemo->setContextMenuPolicy(Qt::NoContextMenu);
  AdjMemo->setAccessibleName(QStringLiteral("Log"));

  // Every control but the window and the menu bar: Century at 17 pixels, regular.
  for (QWidget* control : std::initializer_list<QWidget*>{MotorTest, WhiteAdj, BlackAdj, NonAdj,
                                                          BtnStart, BtnCancel, AdjMemo}) {
    control->setFont(design::CenturyFont(17));
  }
  AdjItem->setAccessibleName(AdjItem->title());

  setTabOrder(BtnStart, BtnCancel);
  BtnStart->setFocus();

  connect(BtnStart, &QPushButton::clicked, this, [this] { BtnStartClick(); });
  connect(BtnCancel, &QPushButton::clicked, this, [this] { BtnCancelClick(); });

  layout()->setSizeConstraint(QLayout::SetFixedSize);
  blocker_.HoldCloseOf(this);

  Model.Log.SetObserver([this] { ShowLog(); });
  Model.Controller.SetViewObserver([this] { ShowView(); });
  ShowLog();
  ShowView();
}

void TMainForm::ShowView() {
  const RunView& view = Model.Controller.View();
  ShowButton(BtnStart, view.btnStart);
  ShowButton(BtnCancel, view.btnCancel);
  if (view.btnStartBusy) {
    BtnStart->setCursor(Qt::WaitCursor);
  } else {
    BtnStart->unsetCursor();
  }
  Start1->setEnabled(view.start1Enabled);
  QLabel* const items[] = {MotorTest, WhiteAdj, BlackAdj, NonAdj};
  for (std::size_t i = 0; i < view.itemEnabled.size(); ++i) {
    items[i]->setEnabled(view.itemEnabled[i]);
  }
}

void TMainForm::ShowLog() {
  AdjMemo->setPlainText(LogText(Model.Log.Lines()));
  // The newest line is the one the technician needs; keep it in view.
  QScrollBar* scroll = AdjMemo->verticalScrollBar();
  scroll->setValue(scroll->maximum());
}

void TMainForm::Guarded(const std::function<void()>& handler) {
  RunGuarded(this, handler);
}

InputBlocker::Scope TMainForm::HoldInput() {
  return InputBlocker::Scope(blocker_);
}

void TMainForm::CloseWindow() {
  close();
}

void TMainForm::COMMport1Click() {
  if (Rs232cForm == nullptr) return;
  auto* dialog = static_cast<QWidget*>(Rs232cForm);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void TMainForm::Serialdevices1Click() {
  if (SerialDevicesForm == nullptr) return;
  SerialDevicesForm->show();
  SerialDevicesForm->raise();
  SerialDevicesForm->activateWindow();
}

void TMainForm::Version1Click() {
  if (VersionForm == nullptr) return;
  VersionForm->SetVersionText(ComposeVersionText());
  VersionForm->show();
  VersionForm->raise();
  VersionForm->activateWindow();
}

void TMainForm::Levels1Click() {
  // Until it is first opened, nothing watches the steps.
  if (LevelsForm == nullptr) LevelsForm = new TLevelsForm(Model.Progress, blocker_, this);
  LevelsForm->show();
  LevelsForm->raise();
  LevelsForm->activateWindow();
}

void TMainForm::Runsfolder1Click() {
  QtMessageBoxes boxes;
  OpenRunsFolder(RunsFolder(), ShowOnDesktop, boxes);
}

void TMainForm::Runs1Click() {
  QtMessageBoxes boxes;
  OpenRunsIndex(RunsFolder(), ShowOnDesktop, boxes);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (placed_) return;
  placed_ = true;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // A run that waits for Next ends with the window; its record is written first.
  Model.Controller.WindowClosing();
  // The dialogs end with the main window; hidden, they do not keep the program alive.
  for (QWidget* dialog : {static_cast<QWidget*>(Rs232cForm), static_cast<QWidget*>(VersionForm),
                          SerialDevicesForm, static_cast<QWidget*>(LevelsForm)}) {
    if (dialog != nullptr) dialog->hide();
  }
  QMainWindow::closeEvent(event);
}
