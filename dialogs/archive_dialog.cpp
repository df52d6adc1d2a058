#include "dialogs/archive_dialog.h"

#include "dialogs/dialog_text.h"
#include "dialogs/song_detail_dialogs.h"
#include "draw/button_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "util/gne.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

#include <cstdio>

namespace {

CArchiveDlg* g_archiveDlg = nullptr;
CSearchDlg* g_searchDlg = nullptr;

const char* const kCaption = "アーカイブ";
const char* const kNoCondition = "絞り込みなし";

struct SearchTypeRow {
  const char* name;
  const char* hint;
};
const SearchTypeRow kSearchTypes[5] = {
    {"タイトル・作曲者検索", "キーワードを入力してください。複合検索はできません。"},
    {"国別検索", "国を選択してください。"},
    {"フレーズ検索", "フレーズの開始小節と終了小節を指定してください。"},
    {"歌詞検索", "キーワードを入力してください。複合検索はできません。"},
    {"使用音検索", "音符を選択してください。"},
};

std::string Format(const char* format, const std::string& a, int n) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, a.c_str(), n);
  return buffer;
}

}  // namespace

// ------------------------------------------------------------------------------------ CSearchDlg

CSearchDlg::CSearchDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("検索"));
  typeList = MakeControl<QComboBox>(1141);
  keywordEdit = MakeControl<QLineEdit>(1088);
  countryList = MakeControl<QComboBox>(1096);
  firstSpin = MakeControl<QSpinBox>(1135);
  lastSpin = MakeControl<QSpinBox>(1027);
  similaritySpin = MakeControl<QSpinBox>(1029);
  similarityLabel = MakeControl<QLabel>(1149);
  hint = MakeControl<QLabel>(1144);
  keyboardHost = MakeControl<COffScreenControl>(1041);
  buttonHost = MakeControl<COffScreenControl>(1065);
}

CSearchDlg::~CSearchDlg() {
  // The dialog's keyboard is the last one added to the shared picture.
  if (keyboardNumber_ >= 0 && keyboard_ && CKeyboardPicture::Count() == keyboardNumber_ + 1) {
    CKeyboardPicture::RemoveKeyboard(keyboardNumber_);
  }
  ownKeyboard_.reset();
  button_.reset();
  if (g_searchDlg == this) g_searchDlg = nullptr;
}

CSearchDlg* CSearchDlg::Instance() { return g_searchDlg; }

bool CSearchDlg::OnInitDialog() {
  g_searchDlg = this;
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  typeList->setGeometry(10, 10, 200, 22);
  hint->setGeometry(10, 40, 300, 22);
  keywordEdit->setGeometry(10, 70, 290, 22);
  countryList->setGeometry(10, 70, 200, 22);
  firstSpin->setGeometry(10, 70, 60, 22);
  lastSpin->setGeometry(80, 70, 60, 22);
  similarityLabel->setGeometry(150, 70, 50, 22);
  similaritySpin->setGeometry(205, 70, 60, 22);
  for (int t = 0; t < 5; ++t) typeList->addItem(plat::ToQString(kSearchTypes[t].name));
  typeList->setCurrentIndex(type >= 0 && type < 5 ? type : 0);
  firstSpin->setRange(1, 257);
  lastSpin->setRange(1, 257);
  firstSpin->setValue(firstBar + 1);
  lastSpin->setValue(lastBar + 1);
  similaritySpin->setRange(0, 100);
  similaritySpin->setValue(static_cast<int>(threshold * 100 + 0.5));
  similarityLabel->setText(plat::ToQString("類似度"));
  for (const CountryRow& row : CountryTable) {
    countryList->addItem(plat::ToQString(row.name), row.code);
    if (row.code == country) countryList->setCurrentIndex(countryList->count() - 1);
  }
  UseDialogColours(similarityLabel);
  UseDialogColours(hint);

  const int y = scale == 100 ? 140 : scale < 176 ? 160 : 190;
  button_ = std::make_unique<CButtonPicture3>(
      [](int) {
        if (CSearchDlg* d = Instance()) d->OnOK();
      },
      [](int) {}, buttonHost, plat::Rect{110, y, 198, y + 30}, "　入 力", 168, 167, 0);
  CButtonPicture3::DrawAll();

  const int range[2] = {48, 84};
  const plat::Rect keys{10, 70, 300, 120};
  auto press = [](int note) {
    if (CSearchDlg* d = Instance()) d->OnKey(note);
  };
  if (keyboard_) {
    keyboardNumber_ = CKeyboardPicture::Count();
    if (!keyboard_->AddKeyboard(keyboardHost, keys, range, press)) keyboardNumber_ = -1;
  } else {
    ownKeyboard_ = std::make_unique<CKeyboardPicture>(keyboardHost, keys, range, press);
    keyboardNumber_ = 0;
  }
  resize(310, y + 40);
  connect(typeList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int index) { ShowTypeControls(index); });
  ShowTypeControls(typeList->currentIndex());
  return true;
}

void CSearchDlg::OnKey(int note) {
  if (keyboardNumber_ >= 0) CKeyboardPicture::AddPressedKey(note, keyboardNumber_);
}

void CSearchDlg::ErrorMsg() { GneMessageBox("CSearchDlg::ErrorMsg"); }

void CSearchDlg::ShowTypeControls(int t) {
  if (t < 0 || t >= 5) {
    ErrorMsg();
    return;
  }
  type = t;
  keywordEdit->setVisible(t == 0 || t == 3);
  countryList->setVisible(t == 1);
  for (QWidget* w : {static_cast<QWidget*>(firstSpin), static_cast<QWidget*>(lastSpin),
                     static_cast<QWidget*>(similaritySpin),
                     static_cast<QWidget*>(similarityLabel)}) {
    w->setVisible(t == 2);
  }
  keyboardHost->setVisible(t == 4);
  hint->setText(plat::ToQString(kSearchTypes[t].hint));
}

void CSearchDlg::OnOK() {
  if (ClosePending()) return;
  type = typeList->currentIndex();
  std::string text;
  if (!dialog_text::ToCp932(keywordEdit->text(), &text)) text.clear();
  // The keyword keeps room for its end and never ends inside a character.
  keyword = dialog_text::CutAtCharacter(text, archive::kKeywordSize - 1);
  const int first = firstSpin->value() - 1;
  const int last = lastSpin->value() - 1;
  // A reversed range, or one past the song's bars (it would compare as nothing alike), is
  // refused and the dialog stays.
  if (type == archive::kPhrase && (last < first || last >= songBars_)) {
    ++beepCount;
    QApplication::beep();
    return;
  }
  firstBar = first;
  lastBar = last;
  if (type == archive::kCountry || type == archive::kPhrase || type == archive::kNotes) {
    keyword = plat::FromQString(typeList->currentText());
  }
  threshold = similaritySpin->value() / 100.0;
  const QVariant code = countryList->currentData();
  country = code.isValid() ? code.toInt() : 0;
  notes.clear();
  if (keyboardNumber_ >= 0) {
    for (int n = 0; n < 128 && static_cast<int>(notes.size()) < archive::kMaxPressedNotes; ++n) {
      if (CKeyboardPicture::IsKeyPressed(n, keyboardNumber_)) notes.push_back(n);
    }
  }
  done(QDialog::Accepted);
}

void CSearchDlg::CopyPictures() {
  CButtonPicture3::BlitAll();
  if (keyboardNumber_ >= 0) CKeyboardPicture::Blit(keyboardNumber_);
}

// ----------------------------------------------------------------------------------- CArchiveDlg

CArchiveDlg::CArchiveDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString(kCaption));
  personalGroup = new QGroupBox(plat::ToQString("無料　ﾊﾟｰｿﾅﾙﾗｲﾌﾞﾗﾘ"), this);
  webGroup = new QGroupBox(plat::ToQString("有料　WEBﾗｲﾌﾞﾗﾘ（試聴は無料）"), this);
  personalList = MakeControl<QListWidget>(1062);
  webList = MakeControl<QListWidget>(1063);
  filterList = MakeControl<QComboBox>(1152);
  genreList = MakeControl<QComboBox>(1151);
  conditionLabel = MakeControl<QLabel>(1156);
  personalCount = MakeControl<QLabel>(1153);
  webCount = MakeControl<QLabel>(1154);
  for (int i = 0; i < 6; ++i) hosts[i] = MakeControl<COffScreenControl>(1065 + i);
}

CArchiveDlg::~CArchiveDlg() {
  StopWorkers();
  buttons_.reset();
  if (g_archiveDlg == this) g_archiveDlg = nullptr;
}

CArchiveDlg* CArchiveDlg::Instance() { return g_archiveDlg; }

void CArchiveDlg::SetFolders(const std::filesystem::path& base,
                             const std::filesystem::path& userData) {
  folder_ = archive::ArchiveFolder(base);
  userData_ = userData;
}

void CArchiveDlg::StopWorkers() {
  worker_.Stop();
  if (web_) web_->Close();
}

bool CArchiveDlg::OnInitDialog() {
  g_archiveDlg = this;
  setWindowTitle(plat::ToQString(kCaption));
  std::error_code ec;
  if (!folder_.empty()) std::filesystem::create_directories(folder_, ec);

  const int s = Owner() ? Owner()->DisplayScale() : 100;
  const bool at100 = s == 100;
  int x0 = at100 ? 0 : 20;
  if (s > 125 && s <= 150) x0 = 110;
  if (s > 150 && s <= 175) x0 = 160;
  if (s > 175) x0 = 240;
  const int y0 = at100 ? 400 : s <= 125 ? 500 : s <= 150 ? 600 : s <= 175 ? 720 : 820;
  const int y1 = at100 ? 443 : s <= 125 ? 563 : s <= 150 ? 663 : s <= 175 ? 783 : 883;
  struct Place {
    int left100, leftOther, top;
    const char* caption;
  };
  const Place places[6] = {
      {205, 235, y0, "   読 込"},
      {510, x0 + 550, y1, "   取 消"},
      {15, 25, y0, "   検 索"},
      {110, 130, y0, at100 ? "リセット" : "   ﾘｾｯﾄ"},
      {320, x0 + 340, y0, " 試聴頁"},
      {415, x0 + 455, y0, "   検 索"},
  };
  auto rect = [&](int i) {
    const int left = at100 ? places[i].left100 : places[i].leftOther;
    return plat::Rect{left, places[i].top, left + 88, places[i].top + 30};
  };
  buttons_ = std::make_unique<CButtonPicture2>(
      [](int code) {
        if (CArchiveDlg* d = Instance()) d->OnButton(code);
      },
      [](int) {}, hosts[0], rect(0), places[0].caption, 168, 167, 0);
  for (int i = 1; i < 6; ++i) buttons_->AddButton(hosts[i], rect(i), places[i].caption, 168, 167, i);
  for (int i = 0; i < 6; ++i) hosts[i]->SetId(i);

  // The two halves side by side above the buttons.
  const int half = (at100 ? 300 : x0 + 310);
  const int listBottom = y0 - 10;
  personalGroup->setGeometry(5, 2, half - 5, listBottom + 5);
  webGroup->setGeometry(half + 5, 2, half - 5, listBottom + 5);
  filterList->setGeometry(15, 22, 180, 22);
  personalCount->setGeometry(200, 22, half - 205, 22);
  conditionLabel->setGeometry(15, 48, half - 25, 20);
  personalList->setGeometry(15, 70, half - 25, listBottom - 75);
  genreList->setGeometry(half + 15, 22, 180, 22);
  webCount->setGeometry(half + 200, 22, half - 205, 22);
  webList->setGeometry(half + 15, 70, half - 25, listBottom - 75);
  UseDialogColours(conditionLabel);
  UseDialogColours(personalCount);
  UseDialogColours(webCount);
  resize(std::max(2 * half + 10, rect(1).right + 10), y1 + 40);

  for (const archive::PopularityRow& row : archive::kPopularityFilter) {
    filterList->addItem(plat::ToQString(row.name));
  }
  const int stored = config_ ? config_->archiveFilter : 0;
  filterList->setCurrentIndex(stored >= 0 && stored < 4 ? stored : 0);
  connect(filterList, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int row) {
    if (row < 0) return;
    if (config_) config_->archiveFilter = static_cast<int8_t>(row);
    ResetList();
  });
  connect(personalList, &QListWidget::itemDoubleClicked, this, [this] { OnOK(); });

  CButtonPicture2::DrawAll();
  if (web_) web_->Prepare(this);
  ShowCondition("");
  ListAll();
  return true;
}

void CArchiveDlg::CopyPictures() { CButtonPicture2::BlitAll(); }

void CArchiveDlg::EnablePersonal(bool enable) {
  for (int i = 0; i < 4; ++i) CButtonPicture2::EnableButton(i, enable);
  personalList->setEnabled(enable);
  CButtonPicture2::BlitRange(0, 3);
}

void CArchiveDlg::OnButton(int code) {
  if (ClosePending()) return;
  switch (code) {
    case 0: OnOK(); break;
    case 1: OnCancel(); break;
    case 2: RunSearch(); break;
    case 3: ResetList(); break;
    case 4: if (web_) web_->OpenPreviewPage(); break;
    case 5: if (web_) web_->RunWebSearch(); break;
    default: break;
  }
}

std::string CArchiveDlg::ErrorText(int code) {
  switch (code) {
    case 1: return "曲が選択されていません。";
    case 2: return "アーカイブに登録されている曲数が最大に達しています。";
    case 3: return "検索語が指定されていませんでした。";
    case 4: return "インターネット接続中は操作できません。";
    case 5: return "検索結果の曲数が多すぎます。";
    default: return "ArchiveDlg ErrorMsg";
  }
}

void CArchiveDlg::ErrorMsg(int code) { ShowMessage(ErrorText(code)); }

void CArchiveDlg::OnOK() {
  if (web_ && web_->FirstFetchRunning()) {
    ErrorMsg(4);
    return;
  }
  const int row = personalList->currentRow();
  if (scanning_ || row < 0 || row >= static_cast<int>(entries_.size()) ||
      !personalList->currentItem() || !personalList->currentItem()->isSelected()) {
    chosenFile_.clear();
    ErrorMsg(1);
    return;
  }
  chosenFile_ = entries_[static_cast<size_t>(row)].file;
  chosenTransposition_ = entries_[static_cast<size_t>(row)].item;
  done(QDialog::Accepted);
}

void CArchiveDlg::OnCancel() {
  if (web_ && web_->FirstFetchRunning()) {
    ErrorMsg(4);
    return;
  }
  chosenFile_.clear();
  done(QDialog::Rejected);
}

void CArchiveDlg::done(int result) {
  // No scan outlives the dialog, however it closes.
  StopWorkers();
  scanning_ = false;
  CModalDialog::done(result);
}

void CArchiveDlg::ClearList() {
  personalList->clear();
  entries_.clear();
}

void CArchiveDlg::ResetList() {
  ClearList();
  ShowCondition("");
  ListAll();
}

void CArchiveDlg::ListAll() {
  archive::Request request;
  request.type = archive::kListAll;
  StartScan(std::move(request), "");
}

void CArchiveDlg::RunSearch() {
  CSearchDlg search(this);
  search.SetOwner(Owner());
  search.SetKeyboardPicture(keyboard_);
  search.SetSongBars(song_ ? song_->bar_count : 257);
  const int result = searchRunner_ ? searchRunner_(search) : search.exec();
  if (result != QDialog::Accepted) return;

  archive::Request request;
  request.type = search.type;
  request.keyword = search.keyword;
  if (search.type == archive::kTitle && search.keyword.empty()) {
    ResetList();
    return;
  }
  if (search.type == archive::kLyric && search.keyword.empty()) {
    ErrorMsg(3);
    return;
  }
  request.country = search.country;
  request.firstBar = search.firstBar;
  request.lastBar = search.lastBar;
  request.threshold = search.threshold;
  request.notes = search.notes;
  if (search.type == archive::kPhrase && song_) {
    // The worker compares with its own copy of the open song.
    auto copy = std::make_shared<CSongData>();
    const std::vector<uint8_t> image = song_->SerializeToVector();
    copy->ReadFileBytes(image.data(), image.size(), nullptr, nullptr, nullptr, nullptr);
    request.current = std::move(copy);
  }
  StartScan(std::move(request), search.keyword);
}

void CArchiveDlg::StartScan(archive::Request request, const std::string& condition) {
  worker_.Stop();
  ClearList();
  request.filterRow = config_ ? config_->archiveFilter : 0;
  condition_ = condition;
  scanning_ = true;
  const unsigned generation = ++generation_;
  scanCount_.store(0);
  countPosted_.store(false);
  EnablePersonal(false);
  // The worker never outlives the dialog (it is joined first), so it may post to it.
  worker_.Start(
      folder_, std::move(request),
      [this, generation](int count) {
        scanCount_.store(count);
        if (!countPosted_.exchange(true)) plat::PostAppMessage(this, kMsgScanCount, generation);
      },
      [this, generation](archive::Outcome outcome) {
        {
          std::lock_guard<std::mutex> lock(outcomeMutex_);
          outcome_ = std::make_unique<archive::Outcome>(std::move(outcome));
          outcomeGeneration_ = generation;
        }
        plat::PostAppMessage(this, kMsgScanDone, generation);
      });
}

void CArchiveDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  if (wparam != generation_ || !scanning_) return;
  if (message == kMsgScanCount) {
    countPosted_.store(false);
    setWindowTitle(plat::ToQString(Format("%s %d", kCaption, scanCount_.load())));
  } else if (message == kMsgScanDone) {
    FinishScan();
  }
}

void CArchiveDlg::FinishScan() {
  std::unique_ptr<archive::Outcome> outcome;
  {
    std::lock_guard<std::mutex> lock(outcomeMutex_);
    if (outcomeGeneration_ != generation_) return;
    outcome = std::move(outcome_);
  }
  worker_.Stop();  // the thread has ended its work: join it
  scanning_ = false;
  if (!outcome) return;
  entries_ = std::move(outcome->entries);
  denominator_ = outcome->denominator;
  personalList->setUpdatesEnabled(false);
  for (const archive::Entry& e : entries_) personalList->addItem(plat::ToQString(e.text));
  personalList->setUpdatesEnabled(true);
  setWindowTitle(plat::ToQString(kCaption));
  if (outcome->error >= 0) ErrorMsg(outcome->error);
  // Files that could not be read give one message for the whole scan.
  if (outcome->unreadable > 0 && !outcome->firstComplaint.empty()) {
    ShowMessage(outcome->firstComplaint);
  }
  ShowPersonalCount();
  ShowCondition(condition_);
  EnablePersonal(true);
}

void CArchiveDlg::ShowCondition(const std::string& condition) {
  const int row = config_ ? config_->archiveFilter : 0;
  const std::string text = " " + std::string(archive::FilterRow(row).name) + " / " +
                           (condition.empty() ? std::string(kNoCondition) : condition);
  conditionLabel->setText(plat::ToQString(text));
}

void CArchiveDlg::ShowPersonalCount() {
  char text[64];
  std::snprintf(text, sizeof text, " %d / %d", static_cast<int>(entries_.size()), denominator_);
  personalCount->setText(plat::ToQString(text));
  const int row = config_ ? config_->archiveFilter : 0;
  if (entries_.empty() && row > 0 && row < 4) {
    ShowMessage("「" + std::string(archive::FilterRow(row).name) +
                "」の条件を「全て表示」等の条件に緩めて再度検索してください。");
  }
}
