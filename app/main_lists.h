// The main window's lists: style categories, styles of a category, keys, metres.
#pragma once

#include <QComboBox>

class QLabel;

constexpr int kStyleCategoryNameCount = 9;
// The style category list, in the order of the style table's categories (CP932).
extern const char* const kStyleCategoryNames[kStyleCategoryNameCount];

namespace main_lists {

// Adds the 9 category names and selects `selection`.
void FillCategoryCombo(QComboBox* combo, int selection);
// Empties the style list and adds every named style (slots 1..23) of the category selected in
// the category list, each with its slot as item data; selects the first; sets the label.
void FillStyleCombo(QComboBox* styles, QComboBox* categories, QLabel* originLabel);
// Selects the entry whose item data is the slot; when there is none, the first entry that
// begins with that style's name (or the name is shown as the list's text with item data -1).
void SelectStyleInCombo(int category, QComboBox* styles, int slot);
// The style-origin label: "Free" for every built-in style.
void SetStyleOriginLabel(int itemData, QLabel* label);
// The 30 key names in table order.
void FillKeyCombo(QComboBox* combo, int selection);
// "4/4", "3/4", "6/8".
void FillMetreCombo(QComboBox* combo, int selection);
// Metre list row: 0 for 4 beats per bar, 1 for metre kind 1, else 2.
int MetreIndex(int beatsPerBar, int metreKind);
// Beats per bar of a row (row 0: 4, else 3) and its metre kind (2 for row 2, else 1).
int MetreFromIndex(int row, int* metreKind);

}  // namespace main_lists
