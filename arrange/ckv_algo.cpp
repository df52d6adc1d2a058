#include "arrange/ckv_algo.h"

#include <algorithm>
#include <vector>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/engine_session.h"
#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "engine/render_messages.h"
#include "engine/song_import.h"
#include "song/chord_codes.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/gne_music.h"

namespace {

constexpr int kCustomChordMethod = 8;
constexpr int kFixedBassPitchValue = 43;
constexpr int kMelodyDoubleDelay = 12;
constexpr int kJustIntonationScale = 7;
constexpr int kDiatonicScale = 1;

// Fits the progression's bar count toward the target (4/4 and 3/4); returns the
// bar count it leaves.
int FitBarCount(int target, int bars) {
  int counter = 0;
  const bool common_time = CurrentStyle().metre == 0;
  while (bars < target - 1 || bars > target + 1) {
    const int stop = common_time ? FitSongLength44(&counter) : FitSongLength34(&counter);
    bars = ComposeInfo().bar_count;
    if (stop == 1) break;
  }
  return bars;
}

// The melody of an accepted pass (and its voicing, when the melody has one),
// each with its ending, and the chord timeline.
void ComposeMelodyOfPass(const ComposeProgress& progress) {
  ComposeInformation& info = ComposeInfo();
  const StyleRecord& style = CurrentStyle();
  const bool voicing = style.parts[1].voicing != 0;
  if (voicing) {
    StepProgress(progress);
    DeriveVoicingPhrases(1);
  }
  StepProgress(progress);
  const int last_pitch = CollectPhraseNotes(1, info.melody_phrases, &info.melody_notes);
  EventList melody_ending;
  BuildMelodyEnding(1, &melody_ending, last_pitch);
  info.melody_notes.AppendAll(melody_ending);
  if (voicing) {
    const int last_voicing = CollectPhraseNotes(6, info.voicing_phrases, &info.voicing_notes);
    EventList voicing_ending;
    BuildVoicingEnding(melody_ending, &voicing_ending, last_voicing, 6);
    info.voicing_notes.AppendAll(voicing_ending);
  }
  StepProgress(progress);
  BuildChordTimeline(info.section_chords);
  if (style.modulation == 1) CKVAlgo::ErrorMsg(1);
}

}  // namespace

void RunComposePasses(const ComposeProgress& progress) {
  ComposeInformation& info = ComposeInfo();
  const StyleRecord& style = CurrentStyle();
  const int target = style.song_bars;
  const int half = kBarTolerance / 2;
  int low = std::max(target - half, 5);
  int high = target + half;
  for (int pass = 0;; ++pass) {
    StepProgress(progress);
    info.Reset();
    if (style.chord_method == kCustomChordMethod) {
      int beats = 0;
      BuildChordBlocksFromInput(&beats);
    }
    Modulation().melody_event_index[0] = 0;
    Modulation().melody_event_index[1] = 0;
    int bars = BuildChordProgression() / BeatsPerBar();
    info.bar_count = bars;
    if (style.metre == 0 || style.metre == 1) {
      bars = FitBarCount(target, bars);
    } else {
      low = 5;
      high += 10;
    }
    const bool in_range = low <= bars + 2 && bars + 2 <= high;
    const bool accepted = in_range || style.chord_method == kCustomChordMethod ||
                          style.chords_per_block == 1 || style.chord_beats == 4;
    // Every pass counts, accepted or not, so that no setting loops for ever.
    bool last = pass > kExtraPassLimit;
    if (accepted) {
      ComposeMelodyOfPass(progress);
      last = last || style.chords_per_block != 0 || in_range;
    }
    if (last) break;
  }
}

CKVAlgo::~CKVAlgo() = default;

void CKVAlgo::Initialize() {
  EngineSession session;
  SeedCompositionFromClock();
  BuildStyleTable();
}

void CKVAlgo::ImportSongToEngine(CSongData& song, int bar_count, int beats_per_bar,
                                 int max_note_length) {
  EngineSession session;
  ::ImportSongToEngine(song, bar_count, beats_per_bar, max_note_length);
}

void CKVAlgo::PrepareSongRendering(int melody_instrument, int tempo_bpm, int harmony_instrument,
                                   int sub_harmony_instrument, int16_t metre_kind,
                                   int keep_doubles) {
  EngineSession session;
  SelectMajorTimingDatabases();
  ComposeMode() = kSongRenderingMode;
  MelodyFromInput() = 1;
  StyleRecord& style = CurrentStyle();
  style.chord_method = kCustomChordMethod;
  style.modulation = 0;
  style.parts[1].voicing = 0;
  if (keep_doubles == 0) {
    for (int channel : {1, 2, 3, 4, 5, 7, 8, 9}) style.mixer[channel].double_delay = 0;
  }
  if (style.scale == kJustIntonationScale) style.scale = kDiatonicScale;
  style.instrument[kAmbientChannel] = kInstrumentOff;
  style.instrument[1] = melody_instrument;
  style.tempo = GneBpmToTempo(tempo_bpm);
  if (harmony_instrument >= 0) style.instrument[3] = harmony_instrument;
  if (sub_harmony_instrument >= 0) style.instrument[7] = sub_harmony_instrument;
  style.triple_metre_kind = metre_kind;
}

void CKVAlgo::EnableMelodyDouble() {
  EngineSession session;
  CurrentStyle().mixer[1].double_delay = kMelodyDoubleDelay;
}

int CKVAlgo::Compose(const std::filesystem::path& path, const char* first_text,
                     const char* second_text, const ComposeProgress& progress) {
  EngineSession session;
  // Within one composition each error code shows once, however many passes meet it.
  RenderMessageScope messages;
  StepProgress(progress);
  std::vector<uint8_t> image(kRenderImageBufferSize);
  int32_t image_size = kRenderImageBufferSize;
  LoadPatternDatabases();
  StepProgress(progress);
  // The fixed bass sounds from the first pass on: the chord blocks take its
  // pitch when they are built.
  if (CurrentStyle().fixed_bass == kFixedBassSetting) FixedBassPitch() = kFixedBassPitchValue;
  RunComposePasses(progress);
  RenderComposition(image.data(), &image_size, path, RenderedSongCallback(), first_text,
                    second_text, progress, kComposeMelodyNoteLimit);
  return 1;
}

bool CKVAlgo::AddLyricsToMidi(const CSongData& song, const std::filesystem::path& path,
                              int lyric_mode) {
  EngineSession session;
  return ::AddLyricsToMidi(song, path, lyric_mode);
}

void CKVAlgo::ChordNameToCode(char* name) { ::ChordNameToCode(name); }

void CKVAlgo::DecodeChordCode(const char* code, int* root_pitch_class, int* quality_row) {
  ::DecodeChordCode(code, root_pitch_class, quality_row);
}

void CKVAlgo::ErrorMsg(int kind) {
  GneMessageBox(kind == 1 ? "転調は使用できません。" : "CKVAlgo::ErrorMsg");
}
