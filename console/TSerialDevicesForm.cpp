#include "console/TSerialDevicesForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStringList>
#include <QStyle>

#include "console/DesignScale.h"
#include "console/GuardedHandler.h"
#include "run/SerialDevicesModel.h"

namespace {

constexpr int kDesignColumnWidth = 620;

QLabel* MakeText(QWidget* owner) {
  auto* label = new QLabel(owner);
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TSerialDevicesForm::TSerialDevicesForm(SerialDevicesModel& model, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      model_(model) {
  setWindowTitle(QStringLiteral("Serial devices"));
  setFont(design::CenturyFont(16));

  auto* intro = MakeText(this);
  intro->setText(Text(SerialDevicesModel::Intro()));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(design::ToLogical(12));
  grid->setVerticalSpacing(design::ToLogical(3));
  QFont nameFont = font();
  nameFont.setBold(true);
  int line = 0;
  for (std::size_t row = 0; row < Ports.size(); ++row) {
    PortRow& port = Ports[row];
    port.name = new QLabel(this);
    port.name->setFont(nameFont);
    port.device = new QComboBox(this);
    port.device->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    port.device->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    port.typedPath = new QLineEdit(this);
    port.typedPath->setPlaceholderText(Text(model_.TypedExample()));
    // A device's name does not break; a long one widens the dialog.
    port.path = MakeText(this);
    port.path->setWordWrap(false);
    port.note = MakeText(this);
    port.access = MakeText(this);
    if (row > 0) grid->setRowMinimumHeight(line++, design::ToLogical(8));
    grid->addWidget(port.name, line, 0, Qt::AlignLeft | Qt::AlignVCenter);
    for (QWidget* shown : std::initializer_list<QWidget*>{port.device, port.typedPath, port.path,
                                                          port.note, port.access}) {
      grid->addWidget(shown, line++, 1);
    }
    port.device->setAccessibleName(QStringLiteral("COM%1 device").arg(row + 1));
    port.typedPath->setAccessibleName(QStringLiteral("COM%1 path").arg(row + 1));

    const int index = static_cast<int>(row);
    connect(port.device, &QComboBox::activated, this, [this, index](int entry) {
      RunGuarded(this, [&] { model_.ChooseEntry(index, entry); });
    });
    connect(port.typedPath, &QLineEdit::textEdited, this, [this, index](const QString& text) {
      RunGuarded(this, [&] { model_.TypePath(index, text.toStdString()); });
    });
  }
  grid->setColumnMinimumWidth(1, design::ToLogical(kDesignColumnWidth));

  RefreshBtn = new QPushButton(QStringLiteral("Refresh"), this);
  RefreshBtn->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  ApplyBtn = new QPushButton(QStringLiteral("Apply"), this);
  ApplyBtn->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
  CloseBtn = new QPushButton(QStringLiteral("Close"), this);
  CloseBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
  ApplyBtn->setDefault(true);
  Status = MakeText(this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(RefreshBtn);
  buttons->addStretch();
  buttons->addWidget(ApplyBtn);
  buttons->addWidget(CloseBtn);
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(design::ToLogical(10));
  layout->addWidget(intro);
  layout->addLayout(grid);
  layout->addWidget(Status);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(RefreshBtn, &QPushButton::clicked, this, &TSerialDevicesForm::RefreshBtnClick);
  connect(ApplyBtn, &QPushButton::clicked, this, &TSerialDevicesForm::ApplyBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &TSerialDevicesForm::CloseBtnClick);

  model_.SetObserver([this] { ShowRows(); });
  ShowRows();
}

TSerialDevicesForm::~TSerialDevicesForm() {
  model_.SetObserver({});
}

void TSerialDevicesForm::ShowRows() {
  const auto& rows = model_.Rows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const DeviceRowView& view = rows[row];
    PortRow& port = Ports[row];
    port.name->setText(Text(view.comName));

    QStringList entries;
    for (const std::string& entry : view.entries) entries.append(Text(entry));
    QStringList shownEntries;
    for (int i = 0; i < port.device->count(); ++i) shownEntries.append(port.device->itemText(i));
    if (entries != shownEntries) {
      port.device->clear();
      port.device->addItems(entries);
    }
    port.device->setCurrentIndex(view.entry);
    port.device->setEnabled(view.editable);

    port.typedPath->setVisible(view.typed);
    port.typedPath->setEnabled(view.editable);
    // Set only when it differs, so that typing keeps its cursor.
    if (port.typedPath->text() != Text(view.typedPath))
      port.typedPath->setText(Text(view.typedPath));

    port.path->setText(QStringLiteral("Device: ") + Text(view.device));
    port.note->setText(Text(view.note));
    port.note->setVisible(!view.note.empty());
    port.access->setText(Text(view.access));
    QPalette colours = palette();
    if (!view.mayOpen) colours.setColor(QPalette::WindowText, QColor(0xa0, 0x00, 0x00));
    port.access->setPalette(colours);
  }
  Status->setText(Text(model_.Status()));
  Status->setVisible(!model_.Status().empty());
}

void TSerialDevicesForm::RefreshBtnClick() {
  RunGuarded(this, [this] { model_.RefreshClick(); });
}

void TSerialDevicesForm::ApplyBtnClick() {
  RunGuarded(this, [this] { model_.ApplyClick(); });
}

void TSerialDevicesForm::CloseBtnClick() {
  hide();
}

void TSerialDevicesForm::reject() {
  CloseBtnClick();
}

void TSerialDevicesForm::showEvent(QShowEvent* event) {
  RunGuarded(this, [this] { model_.FormShow(); });
  QDialog::showEvent(event);
}
