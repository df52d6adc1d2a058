#include "app/main_lists.h"

#include "platform/qt/qt_text.h"
#include "style/style_table.h"
#include "util/music_names.h"

#include <QLabel>

#include <cstring>
#include <string>

const char* const kStyleCategoryNames[kStyleCategoryNameCount] = {
    "ﾎﾟｯﾌﾟｽ(海外)",       "ﾎﾟｯﾌﾟｽ(日本)",   "ｼﾞｬｽﾞ",
    "ｸﾗｼｯｸ",              "民族音楽(東洋)", "民族音楽(西洋)",
    "ｹﾞｰﾑ音楽 / ｻｳﾝﾄﾞﾄﾗｯｸ", "ﾋｰﾘﾝｸﾞ音楽",     "ﾃｸﾉ",
};

namespace main_lists {
namespace {

// The style's Japanese name; a name of exactly 20 bytes fills its field without an end.
std::string StyleName(const StyleRecord& record) {
  return std::string(record.name, strnlen(record.name, sizeof(record.name)));
}

}  // namespace

void FillCategoryCombo(QComboBox* combo, int selection) {
  if (!combo) return;
  const QSignalBlocker block(combo);
  combo->clear();
  for (const char* name : kStyleCategoryNames) combo->addItem(plat::ToQString(name));
  combo->setCurrentIndex(selection >= 0 && selection < kStyleCategoryNameCount ? selection : -1);
}

void FillStyleCombo(QComboBox* styles, QComboBox* categories, QLabel* originLabel) {
  if (!styles || !categories) return;
  const QSignalBlocker block(styles);
  styles->clear();
  const int category = categories->currentIndex();
  for (int slot = 1; slot < kStyleSlotCount; ++slot) {
    const StyleRecord* record = FindStyleSlot(category, slot);
    if (!record) continue;
    const std::string name = StyleName(*record);
    if (name.empty()) continue;
    styles->addItem(plat::ToQString(name), slot);
  }
  styles->setCurrentIndex(styles->count() > 0 ? 0 : -1);
  if (originLabel) SetStyleOriginLabel(styles->currentData().toInt(), originLabel);
}

void SelectStyleInCombo(int category, QComboBox* styles, int slot) {
  if (!styles) return;
  const QSignalBlocker block(styles);
  const int row = styles->findData(slot);
  if (row >= 0) {
    styles->setCurrentIndex(row);
    return;
  }
  const StyleRecord* record = FindStyleSlot(category, slot);
  if (!record) return;
  const QString name = plat::ToQString(StyleName(*record));
  if (name.isEmpty()) return;
  for (int i = 0; i < styles->count(); ++i) {
    if (styles->itemText(i).startsWith(name)) {
      styles->setCurrentIndex(i);
      return;
    }
  }
}

void SetStyleOriginLabel(int itemData, QLabel* label) {
  (void)itemData;
  if (label) label->setText(QStringLiteral("Free"));
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

int MetreIndex(int beatsPerBar, int metreKind) {
  if (beatsPerBar == 4) return 0;
  if (metreKind == 1) return 1;
  return 2;
}

int MetreFromIndex(int row, int* metreKind) {
  if (metreKind) *metreKind = (row == 2) ? 2 : 1;
  return row == 0 ? 4 : 3;
}

}  // namespace main_lists
