#include "console/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString& caption, const QStringList& entries, QWidget* owner)
    : QGroupBox(caption, owner), group_(new QButtonGroup(this)) {
  setAccessibleName(caption);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 0, 2, 2);
  layout->setSpacing(0);
  for (const QString& entry : entries) {
    auto* button = new QRadioButton(entry, this);
    group_->addButton(button, static_cast<int>(entries_.size()));
    layout->addWidget(button);
    entries_.append(button);
  }
  connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::Click);
}

int RadioGroup::ItemIndex() const {
  return group_->checkedId();
}

void RadioGroup::SetItemIndex(int index) {
  if (entries_.isEmpty()) return;
  if (index < 0) {
    // An exclusive group cannot uncheck its last checked button.
    group_->setExclusive(false);
    for (QRadioButton* button : entries_) button->setChecked(false);
    group_->setExclusive(true);
    return;
  }
  const auto last = static_cast<int>(entries_.size()) - 1;
  entries_[index > last ? last : index]->setChecked(true);
}
