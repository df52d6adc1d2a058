#include "dialogs/lyric_panel.h"

#include "dialogs/lyric_list.h"
#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "draw/text_limits.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "util/gne_text.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

const char* const AttachMarkTable[19] = {"ー", "っ", "ゃ", "ゅ", "ょ", "ぁ", "ぃ", "ぅ", "ぇ", "ぉ",
                                         "ッ", "ャ", "ュ", "ョ", "ァ", "ィ", "ゥ", "ェ", "ォ"};

namespace {

CLyricInputDlg* g_inputInstance = nullptr;
CLyricDlg* g_viewInstance = nullptr;

size_t CharWidth(const std::string& text, size_t at) {
  return GneIsLeadByte(static_cast<uint8_t>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

bool IsFullWidthBlank(const std::string& text, size_t at) {
  return at + 1 < text.size() && static_cast<uint8_t>(text[at]) == 0x81 &&
         static_cast<uint8_t>(text[at + 1]) == 0x40;
}

bool IsBlankAt(const std::string& text, size_t at) {
  return at < text.size() && (text[at] == ' ' || IsFullWidthBlank(text, at));
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string WithoutCr(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

// A list row shows the entry's text on one line.
QString ListRowText(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line += c == '\n' ? ' ' : c;
  }
  return plat::ToQString(line);
}

}  // namespace

bool IsAttachMark(const char* character) {
  for (const char* mark : AttachMarkTable) {
    if (character[0] == mark[0] && character[0] != '\0' && character[1] == mark[1]) return true;
  }
  return false;
}

std::string SplitLyricSyllables(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t w = CharWidth(text, i);
    if (IsBlankAt(text, i)) {
      i += w;
      continue;
    }
    if (text[i] == '\r' || text[i] == '\n') {
      // A line break ends the syllable before it by itself.
      if (!out.empty() && out.back() == ' ') out.pop_back();
      out += text[i++];
      continue;
    }
    out.append(text, i, w);
    const size_t next = i + w;
    bool attach = false;
    if (next < text.size() && CharWidth(text, next) == 2 && IsAttachMark(text.c_str() + next)) {
      attach = !IsBlankAt(text, next + 2);
    }
    if (!attach) out += ' ';
    i = next;
  }
  return out;
}

void LimitTextBox(CDialogSkeleton* dialog, QPlainTextEdit* box, size_t maxBytes) {
  auto accepted = std::make_shared<QString>(box->toPlainText());
  QObject::connect(box, &QPlainTextEdit::textChanged, dialog, [dialog, box, maxBytes, accepted] {
    const QString now = box->toPlainText();
    if (WithCrLf(plat::FromQString(now)).size() <= maxBytes) {
      *accepted = now;
      return;
    }
    // The edit is taken back whole rather than cut somewhere the user did not choose.
    const int cursor = std::min(box->textCursor().position(), static_cast<int>(accepted->size()));
    {
      const QSignalBlocker block(box);
      box->setPlainText(*accepted);
    }
    QTextCursor c = box->textCursor();
    c.setPosition(cursor);
    box->setTextCursor(c);
    char text[96];
    std::snprintf(text, sizeof text, "入力できるのは%zuバイトまでです。", maxBytes);
    dialog->ShowMessage(text);
  });
}

// ---- lyric input panel --------------------------------------------------------------------------

CLyricInputDlg* CLyricInputDlg::Instance() { return g_inputInstance; }

CLyricInputDlg::CLyricInputDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("歌詞を流し込む"));
  textBox = MakeControl<QPlainTextEdit>(1146);
  list = MakeControl<QListWidget>(1152);
  struct Button {
    int id;
    const char* caption;
  };
  const Button kButtons[6] = {{1147, "分解"},         {1153, "流し込み"}, {1148, "リストに追加"},
                              {1151, "リストクリア"}, {1149, "保存"},     {1150, "読込"}};
  for (int i = 0; i < 6; ++i) {
    buttons[i] = MakeControl<QPushButton>(kButtons[i].id);
    buttons[i]->setText(plat::ToQString(kButtons[i].caption));
    buttons[i]->setAutoDefault(false);
  }
  const char* kCellCaptions[4] = {"末尾を分割して次のセルに順次送る", "末尾を分割して次のセルに結合",
                                  "次のセルの先頭を結合して順次前に送る",
                                  "次のセルの先頭を取り出して結合"};
  for (int i = 0; i < 4; ++i) {
    cellButtons[i] = MakeControl<QPushButton>(1154 + i);
    cellButtons[i]->setText(plat::ToQString(kCellCaptions[i]));
    cellButtons[i]->setAutoDefault(false);
    connect(cellButtons[i], &QPushButton::clicked, this, [this, i] { CellEdit(i); });
  }
  okButton = MakeControl<QPushButton>(1);
  okButton->setText("OK");
  okButton->setAutoDefault(false);
  connect(buttons[0], &QPushButton::clicked, this, [this] { SplitSyllables(); });
  connect(buttons[1], &QPushButton::clicked, this, [this] { PourLyric(); });
  connect(buttons[2], &QPushButton::clicked, this, [this] { AddToList(); });
  connect(buttons[3], &QPushButton::clicked, this, [this] { ClearList(); });
  connect(buttons[4], &QPushButton::clicked, this, [this] { SaveList(); });
  connect(buttons[5], &QPushButton::clicked, this, [this] { LoadList(); });
  connect(okButton, &QPushButton::clicked, this, [this] { accept(); });
  connect(list, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { TakeFromList(list->row(item)); });
  LimitTextBox(this, textBox, kTextBytes);
}

CLyricInputDlg::~CLyricInputDlg() {
  if (g_inputInstance == this) g_inputInstance = nullptr;
}

bool CLyricInputDlg::OnInitDialog() {
  g_inputInstance = this;
  PlaceControls({
      {1146, 10, 10, 330, 170},  {1147, 340, 10, 470, 36},   {1153, 340, 40, 470, 66},
      {1148, 340, 80, 470, 106}, {1151, 340, 110, 470, 136}, {1149, 340, 144, 403, 170},
      {1150, 407, 144, 470, 170}, {1154, 10, 178, 238, 204}, {1155, 242, 178, 470, 204},
      {1156, 10, 208, 238, 234}, {1157, 242, 208, 470, 234}, {1152, 10, 242, 470, 372},
      {1, 380, 380, 470, 406},
  });
  setFixedSize(480, 416);
  RefreshList();
  return true;
}

void CLyricInputDlg::CursorPlace(int* bar, int* eighth) const {
  int b = -1, e = -1;
  if (lyricOwner_) lyricOwner_->LyricCursor(&b, &e);
  *bar = b < 0 ? 0 : b;
  *eighth = e < 0 ? 0 : e;
}

void CLyricInputDlg::SplitSyllables() {
  const std::string split = SplitLyricSyllables(plat::FromQString(textBox->toPlainText()));
  if (split.size() > kTextBytes) {
    ShowMessage("分解すると1023バイトを超えるため、分解できません。");
    return;
  }
  textBox->setPlainText(plat::ToQString(split));
}

void CLyricInputDlg::PourLyric() {
  const std::string text = plat::FromQString(textBox->toPlainText());
  if (text.empty()) return;
  if (lyricOwner_) lyricOwner_->LyricText() = text.substr(0, Cp932FitLength(text, kTextBytes));
  int bar, eighth;
  CursorPlace(&bar, &eighth);
  LyricList& entries = ProgramLyricList();
  const int row = entries.Find(bar, eighth);
  if (row >= 0) {
    entries.SetText(row, text);
  } else if (entries.Add(text, bar, eighth)) {
    textBox->clear();
  } else {
    ShowMessage("歌詞リストがいっぱいです（256件まで）。リストに追加せずに流し込みます。");
  }
  PostToMain(kMsgPour, static_cast<uintptr_t>(bar), eighth);
  RefreshList();
}

void CLyricInputDlg::AddToList() {
  LyricList& entries = ProgramLyricList();
  if (entries.Full()) {
    ShowMessage("歌詞リストがいっぱいです（256件まで）。");
    return;
  }
  entries.Add(plat::FromQString(textBox->toPlainText()), -1, -1);
  RefreshList();
  textBox->clear();
  textBox->setFocus();
}

void CLyricInputDlg::ClearList() {
  ProgramLyricList().Clear();
  list->clear();
  textBox->clear();
}

void CLyricInputDlg::TakeFromList(int row) {
  LyricList& entries = ProgramLyricList();
  if (row < 0 || row >= entries.Count()) return;
  textBox->setPlainText(plat::ToQString(entries.At(row).text));
  entries.Remove(row);
  RefreshList();
  textBox->setFocus();
}

void CLyricInputDlg::LoadList() {
  std::string why;
  if (!ProgramLyricList().Load(plat::UserDataFolder(), &why)) ShowMessage(why);
  RefreshList();
}

void CLyricInputDlg::SaveList() {
  std::string why;
  if (!ProgramLyricList().Save(plat::UserDataFolder(), &why)) ShowMessage(why);
}

void CLyricInputDlg::RefreshList() {
  list->clear();
  const LyricList& entries = ProgramLyricList();
  for (int i = 0; i < entries.Count(); ++i) list->addItem(ListRowText(entries.At(i).text));
}

void CLyricInputDlg::CellEdit(int index) {
  if (index < 0 || index > 3) return;
  int bar, eighth;
  CursorPlace(&bar, &eighth);
  PostToMain(kMsgSplitAndPush + static_cast<uint32_t>(index), static_cast<uintptr_t>(bar), eighth);
  RefreshList();
}

void CLyricInputDlg::accept() {
  PourLyric();
  hide();
  setResult(QDialog::Accepted);
}

// ---- lyric view ---------------------------------------------------------------------------------

CLyricDlg* CLyricDlg::Instance() { return g_viewInstance; }

CLyricDlg::CLyricDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("歌詞"));
  lyricBox = MakeControl<QPlainTextEdit>(1034);
  buttonHosts[0] = MakeControl<COffScreenControl>(1065);
  buttonHosts[1] = MakeControl<COffScreenControl>(1066);
}

CLyricDlg::~CLyricDlg() {
  buttons_.reset();
  if (g_viewInstance == this) g_viewInstance = nullptr;
}

bool CLyricDlg::OnInitDialog() {
  g_viewInstance = this;
  if (song_) {
    lyricBox->setPlainText(
        plat::ToQString(WithoutCr(SlotText(song_->lyrics_area, kLyricsAreaSize))));
  }
  LimitTextBox(this, lyricBox, kTextBytes);
  auto press = [](int number) {
    if (CLyricDlg* d = Instance()) d->OnButton(number);
  };
  buttons_ = std::make_unique<CButtonPicture3>(press, [](int) {}, buttonHosts[0],
                                               plat::Rect{220, 380, 308, 410}, "　閉じる", 168,
                                               167, 0);
  buttons_->AddButton(buttonHosts[1], plat::Rect{10, 380, 98, 410}, "   抽　出", 168, 167, 1);
  CButtonPicture3::DrawAll();
  lyricBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  PlaceControls({{1034, 10, 10, 315, 374}});
  setFixedSize(325, 420);
  return true;
}

void CLyricDlg::CopyPictures() {
  if (buttons_) CButtonPicture3::BlitAll();
}

void CLyricDlg::OnButton(int index) {
  if (!song_) return;
  if (index == 0) {
    const std::string text = WithCrLf(plat::FromQString(lyricBox->toPlainText()));
    // The new text and its terminator replace the old text; the bytes behind both (the alias
    // and keyword behind a short text) stay.
    const size_t oldLength = SlotText(song_->lyrics_area, kLyricsAreaSize).size();
    const size_t length = Cp932FitLength(text, kTextBytes);
    std::memcpy(song_->lyrics_area, text.data(), length);
    const size_t clearEnd = std::min<size_t>(kLyricsAreaSize, std::max(oldLength, length) + 1);
    std::memset(song_->lyrics_area + length, 0, clearEnd - length);
    accept();
  } else if (index == 1) {
    song_->BuildLyricText();
    lyricBox->setPlainText(
        plat::ToQString(WithoutCr(SlotText(song_->lyrics_area, kLyricsAreaSize))));
  }
}
