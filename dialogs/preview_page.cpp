#include "dialogs/preview_page.h"

#include "arrange/ckv_algo.h"
#include "draw/button_picture.h"
#include "draw/main_dialog_helper.h"
#include "draw/offscreen_control.h"
#include "engine/engine_session.h"
#include "music/midi0_data.h"
#include "music/play_thread.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/web_browser.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/music_names.h"

#include <QComboBox>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace {

CTrialDlg* g_trialDlg = nullptr;

// The player's end, posted from the play thread (wparam: the play's generation).
constexpr uint32_t kMsgPreviewEnded = plat::WM_APP + 330;

constexpr int kBlinkMs = 500;
constexpr int kGmPrograms = 128;
constexpr int kStyleOff = 256;  // an instrument of 256 in a style record: the part is off
constexpr int kPlayerCapacity = 0x60000;
constexpr int kPlayEndWaitMs = 3000;
constexpr int kPreviewNoteLimit = 384;  // the longest preview note: a bar of 4/4
constexpr plat::ColorRef kCaptionColour = 0x004000;
const char kIdleCaption[] = "   試  聴";
const char kPlayingCaption[] = "   停  止";
const char kStopFirst[] = "再生を停止してください。";
const char kNoPreview[] = "JRCとイーライセンスの管理曲は試聴できません。";

// The place of a control at exactly 100 per cent (the template), as left, top, width.
struct TemplatePlace {
  int id, left, top, width;
};
constexpr int kComboTop100 = 668;
constexpr TemplatePlace kCombos100[] = {
    {CTrialDlg::kCategoryComboId, 120, kComboTop100, 140},
    {CTrialDlg::kStyleComboId, 270, kComboTop100, 160},
    {CTrialDlg::kSecondComboId, 440, kComboTop100, 115},
    {CTrialDlg::kMelodyComboId, 565, kComboTop100, 130},
};
constexpr int kBrowserLeft = 10, kBrowserTop = 10, kBrowserRight100 = 890, kBrowserBottom100 = 655;

// Places by the scale's band (below): the top of the combos and buttons, the combos' lefts, and
// k of the preview button's left 650 + 3k.
constexpr int kRowTops[] = {650, 640, 630, 625, 625};
constexpr int kStyleLefts[] = {270, 290, 310, 340, 330};
constexpr int kSecondLefts[] = {440, 480, 520, 580, 560};
constexpr int kMelodyLefts[] = {565, 625, 685, 775, 745};
constexpr int kPreviewShifts[] = {20, 40, 60, 90, 80};

// The scale's band: up to 125, 150, 175, 200 per cent, above.
int Band(int scale) {
  if (scale <= 125) return 0;
  if (scale <= 150) return 1;
  if (scale <= 175) return 2;
  if (scale <= 200) return 3;
  return 4;
}

// A stored row, or the first when the list has no such row.
int RowOrFirst(int row, int rows) { return row >= 0 && row < rows ? row : 0; }

}  // namespace

CTrialDlg::CTrialDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("購入/試聴"));
  categories_ = MakeControl<QComboBox>(kCategoryComboId);
  styles_ = MakeControl<QComboBox>(kStyleComboId);
  melody_ = MakeControl<QComboBox>(kMelodyComboId);
  second_ = MakeControl<QComboBox>(kSecondComboId);
}

CTrialDlg::~CTrialDlg() {
  CloseDown();
  if (g_trialDlg == this) g_trialDlg = nullptr;
}

CTrialDlg* CTrialDlg::Current() { return g_trialDlg; }

int CTrialDlg::PreviewBars(int tempo, int beatsPerBar, int songBars) {
  const int beats = std::max(1, beatsPerBar);
  const int bars = ((std::max(0, tempo) * kPreviewSeconds) / 60) / beats;
  return std::max(1, std::min(bars, songBars));
}

bool CTrialDlg::OnInitDialog() {
  g_trialDlg = this;
  playing_ = 0;
  previewSong_.reset();
  player_.reset();
  resize(windowWidth, windowHeight);

  if (song) {
    FillCombos();
  } else {
    for (QComboBox* c : {categories_, styles_, melody_, second_}) c->hide();
  }

  browser_ = plat::MakeWebBrowser(this);
  browser_->Widget()->setObjectName(QString::number(kBrowserId));
  browser_->Widget()->show();
  browser_->SetBeforeNavigate([this](const std::string& target) { OnBeforeNavigate(target); });
  setWindowTitle(plat::ToQString(pageAddress));
  // Only http and https pages open: the address comes from the server.
  browser_->Navigate(pageAddress);

  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  LayOut(scale);

  COffScreenControl* back = AddPictureHost(kBackHostId);
  COffScreenControl* preview = AddPictureHost(kPreviewHostId);
  const int band = Band(scale);
  const int top = scale == 100 ? 665 : kRowTops[band];
  const int shift = scale == 100 ? 150 : 3 * kPreviewShifts[band];
  buttons_ = std::make_unique<CButtonPicture4>(
      [](int code) {
        if (g_trialDlg) g_trialDlg->OnButton(code);
      },
      [](int) {}, back, Rect{10, top, 98, top + 30}, "   戻　る", 168, 167, 0);
  buttons_->AddButton(preview, Rect{650 + shift, top, 738 + shift, top + 30}, kIdleCaption, 168,
                      167, 1);
  CButtonPicture4::SetTextColor(kCaptionColour);
  CButtonPicture4::DrawAll();

  blinkTimer_ = new QTimer(this);
  connect(blinkTimer_, &QTimer::timeout, this, [this] { OnTimer(); });
  blinkTimer_->start(kBlinkMs);
  return true;
}

void CTrialDlg::FillCombos() {
  const SongInfoBlock& info = song->info;
  const int category =
      RowOrFirst(info.GetInt(SongInfoBlock::kStyleCategory), kStyleCategoryCount);
  {
    const QSignalBlocker block(categories_);
    CCantrelCommon::FillCategoryCombo(categories_, category);
  }
  {
    const QSignalBlocker block(styles_);
    CCantrelCommon::FillStyleCombo(styles_, categories_, nullptr);
    CCantrelCommon::SelectStyleInCombo(category, styles_, info.GetInt(SongInfoBlock::kStyleSlot));
  }
  for (int program = 0; program < kGmPrograms; ++program) {
    const QString name = plat::ToQString(InstrumentNameTable[program]);
    melody_->addItem(name);
    second_->addItem(name);
  }
  second_->addItem(plat::ToQString("なし"));
  melody_->setCurrentIndex(RowOrFirst(info.GetInt(SongInfoBlock::kMelodyProgram), kGmPrograms));
  const int solo = info.GetInt(SongInfoBlock::kSoloProgram);
  second_->setCurrentIndex(solo == kStyleOff ? kNoInstrumentRow
                                             : RowOrFirst(solo, kNoInstrumentRow + 1));
  connect(categories_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int) {
    CCantrelCommon::FillStyleCombo(styles_, categories_, nullptr);
    UpdateInstrumentCombos();
  });
  connect(styles_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int) { UpdateInstrumentCombos(); });
}

void CTrialDlg::UpdateInstrumentCombos() {
  const QVariant slot = styles_->currentData();
  if (!slot.isValid() || slot.toInt() == -1) return;
  const StyleRecord* record = FindStyleSlot(categories_->currentIndex(), slot.toInt());
  if (!record) return;
  melody_->setCurrentIndex(RowOrFirst(record->instrument[1], kGmPrograms));
  const int second = record->instrument[15];
  second_->setCurrentIndex(second == kStyleOff ? kNoInstrumentRow
                                               : RowOrFirst(second, kNoInstrumentRow + 1));
}

void CTrialDlg::LayOut(int scale) {
  if (scale == 100) {
    if (browser_) {
      browser_->Widget()->setGeometry(kBrowserLeft, kBrowserTop, kBrowserRight100 - kBrowserLeft,
                                      kBrowserBottom100 - kBrowserTop);
    }
    for (const TemplatePlace& p : kCombos100) {
      PlaceControls({{p.id, p.left, p.top, p.left + p.width, p.top + 200}});
    }
    return;
  }
  const int band = Band(scale);
  if (browser_) {
    const int extra = scale <= 125 ? 1 : 0;
    browser_->Widget()->setGeometry(kBrowserLeft, kBrowserTop,
                                    std::max(0, windowWidth - 60 + 20 * extra),
                                    std::max(0, windowHeight - 120 + 30 * extra));
  }
  const int top = kRowTops[band];
  for (const TemplatePlace& p : kCombos100) {
    int left = 120;
    if (p.id == kStyleComboId) left = kStyleLefts[band];
    if (p.id == kSecondComboId) left = kSecondLefts[band];
    if (p.id == kMelodyComboId) left = kMelodyLefts[band];
    PlaceControls({{p.id, left, top, left + p.width, top + 200}});
  }
}

void CTrialDlg::CopyPictures() {
  if (buttons_) CButtonPicture4::BlitAll();
}

void CTrialDlg::OnTimer() {
  blink_ = blink_ ? 0 : 1;
  CButtonPicture4::SetHighlight(1, blink_);
  CButtonPicture4::DrawButton(1);
  CButtonPicture4::BlitAll();
  update();
}

void CTrialDlg::OnButton(int code) {
  if (code == 0) {
    if (playing_) {
      ShowMessage(kStopFirst);
      return;
    }
    CloseAfterButton(QDialog::Accepted, 100);
  } else if (code == 1) {
    if (!song) {
      ShowMessage(kNoPreview);
      return;
    }
    TogglePreview();
  }
}

void CTrialDlg::SetPreviewCaption(const char* caption) {
  if (!buttons_) return;
  CButtonPicture4::SetCaption(1, caption);
}

void CTrialDlg::StopPlayer() {
  ++playGeneration_;  // the end of the stopped play no longer counts
  if (!player_) return;
  player_->StopPlay();
  WaitPlayThreadEnd(kPlayEndWaitMs);
}

void CTrialDlg::StopPreview() {
  StopPlayer();
  SetPreviewCaption(kIdleCaption);
  playing_ = 0;
}

void CTrialDlg::TogglePreview() {
  if (!song) return;
  if (browser_ && !plat::SameWebAddress(browser_->CurrentAddress(), pageAddress)) {
    browser_->Navigate(pageAddress);
  }
  if (playing_) {
    StopPreview();
    return;
  }
  playing_ = 1;
  SetPreviewCaption(kPlayingCaption);
  const int bars = PreviewBars(song->info.GetInt(SongInfoBlock::kTempo), song->beats_per_bar,
                               song->bar_count);
  previewSong_.reset();
  previewSong_ = CSongData::CopyFromBars(*song, 0, bars);
  ComposePreview();
}

void CTrialDlg::ComposePreview() {
  if (!previewSong_) return;
  // The preview is composed on the window's thread, which never waits for the engine: while
  // another thread composes there is no preview.
  const EngineSession engine(std::try_to_lock);
  if (!engine.owns()) return StopPreview();
  CSongData& preview = *previewSong_;
  // A style row without a slot of the table: the category's first style.
  const int category = RowOrFirst(categories_->currentIndex(), kStyleCategoryCount);
  int slot = styles_->currentData().isValid() ? styles_->currentData().toInt() : -1;
  if (!IsValidStyleSlot(category, slot) && styles_->count() > 0) slot = styles_->itemData(0).toInt();
  StyleRecord record = StyleTableSlot(category, slot);
  ApplyStyle(record);
  StyleRecord& style = CurrentStyle();
  style.metre = preview.beats_per_bar == 4 ? 0 : 1;
  CKVAlgo::ImportSongToEngine(preview, preview.bar_count, preview.beats_per_bar, kPreviewNoteLimit);
  CKVAlgo::PrepareSongRendering(RowOrFirst(melody_->currentIndex(), kGmPrograms),
                                preview.info.GetInt(SongInfoBlock::kTempo), -1, -1, 1, 0);
  CKVAlgo::EnableMelodyDouble();
  const KeySignature& key =
      KeySignatureTable[RowOrFirst(preview.key_index, kKeySignatureCount)];
  if (key.mode == 0) {
    SelectMajorTimingDatabases();
    style.key_mode = 1;
    style.key_offset = key.tonic;
  } else {
    SelectMinorTimingDatabases();
    style.key_mode = 2;
    style.key_offset = (key.tonic + 3) % 12;
  }
  if (style.scale != 7) style.scale = 1;
  style.mixer[15] = style.mixer[1];
  style.instrument[15] = RowOrFirst(second_->currentIndex(), kNoInstrumentRow + 1);

  const std::filesystem::path file = userDataFolder / kPreviewFileName;
  CKVAlgo::Compose(file, nullptr, nullptr, ComposeProgress());

  StopPlayer();
  player_ = std::make_unique<Midi0Data>(file, kPlayerCapacity);
  std::error_code ec;
  std::filesystem::remove(file, ec);
  QObject* self = this;
  const uintptr_t generation = playGeneration_;
  const int started = player_->PlayWithCallback(
      [self, generation] { plat::PostAppMessage(self, kMsgPreviewEnded, generation); },
      [](int, int, MidiEvent*) {}, 0, 0);
  if (started != 1) {
    // Nothing plays: the page does not wait for an end that never comes.
    ++playGeneration_;
    SetPreviewCaption(kIdleCaption);
    playing_ = 0;
  }
}

void CTrialDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  if (message != kMsgPreviewEnded || wparam != playGeneration_ || !playing_) return;
  SetPreviewCaption(kIdleCaption);
  playing_ = 0;
}

void CTrialDlg::OnBeforeNavigate(const std::string& target) {
  if (playing_ && !plat::SameWebAddress(target, pageAddress)) StopPreview();
}

void CTrialDlg::CloseDown() {
  if (closedDown_) return;
  closedDown_ = true;
  if (blinkTimer_) blinkTimer_->stop();
  // The player is stopped and its thread has ended before it goes.
  StopPlayer();
  playing_ = 0;
  player_.reset();
  previewSong_.reset();
  buttons_.reset();
}

void CTrialDlg::done(int result) {
  CloseDown();
  CDialogSkeleton::done(result);
}
