#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned box of radio buttons with one entry chosen by index, the kind of control the
// settings dialog offers its choices in.
class RadioGroup final : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& caption, const QStringList& entries, QWidget* owner);

  // -1 when no entry is chosen.
  int ItemIndex() const;
  // Chooses an entry without a click. An index past the last entry chooses the last one; a
  // negative index chooses none.
  void SetItemIndex(int index);

  const QList<QRadioButton*>& Entries() const { return entries_; }

 signals:
  // The technician clicked an entry.
  void Click(int index);

 private:
  QButtonGroup* group_;
  QList<QRadioButton*> entries_;
};
