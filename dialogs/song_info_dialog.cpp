#include "dialogs/song_info_dialog.h"

#include "dialogs/dialog_text.h"
#include "dialogs/lyric_panel.h"
#include "dialogs/part_settings_dialogs.h"
#include "dialogs/song_detail_dialogs.h"
#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "style/engine_services.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include <cstdio>
#include <cstring>

namespace {

CSongInfoDlg* g_songInfoDlg = nullptr;

constexpr int kGmPrograms = 128;
constexpr int kPartOff = 256;
constexpr int kNoSolo = 128;
// Where the alias and keyword lie in the lyrics block, and their size.
constexpr size_t kAliasOffset = 1536;
constexpr size_t kKeywordOffset = 1792;
constexpr size_t kTailTextSize = 256;
// The names' limits in bytes: Japanese and English forms.
constexpr size_t kJapaneseName = 32;
constexpr size_t kEnglishName = 30;
constexpr size_t kLongText = 255;

struct LabelSet {
  int id;
  const char* first;     // the template's own text
  const char* japanese;
  const char* english;
};
const LabelSet kLabels[11] = {
    {1071, "曲名", "曲名", "Title"},
    {1072, "作曲者", "作曲者", "Composer"},
    {1073, "作詞者", "作詞者", "Lyric"},
    {1074, "歌", "歌の設定", "Vocal"},
    {1075, "楽器ソロ", "楽器ソロの設定", "Instrument"},
    {1076, "伴奏(主)", "伴奏(主)の設定", "Harmony"},
    {1077, "伴奏(副)", "伴奏(副)の設定", "Sub Harmony"},
    {1078, "（別名）", "別名", "Sub Title"},
    {1079, "キーワード", "キーワード", "Keyword"},
    {1080, "リズム", "基本リズム", "Basic Rhythm"},
    {1082, "原題", "原題", "Original Title"},
};

const char* const kDivisionModes[3] = {"相互切替", "3連系固定", "2分割固定"};

// The buttons: host id, caption, place (buttons 5-10 are placed beside their lists).
struct HubButton {
  int host;
  const char* caption;
  int left, right;
};
const HubButton kButtons[11] = {
    {1065, "  閉じる", 230, 318}, {1028, " 歌詞", 10, 63},   {1029, " 分類", 65, 118},
    {1030, " 音域", 120, 173},     {1031, " 拡張", 175, 228}, {1032, "   ...", 0, 0},
    {1033, "   ...", 0, 0},        {1034, "   ...", 0, 0},   {1035, "   ...", 0, 0},
    {1036, "   ...", 0, 0},        {1037, "   ...", 0, 0},
};
// The list each settings button stands beside, and the channel it opens.
const struct {
  int button;
  int list;
  int channel;
} kPartButtons[6] = {{5, 1088, 3}, {6, 1089, 7}, {7, 1091, 2}, {8, 1090, 9}, {9, 1086, 1}, {10, 1087, 15}};

// The row of a stored instrument number; none (-1) outside the list.
int InstrumentRow(int stored, int rows) { return stored >= 0 && stored < rows ? stored : -1; }

}  // namespace

CSongInfoDlg::CSongInfoDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  for (const LabelSet& l : kLabels) {
    auto* label = MakeControl<QLabel>(l.id);
    label->setText(plat::ToQString(l.first));
    UseDialogColours(label);
  }
  bassLabel = new QLabel(plat::ToQString("ベース"), this);
  UseDialogColours(bassLabel);
  title = MakeControl<QLineEdit>(1057);
  composer = MakeControl<QLineEdit>(1058);
  lyricist = MakeControl<QLineEdit>(1059);
  alias = MakeControl<QLineEdit>(1060);
  keyword = MakeControl<QLineEdit>(1061);
  original = MakeControl<QLineEdit>(1062);
  vocal = MakeControl<QComboBox>(1086);
  solo = MakeControl<QComboBox>(1087);
  harmony = MakeControl<QComboBox>(1088);
  subHarmony = MakeControl<QComboBox>(1089);
  division = MakeControl<QComboBox>(1090);
  bass = MakeControl<QComboBox>(1091);
  for (int i = 0; i < 11; ++i) hosts[i] = MakeControl<COffScreenControl>(kButtons[i].host);
}

CSongInfoDlg::~CSongInfoDlg() {
  buttons_.reset();
  if (g_songInfoDlg == this) g_songInfoDlg = nullptr;
}

CSongInfoDlg* CSongInfoDlg::Instance() { return g_songInfoDlg; }

int CSongInfoDlg::ButtonRowTop(int scale) {
  if (scale == 100) return 390;
  if (scale <= 125) return 470;
  if (scale <= 150) return 550;
  if (scale <= 175) return 700;
  if (scale <= 200) return 800;
  return 410;
}

void CSongInfoDlg::SetSong(CSongData* song, CKeyboardPicture* keyboards) {
  song_ = song;
  keyboards_ = keyboards;
}

bool CSongInfoDlg::LyricsCoverAlias() const {
  return song_ && static_cast<int>(strnlen(song_->lyrics_area, kLyricsAreaSize)) > kLyricsBeforeAlias;
}

bool CSongInfoDlg::OnInitDialog() {
  g_songInfoDlg = this;
  language_ = 0;
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const int rowY = ButtonRowTop(scale);

  // Fields: six text lines, then the six lists, spread over the room above the buttons.
  const int pitch = (rowY - 20) / 12;
  auto y = [pitch](int line) { return 8 + line * pitch; };
  const int labelIds[12] = {1071, 1072, 1073, 1082, 1078, 1079, 1074, 1075, 1076, 1077, 0, 1080};
  QWidget* fields[12] = {title, composer, lyricist, original, alias, keyword,
                         vocal, solo,     harmony,  subHarmony, bass, division};
  for (int line = 0; line < 12; ++line) {
    QWidget* label = labelIds[line] ? findChild<QLabel*>(QString::number(labelIds[line])) : bassLabel;
    label->setGeometry(10, y(line), 100, 22);
    if (line < 6) {
      fields[line]->setGeometry(112, y(line), 206, 22);
    } else {
      PlaceControls({{fields[line]->objectName().toInt(), 112, y(line), 258, y(line) + 300}});
    }
  }
  resize(328, rowY + 40);

  // The buttons: 0-4 in one row, each settings button right of its list.
  const bool narrowClose = scale != 100 && scale <= 120;
  auto press = [](int code) {
    if (CSongInfoDlg* d = Instance()) d->OnButton(code);
  };
  for (int i = 0; i < 11; ++i) {
    plat::Rect rect{kButtons[i].left, rowY, kButtons[i].right, rowY + 30};
    for (const auto& p : kPartButtons) {
      if (p.button != i) continue;
      const QRect list = findChild<QWidget*>(QString::number(p.list))->geometry();
      const int right = list.x() + list.width();
      rect = plat::Rect{right + 5, list.y() - 2, right + 58, list.y() + 28};
    }
    const char* caption = i == 0 && narrowClose ? " 閉じる" : kButtons[i].caption;
    const int released = i == 0 ? 168 : 233;
    const int pressed = i == 0 ? 167 : 234;
    if (i == 0) {
      buttons_ = std::make_unique<CButtonPicture2>(press, [](int) {}, hosts[i], rect, caption,
                                                   released, pressed, i);
    } else {
      buttons_->AddButton(hosts[i], rect, caption, released, pressed, i);
    }
    hosts[i]->SetId(i);
  }
  CButtonPicture2::DrawAll();

  ShowTexts();
  for (int program = 0; program < kGmPrograms; ++program) {
    const QString name = plat::ToQString(InstrumentNameTable[program]);
    for (QComboBox* list : {vocal, solo, harmony, subHarmony, bass}) list->addItem(name);
  }
  solo->addItem(plat::ToQString("なし"));
  for (int mode = 0; mode < 3; ++mode) division->addItem(plat::ToQString(kDivisionModes[mode]), mode);
  if (!song_) return true;

  const SongInfoBlock& info = song_->info;
  vocal->setCurrentIndex(InstrumentRow(info.GetInt(SongInfoBlock::kMelodyProgram), kGmPrograms));
  solo->setCurrentIndex(InstrumentRow(info.GetInt(SongInfoBlock::kSoloProgram), kGmPrograms + 1));
  harmony->setCurrentIndex(InstrumentRow(info.GetInt(SongInfoBlock::kAccompProgram), kGmPrograms));
  subHarmony->setCurrentIndex(InstrumentRow(info.GetInt(SongInfoBlock::kAccomp2Program), kGmPrograms));
  bass->setCurrentIndex(InstrumentRow(song_->style.instrument[2], kGmPrograms));
  // A part that is off shows neither its list nor its settings.
  auto hidePart = [this](int labelId, QWidget* list, int button) {
    if (labelId) findChild<QLabel*>(QString::number(labelId))->hide();
    if (list) list->hide();
    hosts[button]->hide();
  };
  if (info.GetInt(SongInfoBlock::kAccompProgram) == kPartOff) hidePart(1076, harmony, 5);
  if (info.GetInt(SongInfoBlock::kAccomp2Program) == kPartOff) hidePart(1077, subHarmony, 6);
  if (song_->style.instrument[2] == kPartOff) {
    bassLabel->hide();
    hidePart(0, bass, 7);
  }
  if (song_->style.instrument[9] == kPartOff) hidePart(0, nullptr, 8);
  division->setCurrentIndex(division->findData(song_->GetDivisionMode()));
  const int seconds = song_->GetPlayingSeconds();
  char caption[40];
  std::snprintf(caption, sizeof caption, "曲情報 [%02d:%02d]", seconds / 60, seconds % 60);
  setWindowTitle(plat::ToQString(caption));
  return true;
}

void CSongInfoDlg::ShowTexts() {
  if (!song_) return;
  const SongInfoBlock& info = song_->info;
  auto field = [&info](size_t offset, size_t size) {
    return dialog_text::FromField(info.Field(offset), size);
  };
  if (language_ == 0) {
    title->setText(field(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize));
    lyricist->setText(field(SongInfoBlock::kLyricist, SongInfoBlock::kLyricistSize));
    composer->setText(field(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize));
  } else {
    title->setText(field(SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize));
    lyricist->setText(field(SongInfoBlock::kAltLyricist, SongInfoBlock::kAltLyricistSize));
    composer->setText(field(SongInfoBlock::kAltComposer, SongInfoBlock::kAltComposerSize));
  }
  original->setText(plat::ToQString(song_->ExtraText(8)));
  if (LyricsCoverAlias()) {
    alias->setEnabled(false);
    keyword->setEnabled(false);
  } else {
    alias->setText(dialog_text::FromField(song_->lyrics_area + kAliasOffset, kTailTextSize));
    keyword->setText(dialog_text::FromField(song_->lyrics_area + kKeywordOffset, kTailTextSize));
  }
}

bool CSongInfoDlg::StoreTexts() {
  if (!song_) return true;
  struct Read {
    QLineEdit* edit;
    const char* field;
    std::string text;
  } reads[6] = {{title, "曲名", {}},    {lyricist, "作詞者", {}}, {composer, "作曲者", {}},
                {original, "原題", {}}, {alias, "別名", {}},      {keyword, "キーワード", {}}};
  for (Read& r : reads) {
    if (!dialog_text::ToCp932(r.edit->text(), &r.text)) {
      ShowMessage(std::string(r.field) + "に使えない文字があります。");
      return false;
    }
  }
  const size_t limit = language_ == 0 ? kJapaneseName : kEnglishName;
  for (int i = 0; i < 3; ++i) {
    if (reads[i].text.size() > limit) {
      ErrorMsg(1);
      return false;
    }
  }
  SongInfoBlock& info = song_->info;
  if (language_ == 0) {
    info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, reads[0].text);
    info.SetText(SongInfoBlock::kLyricist, SongInfoBlock::kLyricistSize, reads[1].text);
    info.SetText(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize, reads[2].text);
  } else {
    info.SetText(SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize, reads[0].text);
    info.SetText(SongInfoBlock::kAltLyricist, SongInfoBlock::kAltLyricistSize, reads[1].text);
    info.SetText(SongInfoBlock::kAltComposer, SongInfoBlock::kAltComposerSize, reads[2].text);
  }
  song_->SetExtraText(8, dialog_text::CutAtCharacter(reads[3].text, kLongText));
  if (!LyricsCoverAlias()) {
    dialog_text::StoreField(song_->lyrics_area + kAliasOffset, kTailTextSize,
                            dialog_text::CutAtCharacter(reads[4].text, kLongText));
    dialog_text::StoreField(song_->lyrics_area + kKeywordOffset, kTailTextSize,
                            dialog_text::CutAtCharacter(reads[5].text, kLongText));
  }
  return true;
}

void CSongInfoDlg::OnOK() {
  if (!song_) {
    done(QDialog::Accepted);
    return;
  }
  if (!StoreTexts()) return;
  SongInfoBlock& info = song_->info;
  // Vocal and solo without a choice keep their instrument; the parts that can be off are off.
  if (vocal->currentIndex() >= 0) info.SetInt(SongInfoBlock::kMelodyProgram, vocal->currentIndex());
  if (solo->currentIndex() >= 0) info.SetInt(SongInfoBlock::kSoloProgram, solo->currentIndex());
  auto orOff = [](QComboBox* list) { return list->currentIndex() >= 0 ? list->currentIndex() : kPartOff; };
  info.SetInt(SongInfoBlock::kAccompProgram, orOff(harmony));
  info.SetInt(SongInfoBlock::kAccomp2Program, orOff(subHarmony));
  song_->style.instrument[2] = orOff(bass);
  if (division->currentIndex() >= 0) song_->SetDivisionMode(division->currentData().toInt());
  done(QDialog::Accepted);
}

void CSongInfoDlg::accept() { OnOK(); }

void CSongInfoDlg::WriteLabels(bool english) {
  for (const LabelSet& l : kLabels) {
    findChild<QLabel*>(QString::number(l.id))->setText(plat::ToQString(english ? l.english : l.japanese));
  }
  bassLabel->setText(plat::ToQString(english ? "Bass" : "ベース"));
}

void CSongInfoDlg::ToggleLanguage() {
  if (!StoreTexts()) return;
  language_ = language_ == 0 ? 1 : 0;
  WriteLabels(language_ == 1);
  ShowTexts();
  update();
}

void CSongInfoDlg::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    ToggleLanguage();
    return;
  }
  CModalDialog::mouseDoubleClickEvent(event);
}

void CSongInfoDlg::OnButton(int code) {
  if (!song_ && code != 0) return;
  switch (code) {
    case 0: OnOK(); break;
    case 1: {
      PostToMain(kMsgStopPlaying, 0, 0);
      {
        CLyricDlg dlg(this);
        dlg.SetOwner(Owner());
        dlg.SetSong(song_);
        dlg.exec();
      }
      const bool free = !LyricsCoverAlias();
      alias->setEnabled(free);
      keyword->setEnabled(free);
      break;
    }
    case 2: {
      CGroupDlg dlg(this);
      dlg.SetOwner(Owner());
      dlg.SetSong(song_);
      dlg.exec();
      break;
    }
    case 3: {
      CRangeDlg dlg(this);
      dlg.SetOwner(Owner());
      dlg.SetSong(keyboards_, song_);
      dlg.exec();
      break;
    }
    case 4: {
      CExtraInfoDlg dlg(this);
      dlg.SetOwner(Owner());
      dlg.SetSong(song_);
      dlg.exec();
      break;
    }
    case 5: case 6: case 7: case 8: {
      CHarmonyDlg dlg(this);
      dlg.SetOwner(Owner());
      dlg.SetPart(song_, kPartButtons[code - 5].channel);
      dlg.exec();
      break;
    }
    case 9: case 10: {
      CMdyDlg dlg(this);
      dlg.SetOwner(Owner());
      dlg.SetPart(song_, kPartButtons[code - 5].channel);
      dlg.exec();
      break;
    }
    default: break;
  }
}

void CSongInfoDlg::ErrorMsg(int code) {
  if (code != 1) return;
  ShowMessage("入力された文字列が長すぎます。");
  update();
}

void CSongInfoDlg::CopyPictures() { CButtonPicture2::BlitAll(); }
