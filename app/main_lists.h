// The main window's lists: style categories, styles of a category, keys, metres. The style and
// metre lists are the shared helpers' (CCantrelCommon, draw/main_dialog_helper.h); the window's
// own part is keeping its handlers quiet while it fills them; the metre rows and the origin label
// are CCantrelCommon's alone.
#pragma once

#include <QComboBox>

class QLabel;

namespace main_lists {

// Empties the list, adds the 9 category names and selects `selection` (none when out of range).
void FillCategoryCombo(QComboBox* combo, int selection);
// CCantrelCommon::FillStyleCombo: the named styles (slots 1..23) of the category selected in
// the category list, each with its slot as item data; the first selected; the label set.
void FillStyleCombo(QComboBox* styles, QComboBox* categories, QLabel* originLabel);
// CCantrelCommon::SelectStyleInCombo: the entry whose item data is the slot, else the first
// entry that begins with that style's name.
void SelectStyleInCombo(int category, QComboBox* styles, int slot);
// The 30 key names in table order.
void FillKeyCombo(QComboBox* combo, int selection);
// "4/4", "3/4", "6/8".
void FillMetreCombo(QComboBox* combo, int selection);

}  // namespace main_lists
