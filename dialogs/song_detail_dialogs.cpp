#include "dialogs/song_detail_dialogs.h"

#include "dialogs/dialog_text.h"
#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstring>

const CountryRow CountryTable[68] = {
    {0, "外国"}, {3, "日本"}, {67, "沖縄・奄美"}, {1, "中国"}, {2, "韓国・朝鮮"}, {4, "インドネシア"}, {5, "インド"},
    {6, "フィリピン"}, {36, "朝鮮民主主義人民共和国"}, {37, "台湾"}, {38, "ベトナム"}, {39, "タイ"}, {33, "トルコ"},
    {29, "アフガニスタン"}, {59, "カザフスタン"}, {30, "パキスタン"}, {31, "イラン"}, {56, "イラク"}, {32, "イスラエル"},
    {34, "アラブ諸国"}, {63, "ヨルダン"}, {65, "レバノン"}, {7, "その他アジア"}, {9, "アメリカ"}, {10, "ハワイ"}, {8, "カナダ"},
    {11, "黒人霊歌"}, {35, "北米原住民"}, {12, "メキシコ"}, {40, "アルゼンチン"}, {41, "グアテマラ"}, {42, "ジャマイカ"},
    {43, "コロンビア"}, {57, "ペルー"}, {66, "キューバ"}, {13, "その他中南米"}, {16, "ロシア"}, {53, "チロル地方"},
    {17, "ドイツ"}, {23, "オーストリア"}, {25, "ポーランド"}, {18, "イギリス"}, {49, "スコットランド"}, {50, "イングランド"},
    {47, "アイルランド"}, {58, "オランダ"}, {19, "フランス"}, {20, "スイス"}, {21, "スペイン"}, {22, "ボヘミア"},
    {24, "ハンガリー"}, {26, "イタリア"}, {46, "ベルギー"}, {48, "ルーマニア"}, {51, "ブルガリア"}, {52, "ギリシア"},
    {60, "デンマーク"}, {61, "ノルウェー"}, {62, "フィンランド"}, {28, "スウェーデン"}, {54, "リヒテンシュタイン"}, {55, "ラップランド"},
    {64, "マケドニア"}, {27, "その他ヨーロッパ"}, {14, "アフリカ"}, {44, "ケニア"}, {45, "ガーナ"}, {15, "オセアニア"},
};

const ClassFlag GenreFlagTable[16] = {
    {0, 1104, "地方の曲"},   {1, 1093, "番組主題歌"},  {2, 1097, "伝統曲"},
    {3, 1113, "国・自治体・学校・応援歌"},             {4, 1100, "ロック"},
    {5, 1091, "ポップス"},   {6, 1099, "唱歌・懐メロ"}, {7, 1112, "行進曲"},
    {8, 1110, "ジャズ"},     {9, 1101, "インストルメンタル"}, {10, 1094, "演歌"},
    {11, 1095, "CM"},        {12, 1109, "クラシック"}, {13, 1098, "童謡"},
    {14, 1092, "アニメ"},    {15, 1114, "舞踊曲"},
};

const ClassFlag RemarkFlagTable[6] = {
    {0, 1115, "宗教曲"},         {1, 1116, "輪唱曲"},   {2, 1105, "コード進行不明"},
    {3, 1103, "原題・訳題不明"}, {4, 1102, "絵描き歌"}, {5, 1106, "子守歌"},
};

namespace {

CGroupDlg* g_groupDlg = nullptr;
CExtraInfoDlg* g_extraDlg = nullptr;
CRangeDlg* g_rangeDlg = nullptr;

constexpr int kReleasedBitmap = 168;
constexpr int kPressedBitmap = 167;

QLabel* MakeLabel(CDialogSkeleton* dialog, const char* text, int id = 0) {
  auto* label = id ? dialog->MakeControl<QLabel>(id) : new QLabel(dialog);
  label->setText(plat::ToQString(text));
  dialog->UseDialogColours(label);
  return label;
}

// "<field>に使えない文字があります。"
void ReportUnstorable(CDialogSkeleton* dialog, const char* field) {
  dialog->ShowMessage(std::string(field) + "に使えない文字があります。");
}

}  // namespace

// ------------------------------------------------------------------------------------- CGroupDlg

CGroupDlg::CGroupDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("分類"));
  initial = MakeControl<QLineEdit>(1090);
  countryList = MakeControl<QComboBox>(1096);
  popularity = MakeControl<QLineEdit>(1157);
  for (int i = 0; i < 16; ++i) {
    genre[i] = MakeControl<QCheckBox>(GenreFlagTable[i].id);
    genre[i]->setText(plat::ToQString(GenreFlagTable[i].text));
  }
  for (int i = 0; i < 6; ++i) {
    remark[i] = MakeControl<QCheckBox>(RemarkFlagTable[i].id);
    remark[i]->setText(plat::ToQString(RemarkFlagTable[i].text));
  }
  closeHost = MakeControl<COffScreenControl>(1065);
}

CGroupDlg::~CGroupDlg() {
  buttons_.reset();
  if (g_groupDlg == this) g_groupDlg = nullptr;
}

CGroupDlg* CGroupDlg::Instance() { return g_groupDlg; }

int CGroupDlg::ButtonTop(int scale) {
  if (scale == 100) return 200;
  if (scale <= 125) return 220;
  if (scale <= 150) return 300;
  if (scale <= 175) return 350;
  return 400;
}

bool CGroupDlg::OnInitDialog() {
  g_groupDlg = this;
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const int y = ButtonTop(scale);
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int) {
        // The pressed button is seen for a moment before the dialog stores and closes.
        if (CGroupDlg* d = Instance()) QTimer::singleShot(100, d, [d] { d->OnOk(); });
      },
      [](int) {}, closeHost, plat::Rect{10, y, 98, y + 30}, "  閉じる", kReleasedBitmap,
      kPressedBitmap, 0);
  closeHost->SetId(0);
  CButtonPicture3::DrawAll();

  // The reading initial, the country and the popularity on the first line; the flags below in
  // four columns, spread over the room above the button.
  const int pitch = (y - 40) / 6;
  MakeLabel(this, "読みの頭文字")->setGeometry(10, 10, 80, 22);
  initial->setGeometry(92, 10, 40, 22);
  MakeLabel(this, "国・地域")->setGeometry(142, 10, 56, 22);
  PlaceControls({{1096, 200, 10, 330, 300}});
  MakeLabel(this, "", 1079)->setGeometry(340, 10, 70, 22);
  popularity->setGeometry(412, 10, 48, 22);
  // Each column is as wide as its longest caption needs, 150 at least.
  int lefts[5] = {10, 0, 0, 0, 0};
  for (int c = 0; c < 4; ++c) {
    int width = 150;
    for (int i = c; i < 16; i += 4) width = std::max(width, genre[i]->sizeHint().width() + 8);
    for (int i = c; i < 6; i += 4) width = std::max(width, remark[i]->sizeHint().width() + 8);
    lefts[c + 1] = lefts[c] + width;
  }
  for (int i = 0; i < 16; ++i) {
    const int c = i % 4;
    genre[i]->setGeometry(lefts[c], 40 + (i / 4) * pitch, lefts[c + 1] - lefts[c] - 2, 22);
  }
  for (int i = 0; i < 6; ++i) {
    const int c = i % 4;
    remark[i]->setGeometry(lefts[c], 40 + (4 + i / 4) * pitch, lefts[c + 1] - lefts[c] - 2, 22);
  }
  resize(lefts[4], y + 40);

  findChild<QLabel*>(QStringLiteral("1079"))->setText(plat::ToQString("知名度指数"));
  for (const CountryRow& row : CountryTable) countryList->addItem(plat::ToQString(row.name), row.code);
  // The boxes of these two remarks are not offered; their flags pass through as they are.
  findChild<QCheckBox*>(QStringLiteral("1105"))->hide();
  findChild<QCheckBox*>(QStringLiteral("1103"))->hide();
  if (!song_) return true;
  const SongInfoBlock& info = song_->info;
  initial->setText(dialog_text::FromField(info.Field(SongInfoBlock::kShortText), 2));
  countryList->setCurrentIndex(countryList->findData(static_cast<int>(info.bytes[SongInfoBlock::kListItem])));
  const uint16_t genres = info.GetU16(SongInfoBlock::kFlags1);
  for (int i = 0; i < 16; ++i) genre[i]->setChecked((genres >> GenreFlagTable[i].bit) & 1);
  const uint8_t remarks = info.bytes[SongInfoBlock::kFlags2];
  for (int i = 0; i < 6; ++i) remark[i]->setChecked((remarks >> RemarkFlagTable[i].bit) & 1);
  return true;
}

void CGroupDlg::OnOk() {
  if (!song_) {
    done(QDialog::Accepted);
    return;
  }
  std::string text;
  if (!dialog_text::ToCp932(initial->text(), &text)) {
    ReportUnstorable(this, "読みの頭文字");
    return;
  }
  // Two blanks, then at most two bytes of whole characters and their end.
  char buffer[3] = {' ', ' ', '\0'};
  const std::string head = dialog_text::CutAtCharacter(text, 2);
  std::memcpy(buffer, head.data(), head.size());
  buffer[head.size()] = '\0';
  SongInfoBlock& info = song_->info;
  std::memcpy(info.Field(SongInfoBlock::kShortText), buffer, 2);
  info.bytes[SongInfoBlock::kListItem] =
      countryList->currentIndex() >= 0 ? static_cast<uint8_t>(countryList->currentData().toInt()) : 255;
  uint16_t genres = 0;
  for (int i = 0; i < 16; ++i) {
    if (genre[i]->isChecked()) genres |= static_cast<uint16_t>(1u << GenreFlagTable[i].bit);
  }
  uint8_t remarks = 0;
  for (int i = 0; i < 6; ++i) {
    if (remark[i]->isChecked()) remarks |= static_cast<uint8_t>(1u << RemarkFlagTable[i].bit);
  }
  info.SetU16(SongInfoBlock::kFlags1, genres);
  info.bytes[SongInfoBlock::kFlags2] = remarks;
  done(QDialog::Accepted);
}

void CGroupDlg::accept() { OnOk(); }

void CGroupDlg::CopyPictures() { CButtonPicture3::BlitAll(); }

// --------------------------------------------------------------------------------- CExtraInfoDlg

namespace {

struct ExtraText {
  int id;
  const char* label;
};
// Texts 0-7 of the song in their order.
const ExtraText kExtraTexts[8] = {
    {1161, "管理コード"}, {1166, "動画コード"}, {1167, "商品コード"}, {1165, "ページ名"},
    {1162, "ヨミガナ"},   {1163, "アーティスト"}, {1164, "コメント"},
    {1168, "DL-MARKET オルゴール"},
};
constexpr int kCommentText = 6;
// A text keeps at most 2047 bytes and its end.
constexpr size_t kExtraTextBytes = kExtraTextSize - 1;

}  // namespace

const int CExtraInfoDlg::kEditIds[8] = {1161, 1166, 1167, 1165, 1162, 1163, 1164, 1168};

CExtraInfoDlg::CExtraInfoDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  for (int i = 0; i < 8; ++i) {
    if (i == kCommentText) {
      comment = MakeControl<QPlainTextEdit>(kExtraTexts[i].id);
    } else {
      edits[i] = MakeControl<QLineEdit>(kExtraTexts[i].id);
    }
  }
  closeHost = MakeControl<COffScreenControl>(1065);
}

CExtraInfoDlg::~CExtraInfoDlg() {
  buttons_.reset();
  if (g_extraDlg == this) g_extraDlg = nullptr;
}

CExtraInfoDlg* CExtraInfoDlg::Instance() { return g_extraDlg; }

void CExtraInfoDlg::ButtonPlace(int scale, int* x, int* y) {
  *x = scale == 100 ? 460 : scale <= 125 ? 520 : 550;
  if (scale == 100) {
    *y = 240;
  } else if (scale <= 125) {
    *y = 300;
  } else if (scale <= 150) {
    *y = 380;
  } else if (scale <= 175) {
    *y = 420;
  } else {
    *y = 500;
  }
}

bool CExtraInfoDlg::IsManagementCode(const std::string& code) {
  if (code.empty()) return true;
  if (code.size() == 10 && code[3] == '-' && code[8] == '-') return true;
  return code.compare(0, 8, "elicense") == 0 || code[0] == 'N';
}

bool CExtraInfoDlg::OnInitDialog() {
  g_extraDlg = this;
  setWindowTitle(plat::ToQString("拡張情報"));
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  int x = 0, y = 0;
  ButtonPlace(scale, &x, &y);
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int) {
        if (CExtraInfoDlg* d = Instance()) d->OnOk();
      },
      [](int) {}, closeHost, plat::Rect{x, y, x + 88, y + 30}, "　閉じる", kReleasedBitmap,
      kPressedBitmap, 0);
  closeHost->SetId(0);
  CButtonPicture3::DrawAll();

  // One-line texts down the left, the comment on the right, over the room above the button.
  const int pitch = (y - 10) / 7;
  int row = 0;
  for (int i = 0; i < 8; ++i) {
    if (i == kCommentText) continue;
    MakeLabel(this, kExtraTexts[i].label)->setGeometry(10, 10 + row * pitch, 140, 22);
    edits[i]->setGeometry(152, 10 + row * pitch, 190, 22);
    ++row;
  }
  MakeLabel(this, kExtraTexts[kCommentText].label)->setGeometry(352, 10, 120, 18);
  comment->setGeometry(352, 30, x + 88 - 352, y - 40);
  resize(x + 98, y + 40);
  if (!song_) return true;
  for (int i = 0; i < 8; ++i) {
    const QString text = dialog_text::FromCrLf(plat::ToQString(song_->ExtraText(i)));
    if (i == kCommentText) {
      comment->setPlainText(text);
    } else {
      edits[i]->setText(text);
    }
  }
  return true;
}

QString CExtraInfoDlg::Text(int i) const {
  return i == kCommentText ? comment->toPlainText() : edits[i]->text();
}

void CExtraInfoDlg::OnOk() {
  if (ClosePending()) return;
  if (!song_) {
    done(QDialog::Accepted);
    return;
  }
  std::string texts[8];
  for (int i = 0; i < 8; ++i) {
    std::string cp932;
    if (!dialog_text::ToCp932(Text(i), &cp932)) {
      ReportUnstorable(this, kExtraTexts[i].label);
      return;
    }
    texts[i] = dialog_text::CutAtCharacter(dialog_text::ToCrLf(cp932), kExtraTextBytes);
  }
  if (!IsManagementCode(texts[0])) ErrorMsg(1);
  for (int i = 0; i < 8; ++i) song_->SetExtraText(i, texts[i]);
  done(QDialog::Accepted);
}

void CExtraInfoDlg::accept() { OnOk(); }

void CExtraInfoDlg::ErrorMsg(int code) {
  ShowMessage(code == 1 ? "JASRACコードに異常があります。" : "CExtraInfoDlg::ErrorMsg");
}

void CExtraInfoDlg::CopyPictures() { CButtonPicture3::BlitAll(); }

// ------------------------------------------------------------------------------------- CRangeDlg

CRangeDlg::CRangeDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  keyboardHost = MakeControl<COffScreenControl>(1041);
  closeHost = MakeControl<COffScreenControl>(1065);
}

CRangeDlg::~CRangeDlg() {
  buttons_.reset();
  // The keyboard added to a shared picture goes again; one of its own goes with it.
  if (keyboard_ >= 0 && keyboards_ && !own_) CKeyboardPicture::RemoveKeyboard(keyboard_);
  own_.reset();
  if (g_rangeDlg == this) g_rangeDlg = nullptr;
}

CRangeDlg* CRangeDlg::Instance() { return g_rangeDlg; }

void CRangeDlg::SetSong(CKeyboardPicture* keyboards, CSongData* song) {
  keyboards_ = keyboards;
  song_ = song;
}

bool CRangeDlg::OnInitDialog() {
  g_rangeDlg = this;
  setWindowTitle(plat::ToQString("音域"));
  buttons_ = std::make_unique<CButtonPicture3>(
      [](int index) {
        if (CRangeDlg* d = Instance()) d->OnButton(index);
      },
      [](int) {}, closeHost, plat::Rect{120, 100, 208, 130}, "　閉じる", kReleasedBitmap,
      kPressedBitmap, 0);
  closeHost->SetId(0);
  CButtonPicture3::DrawAll();
  resize(320, 140);

  const int range[2] = {kLowest, kHighest};
  const plat::Rect rect{10, 10, 310, 80};
  if (keyboards_) {
    if (!keyboards_->AddKeyboard(keyboardHost, rect, range, [](int) {})) return true;
    keyboard_ = CKeyboardPicture::Count() - 1;
  } else {
    own_ = std::make_unique<CKeyboardPicture>(keyboardHost, rect, range, [](int) {});
    keyboards_ = own_.get();
    keyboard_ = CKeyboardPicture::Count() - 1;
  }
  keyboardHost->SetId(keyboard_);
  if (song_) {
    int used[128];
    song_->MarkUsedPitches(used);
    for (int note = kLowest; note <= kHighest; ++note) {
      if (used[note]) CKeyboardPicture::AddPressedKey(note, keyboard_);
    }
  }
  CKeyboardPicture::DrawKeyboard(keyboard_);
  return true;
}

void CRangeDlg::OnButton(int) { done(QDialog::Accepted); }

void CRangeDlg::CopyPictures() {
  CButtonPicture3::BlitAll();
  CKeyboardPicture::BlitAll();
}
