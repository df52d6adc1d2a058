#include "draw/main_dialog_helper.h"

#include "draw/chord_table_picture.h"
#include "draw/text_limits.h"
#include "platform/qt/qt_text.h"
#include "song/chord_model.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/gne_music.h"
#include "util/music_names.h"

#include <QComboBox>
#include <QLabel>

#include <algorithm>
#include <cstring>
#include <vector>

const char* const StyleCategoryNameTable[9] = {
    "ﾎﾟｯﾌﾟｽ(海外)",     "ﾎﾟｯﾌﾟｽ(日本)",     "ｼﾞｬｽﾞ",
    "ｸﾗｼｯｸ",            "民族音楽(東洋)",    "民族音楽(西洋)",
    "ｹﾞｰﾑ音楽 / ｻｳﾝﾄﾞﾄﾗｯｸ", "ﾋｰﾘﾝｸﾞ音楽", "ﾃｸﾉ",
};

namespace {

constexpr int kBlockRowStride = 512;
constexpr int kSlot = 32;

std::string JoinPath(const std::string& folder, const char* name) {
  std::string out = folder;
  if (out.size() != 3) out += "\\";
  return out + name;
}

std::string StyleName(const StyleRecord& r) { return SlotText(r.name, sizeof r.name); }

}  // namespace

void CCantrelCommon::ErrorMsg(int code) {
  GneMessageBox(code == 1 ? "音価が異常です。" : "CCantrelCommon::ErrorMsg");
}

std::string CCantrelCommon::MakeDataFilePath(const std::string& folder) {
  return JoinPath(folder, "data_kv.dat");
}

std::string CCantrelCommon::MakeChordListPath(const std::string& folder) {
  return JoinPath(folder, "chord.txt");
}

std::string CCantrelCommon::FormatChordName(int keyIndex, int root, int type) {
  std::string out;
  if (root >= 0 && root < 12) {
    out = ChordRootNameTable[root];
    if (IsFlatKey(keyIndex)) out = GneSharpToFlat(out);
  }
  if (type >= 0 && type < kChordSuffixCount && type != 0) out += ChordSuffixTable[type].suffix;
  return out;
}

void CCantrelCommon::ParseChordName(const std::string& text, int* root, int* type) {
  std::string copy = text, r, s;
  CKvCommon::SplitChordText(copy, &r, &s);
  CKvCommon::ParseChord(0, r, s, root, type);
}

std::string CCantrelCommon::FormatChordWithDegree(int keyIndex, const std::string& chordText) {
  std::string copy = chordText, rootText, suffix;
  CKvCommon::SplitChordText(copy, &rootText, &suffix);
  int root = -1, type = -1;
  CKvCommon::ParseChord(keyIndex, rootText, suffix, &root, &type);
  std::string out = FormatChordName(keyIndex, root, type);
  out += "\n(";
  if (root >= 0 && keyIndex >= 0 && keyIndex < kKeySignatureCount) {
    const int degree = (root - KeySignatureTable[keyIndex].tonic + 12) % 12;
    out += DegreeNameTable[degree];
  }
  if (type > 0 && type < kChordSuffixCount) out += ChordSuffixTable[type].suffix;
  out += ")";
  return out;
}

std::string CCantrelCommon::PadChordRoot(const std::string& text) {
  const bool single = text.size() == 1;
  const bool accidental = text.size() == 2 && (text[1] == '#' || text[1] == 'b');
  return (single || accidental) ? text + " " : text;
}

int CCantrelCommon::GetChordPitches(int* pitches, int root, int type, int bassInterval) {
  if (root == -1 && type == -1) return 0;
  if (root < 0 || type < 0 || root > 11 || type >= kChordSuffixCount) {
    ErrorMsg(0);
    return 0;
  }
  std::string name = ChordRootNameTable[root];
  if (type != 0) name += ChordSuffixTable[type].suffix;
  CChordControl chord(name);
  int tones[4] = {-1, -1, -1, -1};
  const int n = std::min(chord.GetChordTones(tones), 4);
  if (n <= 0 || tones[0] < 0) return 0;
  int count = 0;
  int previous = 60 + tones[0];
  if (pitches) pitches[count] = previous;
  ++count;
  for (int i = 1; i < n; ++i) {
    if (tones[i] < 0) continue;
    int p = previous + ((tones[i] - previous % 12) + 12) % 12;
    if (pitches) pitches[count] = p;
    ++count;
    previous = p;
  }
  if (bassInterval != 0) {
    if (pitches) pitches[count] = 60 + tones[0] + bassInterval - 12;
    ++count;
  }
  return count;
}

void CCantrelCommon::BuildDiatonicChordTable(int scaleType, int keyIndex, char* block,
                                             bool transposed) {
  if (!block) return;
  std::memset(block, 0, 24 * kBlockRowStride);
  const bool flat = IsFlatKey(keyIndex);
  for (int form = 3; form <= 4; ++form) {
    CDiatonicChord named(scaleType, form, keyIndex);
    CDiatonicChord degrees(scaleType, form, -1);
    const int n = std::min({named.count(), degrees.count(), transposed ? 24 : 16});
    for (int j = 0; j < n; ++j) {
      const CChordControl* c = named.chord(j);
      const CChordControl* d = degrees.chord(j);
      if (!c || !d) continue;
      std::string name = c->GetName();
      if (flat && c->root() != 11) name = GneSharpToFlat(name);
      const std::string text = name + "\n(" + d->GetName() + ")";
      const int row = transposed ? j : form - 3;
      const int column = transposed ? form - 3 : j;
      CopyToSlot(block + row * kBlockRowStride + column * kSlot, kSlot, text);
    }
  }
}

bool CCantrelCommon::AddChordToTable(CChordTablePicture* picture, const std::string& text) {
  if (!picture || CChordTablePicture::Count() == 0 || text.empty()) return false;
  constexpr int kMaxRows = CChordTablePicture::kMaxRows;
  constexpr int kMaxColumns = CChordTablePicture::kMaxColumns;
  std::vector<char> block(CChordTablePicture::kBlockSize, 0);
  CChordTablePicture::GetTexts(0, block.data());
  int rows = CChordTablePicture::Rows(0);
  int columns = CChordTablePicture::Columns(0);
  auto slot = [&block](int i, int j) { return &block[i * kBlockRowStride + j * kSlot]; };
  auto rootOf = [&slot](int i) { return ChordRootIndex(slot(i, 0)); };
  const bool empty = std::all_of(block.begin(), block.end(), [](char c) { return c == 0; });
  const int r = ChordRootIndex(text.c_str());
  int row = -1, column = 0;
  if (empty) {
    rows = columns = 1;
    row = 0;
  } else {
    bool insert = false;
    for (int i = 0; i < rows && row < 0; ++i) {
      const int root = rootOf(i);
      if (root == r) {
        row = i;
      } else if (i > 0 && root > r && rootOf(i - 1) < r) {
        row = i;
        insert = true;
      }
    }
    if (row < 0) {
      row = rows;
      insert = true;
    }
    if (insert) {
      if (rows >= kMaxRows) {
        GneMessageBox("error");
        return false;
      }
      std::memmove(slot(row + 1, 0), slot(row, 0),
                   static_cast<size_t>(rows - row) * kBlockRowStride);
      std::memset(slot(row, 0), 0, kBlockRowStride);
      ++rows;
    } else {
      while (column < columns && slot(row, column)[0] != '\0') ++column;
      if (column == columns) {
        if (columns >= kMaxColumns) {
          GneMessageBox("error");
          return false;
        }
        ++columns;
      }
    }
  }
  CopyToSlot(slot(row, column), kSlot, text);
  CChordTablePicture::SetTexts(0, rows, columns, block.data());
  CChordTablePicture::DrawGrid(0);
  CChordTablePicture::Blit(0);
  return true;
}

void CCantrelCommon::FillChordTableWithDiatonics(CChordTablePicture* picture, int scaleType,
                                                 int keyIndex) {
  std::vector<char> block(24 * kBlockRowStride, 0);
  BuildDiatonicChordTable(scaleType, keyIndex, block.data(), false);
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 16; ++column) {
      const std::string text = SlotText(&block[row * kBlockRowStride + column * kSlot], kSlot);
      if (!text.empty() && !AddChordToTable(picture, text)) return;
    }
  }
}

void CCantrelCommon::FillCategoryCombo(QComboBox* combo, int selection) {
  if (!combo) return;
  for (const char* name : StyleCategoryNameTable) combo->addItem(plat::ToQString(name));
  combo->setCurrentIndex(selection);
}

void CCantrelCommon::FillStyleCombo(QComboBox* styleCombo, QComboBox* categoryCombo,
                                    QLabel* label) {
  if (!styleCombo || !categoryCombo) return;
  styleCombo->clear();
  const int category = categoryCombo->currentIndex();
  for (int slot = 1; slot <= 23; ++slot) {
    const StyleRecord* r = FindStyleSlot(category, slot);
    if (!r) continue;
    const std::string name = StyleName(*r);
    if (name.empty()) continue;
    styleCombo->addItem(plat::ToQString(name), slot);
  }
  styleCombo->setCurrentIndex(styleCombo->count() > 0 ? 0 : -1);
  if (label && styleCombo->count() > 0) {
    SetStyleOriginLabel(styleCombo->itemData(0).toInt(), label);
  }
}

void CCantrelCommon::SelectStyleInCombo(int category, QComboBox* styleCombo, int slot) {
  if (!styleCombo) return;
  const int index = styleCombo->findData(slot);
  if (index >= 0) {
    styleCombo->setCurrentIndex(index);
    return;
  }
  const StyleRecord* r = FindStyleSlot(category, slot);
  if (!r) return;
  const QString name = plat::ToQString(StyleName(*r));
  for (int i = 0; i < styleCombo->count(); ++i) {
    if (!name.isEmpty() && styleCombo->itemText(i).startsWith(name)) {
      styleCombo->setCurrentIndex(i);
      return;
    }
  }
}

void CCantrelCommon::SetStyleOriginLabel(int, QLabel* label) {
  if (label) label->setText(QStringLiteral("Free"));
}

int CCantrelCommon::FindStyleSlotByName(int category, const std::string& name) {
  for (int slot = 1; slot <= 23; ++slot) {
    const StyleRecord* r = FindStyleSlot(category, slot);
    if (r && StyleName(*r) == name) return slot;
  }
  return 24;
}

int CCantrelCommon::HitTestBarWindows(int x, int y, int* eighth, const std::vector<QRect>& windows,
                                      const CLongStaffPicture* picture, int firstRow) {
  for (size_t i = 0; i < windows.size(); ++i) {
    const QRect& r = windows[i];
    if (x < r.left() || x > r.right() + 1 || y < r.top() || y > r.bottom() + 1) continue;
    const int width = picture ? picture->RowWidth(firstRow + static_cast<int>(i)) : r.width();
    const int step = width / 8;
    if (eighth && step > 0) *eighth = (x - r.left()) / step;
    return static_cast<int>(i);
  }
  return -1;
}

int CCantrelCommon::MetreIndex(int beatsPerBar, int metreKind) {
  if (beatsPerBar == 4) return 0;
  if (metreKind == 1) return 1;
  return 2;
}

int CCantrelCommon::MetreFromIndex(int index, int* metreKind) {
  if (metreKind) *metreKind = index == 2 ? 2 : 1;
  return index == 0 ? 4 : 3;
}
