#include "dialogs/import_tool_dialog.h"

#include "draw/button_picture.h"
#include "draw/knob_picture.h"
#include "draw/offscreen_control.h"
#include "draw/orvanta_common.h"
#include "draw/staff_picture.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "music/midi_out_device.h"
#include "music/midi_player.h"
#include "music/play_thread.h"
#include "platform/qt/app_message.h"
#include "platform/qt/keyboard_hook.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/ui_timer.h"
#include "song/song_data.h"
#include "util/gne_files.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <vector>

Midi1Data* ImportToolSong = nullptr;

namespace {

CImportToolDlg* g_importTool = nullptr;

constexpr int kPreviewButton = 24;
const char* const kPlayCaption = "    PLAY";
const char* const kStopCaption = "    STOP";

constexpr int kTrackCapacity = COrvantaCommon::kTrackCapacity;

// A new tool song: 17 empty tracks in note mode, each with its End of Track.
Midi1Data* NewToolSong() {
  auto* song = new Midi1Data(CImportToolDlg::kDivision, 0x60000);
  for (int t = 0; t < COrvantaCommon::kSlotCount; ++t) {
    auto* track = new Midi1Track(kTrackNotes, kTrackCapacity);
    track->AddEndOfTrack();
    song->AddTrack(track);
  }
  song->state = kSongNotes;
  return song;
}

// Deletes the notes of a note-mode track that start within [from, to].
void ClearNotesBetween(MidiTrack* track, int64_t from, int64_t to) {
  const std::vector<int64_t> ticks = track->EventTicks();
  for (int32_t i = track->event_count - 1; i >= 0; --i) {
    const MidiEvent* e = track->Event(i);
    if (e == nullptr || e->status != kStatusNote) continue;
    if (ticks[static_cast<size_t>(i)] >= from && ticks[static_cast<size_t>(i)] <= to) {
      track->DeleteEvent(i);
    }
  }
}

}  // namespace

CImportToolDlg::CImportToolDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("インポートツール"));
  for (int k = 0; k < kRowCount; ++k) rowHosts[k] = AddPictureHost(1077 + k);
  headerHost = AddPictureHost(1081);
  knobHost = AddPictureHost(1027);
  for (int b = 0; b < 3; ++b) buttonHosts[b] = AddPictureHost(1074 + b);
  channelList = MakeControl<QComboBox>(1082);
  scrollBar = MakeControl<QScrollBar>(1083);
  scrollBar->setOrientation(Qt::Horizontal);
  timers_ = new plat::UiTimers(this);
}

CImportToolDlg::~CImportToolDlg() {
  closing_ = true;
  WaitForParse();
  StopPreview();
  delete ImportToolSong;
  ImportToolSong = nullptr;
  if (g_importTool == this) g_importTool = nullptr;
}

CImportToolDlg* CImportToolDlg::Instance() { return g_importTool; }

void CImportToolDlg::SetLinks(ConfigData* config, std::atomic<int>* isPlaying,
                              MidiOutDevice** auditionDevice, CRhythmStaffPicture** scorePicture) {
  config_ = config;
  isPlaying_ = isPlaying;
  auditionDevice_ = auditionDevice;
  scorePicture_ = scorePicture;
}

bool CImportToolDlg::OnInitDialog() {
  g_importTool = this;
  for (int c = 1; c <= 16; ++c) {
    char text[16];
    std::snprintf(text, sizeof text, "Channel %d", c);
    channelList->addItem(QString::fromLatin1(text));
  }
  channelList->setCurrentIndex(0);
  firstBar_ = 0;
  channel_ = 0;
  beats_ = 4;
  knobPosition_ = 0;
  for (int k = 0; k < kRowCount; ++k) rowHosts[k]->setGeometry(106 + 224 * k, 5, 224, 96);
  headerHost->setGeometry(10, 5, 96, 96);
  const bool at100 = AtScale100();
  knobHost->setGeometry(10, at100 ? 110 : 140, 36, 36);
  resize(1019, at100 ? 182 : 220);
  setFixedSize(size());
  scrollBar->setGeometry(at100 ? 400 : 370, at100 ? 116 : 140, 480, 18);
  PlaceControls({{1082, at100 ? 280 : 250, at100 ? 116 : 142, (at100 ? 280 : 250) + 110, 400}});
  scrollBar->setRange(0, 0);

  connect(channelList, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { OnChannelChanged(); });
  // Each action is worked out here from the tool's own position; the thumb counts when it is
  // let go.
  scrollBar->setTracking(false);
  connect(scrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) {
    int code = -1;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: code = kLineLeft; break;
      case QAbstractSlider::SliderSingleStepAdd: code = kLineRight; break;
      case QAbstractSlider::SliderPageStepSub: code = kPageLeft; break;
      case QAbstractSlider::SliderPageStepAdd: code = kPageRight; break;
      case QAbstractSlider::SliderToMinimum: code = kFarLeft; break;
      case QAbstractSlider::SliderToMaximum: code = kFarRight; break;
      default: return;
    }
    OnScroll(code, 0);
    scrollBar->setSliderPosition(firstBar_);
  });
  connect(scrollBar, &QAbstractSlider::sliderReleased, this,
          [this] { OnScroll(kThumbPosition, scrollBar->sliderPosition()); });
  return true;
}

// ------------------------------------------------------------------------------------ reading

void CImportToolDlg::OpenSmfWithDialog() {
  path_.clear();
  std::filesystem::path chosen;
  int picked;
  {
    const KeyboardHookPause pause(Owner() && Owner()->InputMode() == 0);
    picked = GneOpenFileDialog("mid", "SMF files|*.mid|", &chosen);
  }
  if (picked != 1) return;
  path_ = chosen;
  setWindowTitle(QString::fromStdString(chosen.string()));
  StartParse(chosen);
}

bool CImportToolDlg::StartParse(const std::filesystem::path& path) {
  if (parsing_.load()) return false;
  // The worker of the last parse has ended (its result came); its thread is let go here.
  if (worker_.joinable()) worker_.join();
  firstBar_ = 0;
  channel_ = 0;
  channelList->setCurrentIndex(0);
  parsing_ = true;
  setEnabled(false);
  timers_->SetTimer(kParseTimer, kParseTimerMs, [this](int) { OnParseTimer(); });
  {
    std::lock_guard<std::mutex> lock(parseMutex_);
    workerDone_ = false;
    parsed_.reset();
  }
  const uintptr_t generation = ++parseGeneration_;
  worker_ = std::thread([this, path, generation] { ParseThread(path, generation); });
  return true;
}

void CImportToolDlg::ParseThread(const std::filesystem::path& path, uintptr_t generation) {
  Midi1Data* song = nullptr;
  const int loaded = COrvantaCommon::LoadSmf(path.string(), &song, 0);
  {
    std::lock_guard<std::mutex> lock(parseMutex_);
    if (loaded == 1) parsed_.reset(song);
    workerDone_ = true;
  }
  parseEnded_.notify_all();
  // The UI thread takes the song; the worker touches no window.
  plat::PostAppMessage(this, kMsgParsed, generation);
}

void CImportToolDlg::WaitForParse() {
  if (!worker_.joinable()) return;
  std::unique_lock<std::mutex> lock(parseMutex_);
  while (!workerDone_) {
    // A box the worker raises is shown by this thread: it is served while waiting.
    parseEnded_.wait_for(lock, std::chrono::milliseconds(20));
    if (workerDone_) break;
    lock.unlock();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    lock.lock();
  }
  lock.unlock();
  worker_.join();
  if (parsing_.load()) {
    // Whatever the worker read is dropped.
    ++parseGeneration_;
    FinishParse();
  }
}

void CImportToolDlg::FinishParse() {
  timers_->KillTimer(kParseTimer);
  parsing_ = false;
  std::lock_guard<std::mutex> lock(parseMutex_);
  parsed_.reset();
}

void CImportToolDlg::OnParseDone(uintptr_t generation) {
  if (closing_ || !parsing_.load()) return;
  if (worker_.joinable()) worker_.join();
  std::unique_ptr<Midi1Data> song;
  {
    std::lock_guard<std::mutex> lock(parseMutex_);
    song = std::move(parsed_);
  }
  timers_->KillTimer(kParseTimer);
  parsing_ = false;
  setEnabled(true);
  // A clear while the file was read leaves the tool empty; a file that was no Standard MIDI
  // File leaves the tool as it was.
  if (generation != parseGeneration_ || !song) return;
  delete ImportToolSong;
  ImportToolSong = song.release();
  ShowRows();
  UpdateScrollRange();
}

void CImportToolDlg::OnParseTimer() {
  CKnobPicture::SetValue(knobPosition_, kKnob);
  CKnobPicture::DrawKnob(kKnob);
  CKnobPicture::BlitAll();
  knobPosition_ += 4;
}

void CImportToolDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  if (message == kMsgParsed) {
    OnParseDone(wparam);
  } else if (message == kMsgPreviewEnd) {
    if (preview_ && wparam == previewGeneration_) OnPreviewEnd();
  }
}

// ------------------------------------------------------------------------------------ showing

void CImportToolDlg::CopyRows() {
  CRhythmStaffPicture* picture = Picture();
  if (!picture || firstRow_ < 0) return;
  picture->BlitRange(firstRow_, std::min(firstRow_ + kRowCount, picture->RowCount() - 1));
}

void CImportToolDlg::ShowRows() {
  CRhythmStaffPicture* picture = Picture();
  if (!picture || firstRow_ < 0 || firstRow_ + kRowCount > picture->RowCount()) return;
  COrvantaCommon::ShowTracksOnStaff(1, kRowCount, picture, firstRow_, ImportToolSong, firstBar_,
                                    channel_, beats_);
  CopyRows();
}

int CImportToolDlg::ChannelTrack(bool allowUnused) const {
  if (!ImportToolSong || channel_ < 0 || channel_ > 15) return -1;
  for (int t = 1; t <= 16; ++t) {
    const MidiTrack* track = ImportToolSong->Track(t);
    if (track && track->GetChannel() == channel_) return t;
  }
  if (!allowUnused) return -1;
  // The channel's own place when nothing there has a channel yet.
  const MidiTrack* own = ImportToolSong->Track(channel_ + 1);
  return own && own->GetChannel() == kNoChannel ? channel_ + 1 : -1;
}

int CImportToolDlg::ScrollLimit() const {
  if (!ImportToolSong) return 0;
  const int t = ChannelTrack(false);
  if (t < 0) return 1;
  const int64_t length = ImportToolSong->Track(t)->GetLength();
  const int64_t bar = int64_t{beats_} * ImportToolSong->division;
  if (bar <= 0) return 1;
  const int64_t limit = (length + bar - 1) / bar - 3;
  return static_cast<int>(std::clamp<int64_t>(limit, 1, INT32_MAX));
}

void CImportToolDlg::UpdateScrollRange() {
  const QSignalBlocker block(scrollBar);
  scrollBar->setRange(0, ScrollLimit());
  scrollBar->setValue(firstBar_);
}

void CImportToolDlg::OnScroll(int code, int thumb) {
  // The range was set when the song, the channel or the metre last changed.
  const int limit = scrollBar->maximum();
  int bar = firstBar_;
  switch (code) {
    case kLineLeft: bar -= 1; break;
    case kLineRight: bar += 1; break;
    case kPageLeft: bar -= 2; break;
    case kPageRight: bar += 2; break;
    case kThumbPosition: bar = thumb; break;
    case kFarLeft: bar = 0; break;
    case kFarRight: bar = limit; break;
    default: return;
  }
  firstBar_ = std::clamp(bar, 0, limit);
  {
    const QSignalBlocker block(scrollBar);
    scrollBar->setValue(firstBar_);
  }
  ShowRows();
}

void CImportToolDlg::OnChannelChanged() {
  channel_ = std::clamp(channelList->currentIndex(), 0, 15);
  // A shorter channel is shown from a bar it has.
  firstBar_ = std::min(firstBar_, ScrollLimit());
  ShowRows();
  UpdateScrollRange();
}

void CImportToolDlg::SetBeatsPerBar(int beats) {
  if (beats <= 0) return;
  beats_ = beats;
  CRhythmStaffPicture* picture = Picture();
  if (picture && firstRow_ >= 0 && firstRow_ + kRowCount < picture->RowCount()) {
    picture->SetTimeSignature(firstRow_ + kRowCount, beats);
    picture->Blit(firstRow_ + kRowCount);
  }
  if (ImportToolSong) {
    firstBar_ = std::min(firstBar_, ScrollLimit());
    ShowRows();
    UpdateScrollRange();
  }
}

void CImportToolDlg::ClearImport() {
  firstBar_ = 0;
  // A file still being read is dropped when it arrives.
  ++parseGeneration_;
  StopPreview();
  delete ImportToolSong;
  ImportToolSong = nullptr;
  CRhythmStaffPicture* picture = Picture();
  if (picture && firstRow_ >= 0 && firstRow_ + kRowCount <= picture->RowCount()) {
    COrvantaCommon::ClearStaffRows(1, kRowCount, picture, firstRow_);
    for (int k = 0; k < kRowCount; ++k) picture->ClearLabels(firstRow_ + k);
    picture->FlushAll();
    CopyRows();
  }
  UpdateScrollRange();
}

// ------------------------------------------------------------------------------------ writing

bool CImportToolDlg::WriteBarsToChannel(int row, int songBar, const CSongData* song) {
  if (!song || row < 0 || row >= kRowCount || songBar < 0 || songBar >= song->bar_count) {
    return false;
  }
  if (!ImportToolSong) ImportToolSong = NewToolSong();
  const int t = ChannelTrack(true);
  if (t < 0) return false;
  MidiTrack* track = ImportToolSong->Track(t);
  const int64_t bar = int64_t{beats_} * kDivision;
  const int64_t target = firstBar_ + row;
  const int64_t start = bar * target;
  ClearNotesBetween(track, start, start + bar - 1);

  // The bar's slots in order: an eighth whose third slot is vacant has two slots of a
  // sixteenth, otherwise three of a triplet eighth.
  struct Pending {
    int64_t tick = -1;
    int value = NoteSlotHold;
  } pending;
  auto end = [&](int64_t at) {
    if (pending.tick >= 0 && pending.value >= 0 && pending.value <= 127) {
      const int length = static_cast<int>(at - pending.tick);
      track->AddNoteAtTime(channel_, static_cast<int32_t>(start + pending.tick), pending.value,
                           127, static_cast<int>(length * 0.8));
    }
  };
  int64_t at = 0;
  const int eighths = song->beats_per_bar * 2;
  for (int e = 0; e < eighths; ++e) {
    NoteCell cell{};
    if (!song->GetCell(songBar, e, &cell)) break;
    const bool pair = cell.slot[2] == NoteSlotVacant;
    const int slotCount = pair ? 2 : 3;
    const int step = pair ? kDivision / 4 : kDivision / 6;
    for (int s = 0; s < slotCount; ++s) {
      if (cell.slot[s] != NoteSlotHold) {
        end(at);
        pending.tick = at;
        pending.value = cell.slot[s];
      }
      at += step;
    }
  }
  end(at);
  ShowRows();
  UpdateScrollRange();
  return true;
}

// ------------------------------------------------------------------------------------ preview

std::unique_ptr<Midi0Data> CImportToolDlg::MakePreviewSong() const {
  if (!ImportToolSong) return nullptr;
  Midi1Data copy(*ImportToolSong, std::max<int32_t>(0x60000, ImportToolSong->capacity));
  const int32_t bar = beats_ * ImportToolSong->division;
  const int32_t ranges[2] = {firstBar_ * bar, (firstBar_ + kRowCount) * bar};
  copy.KeepRanges(ranges, 1);
  copy.KeepOnlyChannel(channel_);
  auto preview = std::make_unique<Midi0Data>(kSongNotes, copy.division, 0x60000);
  copy.MergeToFormat0(*preview);
  if (preview->track) preview->track->MoveSysExFirst();
  return preview;
}

void CImportToolDlg::StopPreview() {
  if (!preview_) return;
  ++previewGeneration_;  // the end of the stopped preview changes nothing any more
  preview_->StopPlay();
  preview_.reset();
  if (isPlaying_) *isPlaying_ = 0;
  CButtonPicture::SetCaption(kPreviewButton, kPlayCaption);
  CopyRows();
}

void CImportToolDlg::TogglePreview() {
  if (!ImportToolSong) return;
  if (isPlaying_ && isPlaying_->load() == 1) {
    // The main window plays its own song: the tool leaves it alone.
    if (!preview_) return;
    StopPreview();
    return;
  }
  if (isPlaying_) *isPlaying_ = 1;
  if (auditionDevice_ && *auditionDevice_) {
    (*auditionDevice_)->Close();
    delete *auditionDevice_;
    *auditionDevice_ = nullptr;
  }
  preview_ = MakePreviewSong();
  CButtonPicture::SetCaption(kPreviewButton, kStopCaption);
  if (config_) PlayerSettings().reporting_device_id = config_->midiOutDevice;
  QPointer<CImportToolDlg> self(this);
  const uintptr_t generation = ++previewGeneration_;
  const int started = preview_->PlayWithCallback(
      [self, generation] {
        // The player's thread tells the panel, which acts on its own thread.
        if (self) plat::PostAppMessage(self.data(), kMsgPreviewEnd, generation);
      },
      nullptr, 1, 0);
  if (started != 1) StopPreview();
}

void CImportToolDlg::OnPreviewEnd() {
  if (isPlaying_) *isPlaying_ = 0;
  preview_.reset();
  CButtonPicture::SetCaption(kPreviewButton, kPlayCaption);
  CopyRows();
}

void CImportToolDlg::CopyPictures() {
  CopyRows();
  CKnobPicture::BlitAll();
}
