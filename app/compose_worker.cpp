#include "app/compose_worker.h"

#include <QObject>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "app/main_globals.h"
#include "arrange/ckv_algo.h"
#include "draw/main_dialog_helper.h"
#include "engine/engine_session.h"
#include "engine/engine_state.h"
#include "export/media_export.h"
#include "export/mp3_encoder.h"
#include "music/xf_data.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/core/temp_files.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/music_names.h"

namespace fs = std::filesystem;

namespace {

// Longest note the imported melody may hold, in ticks.
constexpr int kImportNoteLimit = 1536;
constexpr int kChromaticScale = 7;
constexpr int kDiatonicScaleCode = 1;
constexpr int kTripletBasicBeat = 3;
constexpr int kSecondMelodyChannel = 15;

// The worker's thread. Whether one runs is g_composeWorkerRunning: set by the start, cleared
// once the window has taken the completion.
struct WorkerState {
  std::mutex mutex;  // guards `thread`
  std::thread thread;
};

WorkerState& Worker() {
  static WorkerState state;
  return state;
}

// The gate a started worker passes before its work: closed only by tests.
struct WorkerGate {
  std::mutex mutex;
  std::condition_variable opened;
  bool held = false;
};

WorkerGate& Gate() {
  static WorkerGate gate;
  return gate;
}

void PassGate() {
  WorkerGate& g = Gate();
  std::unique_lock<std::mutex> lock(g.mutex);
  g.opened.wait(lock, [&g] { return !g.held; });
}

// Removes a file of ours, whatever is there.
void RemoveQuietly(const fs::path& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// The engine's style set up for the request's song: metre, imported chords and melody, the
// instruments, tempo, key and scale. The song's basic beat comes back through *basicBeat.
void PrepareEngine(ComposeRequest& r, int* basicBeat) {
  CSongData& song = *r.song;
  ApplyStyle(r.style);
  CurrentStyle().metre = song.beats_per_bar != 4 ? 1 : 0;
  int metreKind = 1;
  const int beats = CCantrelCommon::MetreFromIndex(r.metreIndex, &metreKind);
  CKVAlgo::ImportSongToEngine(song, song.bar_count, beats, kImportNoteLimit);
  *basicBeat = CurrentStyle().basic_beat;
  if (song.GetDivisionMode() == 1) CurrentStyle().basic_beat = kTripletBasicBeat;
  CKVAlgo::PrepareSongRendering(r.melodyInstrument, r.tempo, r.harmonyInstrument,
                                r.subHarmonyInstrument, static_cast<int16_t>(song.metre_kind),
                                r.audioQuality == 0 ? 1 : 0);
  const KeySignature& key = KeySignatureTable[song.key_index];
  StyleRecord& style = CurrentStyle();
  if (key.mode == 1) {
    SelectMinorTimingDatabases();
    style.key_mode = 2;
    style.key_offset = (key.tonic + 3) % 12;
  } else {
    SelectMajorTimingDatabases();
    style.key_offset = key.tonic;
    style.key_mode = 1;
  }
  style.scale = style.scale == kChromaticScale ? kChromaticScale : kDiatonicScaleCode;
  if (style.mixer[kSecondMelodyChannel].volume == 0)
    style.mixer[kSecondMelodyChannel] = style.mixer[1];
  style.instrument[kSecondMelodyChannel] = r.secondMelodyInstrument;
  if (r.secondMelodyInstrument > 127) {
    style.instrument[kSecondMelodyChannel] = style.instrument[1];
    style.mixer[kSecondMelodyChannel].volume = 0;
  }
}

// Lead-in bars of silence before the song and its lyrics; GM System On stays at the start.
bool AddLeadIn(const fs::path& midi, int bars, int beats) {
  int karaoke = 0;
  XfData file(&midi, 0, &karaoke);
  if (file.track == nullptr || file.track->event_count == 0) return false;
  const int64_t shift = int64_t{bars} * file.division * beats;
  auto delay = [shift](MidiTrack* track) {
    if (track == nullptr || track->event_count == 0) return;
    int32_t& delta = track->events[0]->delta;
    delta = static_cast<int32_t>(std::min<int64_t>(delta + shift, 0x0FFFFFFF));
  };
  delay(file.track);
  delay(file.karaoke_track);
  file.track->InsertGmSystemOn();
  return file.SaveFile(midi) == 1;
}

// Puts a finished file of ours in place at `to` whole: a copy beside it, then a rename. A
// `scratch` file (one to play or to send, made anew each time) is not flushed to disk.
bool PlaceFile(const fs::path& from, const fs::path& to, bool scratch) {
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(from, bytes)) return false;
  std::error_code error;
  if (scratch ? plat::WriteScratchFile(to, bytes.data(), bytes.size(), &error)
              : plat::WriteFileAtomic(to, bytes, &error))
    return true;
  GneMessageBox(plat::WriteFailureText(error));
  return false;
}

}  // namespace

std::unique_ptr<CSongData> CopySong(const CSongData& song) {
  const std::vector<uint8_t> image = song.SerializeToVector();
  auto copy = std::make_unique<CSongData>();
  copy->ReadImage(image.data(), image.size());
  // What the image cannot carry as it is: a key outside the table (reported by the worker) and
  // the file the song came from.
  copy->key_index = song.key_index;
  copy->path = song.path;
  return copy;
}

bool ComposeThreadProc(ComposeRequest& r, const ComposePost& post) {
  // The engine is this worker's for the whole road, from the seed to the lyrics.
  EngineSession engine;
  auto finish = [&](bool written) {
    post(r.completionMessage, written ? 1 : 0);
    return written;
  };
  // This thread's generator draws the sequence of the seed the rendering chose.
  SeedComposition(r.seed);
  if (!r.song || r.song->key_index < 0 || r.song->key_index >= kKeySignatureCount) {
    GneMessageBox("CBrevantDlg error");
    return finish(false);
  }
  const std::string ext = GneGetExtension(r.outputPath.string());
  const bool audio = ext == "wav" || ext == "mp3";
  // Without its encoder an MP3 would never be written: nothing is arranged.
  if (ext == "mp3" && FindMp3Encoder(r.encoderPath).empty()) {
    GneErrorBox("エンコーダが見つかりませんでした。");
    post(kMsgForgetEncoder, 0);
    return finish(false);
  }
  int basicBeat = 0;
  PrepareEngine(r, &basicBeat);

  const fs::path midi = plat::NewTempFileName("compose", ".mid");
  CKVAlgo::Compose(midi, nullptr, nullptr, [&post] { post(kMsgComposeStep, 0); });
  post(kMsgComposeStage, 2);
  bool ready = CKVAlgo::AddLyricsToMidi(*r.song, midi, r.lyricEventMode);
  if (ready && r.completionMessage == kMsgExportComposed && r.leadInBars > 0) {
    int metreKind = 1;
    ready = AddLeadIn(midi, r.leadInBars, CCantrelCommon::MetreFromIndex(r.metreIndex, &metreKind));
  }

  bool written = false;
  if (ready && audio) {
    const fs::path wav = ext == "wav" ? r.outputPath : plat::NewTempFileName("compose", ".wav");
    written = ConvertMidiToWav(midi, wav);
    if (written && ext == "mp3") {
      const Mp3Result result = EncodeMp3(wav, r.outputPath, r.encoderPath);
      if (result == Mp3Result::kNoEncoder) post(kMsgForgetEncoder, 0);
      written = result == Mp3Result::kWritten;
    }
    if (ext == "mp3") RemoveQuietly(wav);
  } else if (ready) {
    written = PlaceFile(midi, r.outputPath, r.completionMessage != kMsgExportComposed);
  }
  RemoveQuietly(midi);
  CurrentStyle().basic_beat = basicBeat;
  return finish(written);
}

bool StartComposeWorker(QObject* window, ComposeRequest request) {
  WorkerState& w = Worker();
  int expected = 0;
  if (!g_composeWorkerRunning.compare_exchange_strong(expected, 1)) return false;
  std::lock_guard<std::mutex> lock(w.mutex);
  if (w.thread.joinable()) w.thread.join();  // the last one has been finished
  auto owned = std::make_shared<ComposeRequest>(std::move(request));
  w.thread = std::thread([window, owned] {
    PassGate();
    ComposeThreadProc(*owned, [window](uint32_t message, uintptr_t wparam) {
      plat::PostAppMessage(window, message, wparam);
    });
  });
  return true;
}

bool ComposeWorkerRunning() { return g_composeWorkerRunning.load() != 0; }

void FinishComposeWorker() {
  WorkerState& w = Worker();
  std::lock_guard<std::mutex> lock(w.mutex);
  if (w.thread.joinable()) w.thread.join();
  // Only now may the next request start: until the window has taken the completion, a new
  // worker's thread would be the one this join waits for.
  g_composeWorkerRunning = 0;
}

void HoldComposeWorkers(bool hold) {
  WorkerGate& g = Gate();
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    g.held = hold;
  }
  g.opened.notify_all();
}

void KeepRenderedRiff(StyleRecord& style) {
  std::memcpy(style.riff, CurrentStyle().riff, sizeof style.riff);
}
