#include "link/TRs232cForm.h"

#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "console/DesignScale.h"
#include "console/GuardedHandler.h"
#include "console/RadioGroup.h"
#include "link/PortDriver.h"

namespace {

QPushButton* MakeButton(QWidget* owner, const char* caption, QStyle::StandardPixmap glyph,
                        QRect geometry) {
  auto* button = new QPushButton(QString::fromLatin1(caption), owner);
  button->setIcon(owner->style()->standardIcon(glyph));
  button->setGeometry(geometry);
  return button;
}

}  // namespace

TRs232cForm::TRs232cForm(PortDriver& driver, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), driver_(driver) {
  setWindowTitle(QStringLiteral("Setting RS232C port"));
  setFont(design::CenturyFont(12));
  setFixedSize(design::ToLogical(QSize(308, 137)));
  move(design::ToLogical(QPoint(244, 198)));

  SelRsCom = new RadioGroup(QStringLiteral("Port Select"),
                            {QStringLiteral("COM1"), QStringLiteral("COM2")}, this);
  SelRsCom->setGeometry(design::ToLogical(8, 9, 73, 77));
  SelRsBps = new RadioGroup(
      QStringLiteral("Bordrate Select"),
      {QStringLiteral("2400 bps"), QStringLiteral("9600 bps"), QStringLiteral("19200 bps")}, this);
  SelRsBps->setGeometry(design::ToLogical(96, 9, 105, 73));
  CloseBtn = MakeButton(this, "Cansel", QStyle::SP_DialogCancelButton,
                        design::ToLogical(200, 106, 89, 25));
  OkBtn = MakeButton(this, "Select", QStyle::SP_DialogOkButton, design::ToLogical(8, 106, 185, 25));
  SelStopBit = new RadioGroup(QStringLiteral("Stop bit"),
                              {QStringLiteral("1 stop"), QStringLiteral("2 stop")}, this);
  SelStopBit->setGeometry(design::ToLogical(208, 9, 89, 64));

  OkBtn->setDefault(true);

  QWidget* chain[] = {OkBtn, CloseBtn, SelRsCom, SelRsBps, SelStopBit};
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i) setTabOrder(chain[i], chain[i + 1]);
  for (RadioGroup* group : {SelRsCom, SelRsBps, SelStopBit}) {
    group->setFocusProxy(group->Entries().front());
  }
  OkBtn->setFocus();

  connect(SelRsCom, &RadioGroup::Click, this,
          [this](int index) { RunGuarded(this, [&] { driver_.SelRsComClick(index); }); });
  connect(SelRsBps, &RadioGroup::Click, this,
          [this](int index) { RunGuarded(this, [&] { driver_.SelRsBpsClick(index); }); });
  connect(SelStopBit, &RadioGroup::Click, this,
          [this](int index) { RunGuarded(this, [&] { driver_.SelStopBitClick(index); }); });
  connect(OkBtn, &QPushButton::clicked, this, &TRs232cForm::OkBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &TRs232cForm::CloseBtnClick);

  driver_.SetGroupsObserver([this] { ShowGroups(); });
  RunGuarded(nullptr, [this] { driver_.FormCreate(); });
  ShowGroups();
}

void TRs232cForm::ShowGroups() {
  SelRsCom->SetItemIndex(driver_.SelRsComIndex);
  SelRsBps->SetItemIndex(driver_.SelRsBpsIndex);
  SelStopBit->SetItemIndex(driver_.SelStopBitIndex);
}

void TRs232cForm::OkBtnClick() {
  bool opened = false;
  RunGuarded(this, [&] { opened = driver_.OkBtnClick(); });
  if (opened) hide();
}

void TRs232cForm::CloseBtnClick() {
  RunGuarded(this, [this] { driver_.CloseBtnClick(); });
  ShowGroups();
  hide();
}

void TRs232cForm::reject() {
  CloseBtnClick();
}
