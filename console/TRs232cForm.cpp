#include "console/TRs232cForm.h"

#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "console/DesignScale.h"
#include "console/GuardedHandler.h"
#include "console/RadioGroup.h"
#include "run/PortSettingsModel.h"

namespace {

QPushButton* MakeButton(QWidget* owner, const char* caption, QStyle::StandardPixmap glyph) {
  auto* button = new QPushButton(QString::fromLatin1(caption), owner);
  button->setIcon(owner->style()->standardIcon(glyph));
  return button;
}

}  // namespace

TRs232cForm::TRs232cForm(PortSettingsModel& settings, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      settings_(settings) {
  setWindowTitle(QStringLiteral("Setting RS232C port"));
  setFont(design::CenturyFont(12));
  setMinimumSize(design::ToLogical(QSize(308, 137)));
  move(design::ToLogical(QPoint(244, 198)));

  SelRsCom = new RadioGroup(QStringLiteral("Port Select"),
                            {QStringLiteral("COM1"), QStringLiteral("COM2")}, this);
  SelRsBps = new RadioGroup(
      QStringLiteral("Bordrate Select"),
      {QStringLiteral("2400 bps"), QStringLiteral("9600 bps"), QStringLiteral("19200 bps")}, this);
  CloseBtn = MakeButton(this, "Cansel", QStyle::SP_DialogCancelButton);
  OkBtn = MakeButton(this, "Select", QStyle::SP_DialogOkButton);
  SelStopBit = new RadioGroup(QStringLiteral("Stop bit"),
                              {QStringLiteral("1 stop"), QStringLiteral("2 stop")}, this);

  // The designed sizes are the least each control gets; the style's radio buttons may need more
  // room than the designed boxes had, and then the dialog grows rather than cut a caption off.
  SelRsCom->setMinimumSize(design::ToLogical(QSize(73, 77)));
  SelRsBps->setMinimumSize(design::ToLogical(QSize(105, 73)));
  SelStopBit->setMinimumSize(design::ToLogical(QSize(89, 64)));
  OkBtn->setMinimumSize(design::ToLogical(QSize(185, 25)));
  CloseBtn->setMinimumSize(design::ToLogical(QSize(89, 25)));

  auto* groups = new QHBoxLayout;
  groups->setSpacing(design::ToLogical(7));
  for (RadioGroup* group : {SelRsCom, SelRsBps, SelStopBit}) {
    groups->addWidget(group, 0, Qt::AlignTop);
  }
  groups->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(design::ToLogical(7));
  buttons->addWidget(OkBtn);
  buttons->addWidget(CloseBtn);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(design::ToLogical(8), design::ToLogical(9), design::ToLogical(8),
                             design::ToLogical(6));
  layout->setSpacing(design::ToLogical(8));
  layout->addLayout(groups);
  layout->addStretch();
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  OkBtn->setDefault(true);

  // The group boxes take no focus themselves: their entries carry the tab order, which would
  // otherwise follow the order of creation (the stop bits were made after the buttons).
  QList<QWidget*> chain{OkBtn, CloseBtn};
  for (RadioGroup* group : {SelRsCom, SelRsBps, SelStopBit}) {
    for (QRadioButton* entry : group->Entries()) chain.append(entry);
  }
  for (qsizetype i = 0; i + 1 < chain.size(); ++i) setTabOrder(chain[i], chain[i + 1]);
  OkBtn->setFocus();

  connect(SelRsCom, &RadioGroup::Click, this,
          [this](int index) { RunGuarded(this, [&] { settings_.SelRsComClick(index); }); });
  connect(SelRsBps, &RadioGroup::Click, this,
          [this](int index) { RunGuarded(this, [&] { settings_.SelRsBpsClick(index); }); });
  connect(SelStopBit, &RadioGroup::Click, this,
          [this](int index) { RunGuarded(this, [&] { settings_.SelStopBitClick(index); }); });
  connect(OkBtn, &QPushButton::clicked, this, &TRs232cForm::OkBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &TRs232cForm::CloseBtnClick);

  settings_.SetGroupsObserver([this] { ShowGroups(); });
  RunGuarded(nullptr, [this] { settings_.FormCreate(); });
  ShowGroups();
}

TRs232cForm::~TRs232cForm() {
  settings_.SetGroupsObserver({});
}

void TRs232cForm::ShowGroups() {
  SelRsCom->SetItemIndex(settings_.SelRsComIndex);
  SelRsBps->SetItemIndex(settings_.SelRsBpsIndex);
  SelStopBit->SetItemIndex(settings_.SelStopBitIndex);
}

void TRs232cForm::OkBtnClick() {
  bool opened = false;
  RunGuarded(this, [&] { opened = settings_.OkBtnClick(); });
  if (opened) hide();
}

void TRs232cForm::CloseBtnClick() {
  RunGuarded(this, [this] { settings_.CloseBtnClick(); });
  ShowGroups();
  hide();
}

void TRs232cForm::reject() {
  CloseBtnClick();
}
