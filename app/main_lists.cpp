#include "app/main_lists.h"

#include "draw/main_dialog_helper.h"
#include "platform/qt/qt_text.h"
#include "util/music_names.h"

#include <QLabel>

#include <iterator>

namespace main_lists {

void FillCategoryCombo(QComboBox* combo, int selection) {
  if (!combo) return;
  const QSignalBlocker block(combo);
  combo->clear();
  const int count = static_cast<int>(std::size(StyleCategoryNameTable));
  CCantrelCommon::FillCategoryCombo(combo, selection >= 0 && selection < count ? selection : -1);
}

void FillStyleCombo(QComboBox* styles, QComboBox* categories, QLabel* originLabel) {
  if (!styles) return;
  const QSignalBlocker block(styles);
  CCantrelCommon::FillStyleCombo(styles, categories, originLabel);
}

void SelectStyleInCombo(int category, QComboBox* styles, int slot) {
  if (!styles) return;
  const QSignalBlocker block(styles);
  CCantrelCommon::SelectStyleInCombo(category, styles, slot);
}

void FillKeyCombo(QComboBox* combo, int selection) {
  if (!combo) return;
  const QSignalBlocker block(combo);
  combo->clear();
  for (int i = 0; i < kKeySignatureCount; ++i) {
    combo->addItem(plat::ToQString(KeySignatureTable[i].name));
  }
  combo->setCurrentIndex(selection >= 0 && selection < kKeySignatureCount ? selection : 0);
}

void FillMetreCombo(QComboBox* combo, int selection) {
  if (!combo) return;
  const QSignalBlocker block(combo);
  combo->clear();
  combo->addItem(QStringLiteral("4/4"));
  combo->addItem(QStringLiteral("3/4"));
  combo->addItem(QStringLiteral("6/8"));
  combo->setCurrentIndex(selection >= 0 && selection < 3 ? selection : 0);
}

}  // namespace main_lists
