// Composing chords and a melody for a range of bars of the working song: a chord harmonising the
// melody the bars hold, a chord following the previous bar's in the style's pattern database, a
// melody from the engine over the bars' chords, and one part's melody composed again.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "app/song_style.h"
#include "engine/compose_info.h"
#include "engine/engine_session.h"
#include "engine/melody.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "song/chord_codes.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/music_names.h"
#include "util/program_errors.h"

#include <QComboBox>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTicksPerBeat = 96;

// Chord templates the melody is harmonised with: intervals (ended by -1) and quality code.
struct ChordTemplate {
  int intervals[5];
  const char* quality;
};
constexpr ChordTemplate kTemplates[5] = {
    {{0, 4, 7, -1, -1}, "MPo"},   // major triad
    {{0, 3, 7, -1, -1}, "mPo"},   // minor triad
    {{0, 4, 7, 10, -1}, "MPs"},   // dominant seventh
    {{0, 3, 7, 10, -1}, "mPs"},   // minor seventh
    {{0, 3, 6, -1, -1}, "mdo"},   // diminished triad
};

// Weights of the scale degrees above the tonic.
constexpr int kMinorKeyWeights[12] = {3, 0, 3, 0, 3, 3, 0, 3, 0, 3, 0, 3};
constexpr int kMajorKeyWeights[12] = {3, 0, 3, 0, 3, 3, 2, 3, 2, 3, 0, 3};

constexpr char kRootLetters[] = "CdDeEFgGaAbB";

bool IsPitch(int v) { return v >= 0 && v <= 127; }

// The tonic of the relative major of a key row, as a pitch class.
int RelativeMajorTonic(int keyRow) {
  const KeySignature& k = KeySignatureTable[keyRow];
  return (k.tonic + (k.mode == 1 ? 3 : 0)) % 12;
}

void MoveRoot(char* code, int semitones, bool down) {
  for (int i = 0; i < semitones; ++i) code[0] = down ? RootLetterDown(code[0]) : RootLetterUp(code[0]);
}

// Chord text of the first beat of a bar, as the engine's code, in a buffer of 256 bytes.
void BarChordCode(const CSongData& song, int bar, char* code) {
  std::memset(code, 0, 256);
  const long long beat = static_cast<long long>(bar) * song.beats_per_bar;
  if (beat >= 0 && beat < kSongMaxBeats) {
    std::memcpy(code, song.chords[beat].first, strnlen(song.chords[beat].first, 8));
  }
  ChordNameToCode(code);
}

}  // namespace

int CBrevantDlg::SelectedKeyRow() const {
  const int row = keyList ? keyList->currentIndex() : -1;
  if (row >= 0 && row < kKeySignatureCount) return row;
  // Without a selection the song's own key holds.
  return song ? std::clamp(static_cast<int>(song->key_index), 0, kKeySignatureCount - 1) : 0;
}

StyleRecord CBrevantDlg::SelectedStyle() const {
  const QVariant data = styleList ? styleList->currentData() : QVariant();
  const int slot = data.isValid() ? data.toInt() : -1;
  const int category = categoryList ? categoryList->currentIndex() : -1;
  if (slot >= 0) {
    if (const StyleRecord* record = FindStyleSlot(category, slot)) return *record;
  }
  // The list shows the song's own style.
  return SongStyleOrBuiltIn(*song);
}

bool CBrevantDlg::ComposeRefused() {
  if (g_composeWorkerRunning.load() == 0) return false;
  Beep(300);
  return true;
}

bool CBrevantDlg::CanGrowBy(int bars) {
  if (!song || bars < 0) return false;
  if ((static_cast<long long>(song->bar_count) + bars) * SongBeatsPerBar() > kSongMaxBeats) {
    Beep(100);
    return false;
  }
  return true;
}

bool CBrevantDlg::GrowSongTo(int bars) {
  if (!song) return false;
  if (bars <= song->bar_count) return true;
  if (!CanGrowBy(bars - song->bar_count)) return false;
  return song->InsertBars(song->bar_count, bars - 1);
}

void CBrevantDlg::WriteRangeChord(int first, int last, const char* code) {
  int root = 0, type = 0;
  DecodeChordCode(code, &root, &type);
  song->SetChord(first, 0, root, type, (last - first + 1) * SongBeatsPerBar(), 0, false);
}

void CBrevantDlg::ComposeChords(int first, int last) {
  if (!song || first < 0 || last < first) return;
  // The window never waits for the engine (a worker's message box waits for the window):
  // while another thread composes, the command is refused.
  const EngineSession engine(std::try_to_lock);
  if (!engine.owns()) return Beep(300);
  if (last >= song->bar_count) {
    if (!GrowSongTo(last + 1)) return;
    ComposeStyleChords(first, last);
  } else if (song->CountNotes(first, last) > 0) {
    HarmonizeMelody(first, last);
  } else {
    ComposeStyleChords(first, last);
  }
}

void CBrevantDlg::HarmonizeMelody(int first, int last) {
  if (!song) return;
  const int beats = SongBeatsPerBar();
  int H[12] = {};
  const int from = std::clamp(first * beats * 2, 0, kSongMaxCells);
  const int to = std::clamp((last + 1) * beats * 2, 0, kSongMaxCells);

  // Every slot a note starts or holds weighs one.
  int sounding = -1;
  for (int c = from; c < to; ++c) {
    for (int s = 0; s < 3; ++s) {
      const int v = song->cells[c].slot[s];
      if (IsPitch(v)) {
        ++H[v % 12];
        sounding = v;
      } else if (v == NoteSlotHold || v == NoteSlotVacant) {
        if (sounding != -1) ++H[sounding % 12];
      } else if (v == NoteSlotRest) {
        sounding = -1;
      }
    }
  }
  // The range and the ends.
  int lowest = 128, highest = -1;
  song->GetPitchRange(&lowest, &highest, first, last + 1);
  if (IsPitch(lowest)) ++H[lowest % 12];
  if (IsPitch(highest)) ++H[highest % 12];
  int firstPitch = -1, lastPitch = -1;
  song->GetFirstAndLastPitch(&firstPitch, &lastPitch, first, last + 1);
  if (firstPitch >= 0) H[firstPitch % 12] += 4;
  if (lastPitch >= 0) H[lastPitch % 12] += 4;
  // Turning points of the line.
  int p1 = -1, p2 = -1, p3 = -1;
  for (int c = from; c < to; ++c) {
    for (int s = 0; s < 3; ++s) {
      const int v = song->cells[c].slot[s];
      if (!IsPitch(v)) continue;
      if (p3 != -1 && (p3 - p2) * (p2 - p1) < 0) ++H[((p2 % 12) + 12) % 12];
      p1 = p2;
      p2 = p3;
      p3 = v;
    }
  }
  // The key.
  const int keyRow = SelectedKeyRow();
  const int mode = KeySignatureTable[keyRow].mode;
  const int t = KeySignatureTable[keyRow].tonic % 12;
  const int* W = mode == 1 ? kMinorKeyWeights : kMajorKeyWeights;
  for (int k = 0; k < 12; ++k) H[(t + k) % 12] += W[k];

  int score[12][5] = {};
  for (int r = 0; r < 12; ++r) {
    for (int j = 0; j < 5; ++j) {
      for (int i : kTemplates[j].intervals) {
        if (i < 0) break;
        score[r][j] += H[(r + i) % 12];
      }
    }
  }
  const int sub = (t + 5) % 12, dom = (t + 7) % 12;
  if (mode == 1) {
    score[t][1] += 4;
    score[sub][2] += 3;
    score[dom][2] += 5;
  } else {
    score[t][0] += 4;
    score[dom][2] += 5;
    score[sub][0] = score[sub][2] + 3;
  }

  // The best score; ties drawn evenly, the diminished triad only when nothing else reaches it.
  int best = 0;
  for (auto& row : score) for (int v : row) best = std::max(best, v);
  int c4 = 0, c5 = 0;
  for (auto& row : score) {
    for (int j = 0; j < 5; ++j) {
      if (row[j] != best) continue;
      ++c5;
      if (j < 4) ++c4;
    }
  }
  const int templates = c4 > 0 ? 4 : 5;
  const int k = c4 > 0 ? GneRandomRange(1, c4) : GneRandomRange(1, std::max(c5, 1));
  char code[256] = "CMPS";
  int seen = 0;
  for (int r = 0; r < 12 && seen < k; ++r) {
    for (int j = 0; j < templates; ++j) {
      if (score[r][j] != best || ++seen != k) continue;
      code[0] = kRootLetters[r];
      std::memcpy(code + 1, kTemplates[j].quality, 3);
      break;
    }
  }
  WriteRangeChord(first, last, code);
}

void CBrevantDlg::ComposeStyleChords(int first, int last) {
  if (!song) return;
  const int keyRow = SelectedKeyRow();
  char code[256] = {' ', ' ', ' ', ' '};
  if (first <= 0) {
    // The song's first bar takes the key's tonic chord.
    std::memset(code, 0, sizeof code);
    std::memcpy(code, song->key_tonic, strnlen(song->key_tonic, sizeof song->key_tonic));
    ChordNameToCode(code);
    WriteRangeChord(std::max(first, 0), last, code);
    return;
  }
  BarChordCode(*song, first - 1, code);
  ApplyStyle(SelectedStyle());
  StyleRecord& style = CurrentStyle();
  if (KeySignatureTable[keyRow].mode == 1) {
    SelectMinorTimingDatabases();
    EngineServices().timing.database_kind = 2;
    std::memset(style.pattern_db, 0, sizeof style.pattern_db);
    std::strcpy(style.pattern_db, "PATTERN.DB2");
  } else {
    SelectMajorTimingDatabases();
    EngineServices().timing.database_kind = 1;
    std::memset(style.pattern_db, 0, sizeof style.pattern_db);
    std::strcpy(style.pattern_db, "PATTERN.DB");
  }
  LoadPatternDatabases();
  // The chord is looked up as if the key were C major (A minor).
  const int n = RelativeMajorTonic(keyRow);
  MoveRoot(code, n, true);
  PickNextChord(code);
  MoveRoot(code, n, false);
  WriteRangeChord(first, last, code);
}

void CBrevantDlg::ComposeMelody(int first, int last) {
  if (!song || first < 0 || last < first) return;
  // Refused, as composing chords is, while another thread composes.
  const EngineSession engine(std::try_to_lock);
  if (!engine.owns()) return Beep(300);
  if (last >= song->bar_count) {
    const int end = song->bar_count;
    if (!GrowSongTo(last + 1)) return;
    ComposeStyleChords(end, last);
  }
  const int beats = SongBeatsPerBar();
  const int keyRow = std::clamp(static_cast<int>(song->key_index), 0, kKeySignatureCount - 1);
  const int n = RelativeMajorTonic(keyRow);

  auto chords = std::make_unique<EventList>();
  auto notes = std::make_unique<EventList>();
  for (int bar = first; bar <= last; ++bar) {
    char code[256];
    BarChordCode(*song, bar, code);
    MoveRoot(code, n, true);
    ChordEntry entry;
    entry.length = static_cast<uint16_t>(beats * kTicksPerBeat);
    std::memcpy(entry.code, code, 4);
    ChordBlock block(entry, nullptr);
    chords->AppendChordMarker(block);
  }
  ApplyStyle(SelectedStyle());
  // The bars are the song's: the style's 3/4 or 7/8 gives way to the song's metre, as when the
  // song is played.
  CurrentStyle().metre = beats != 4 ? 1 : 0;
  if (KeySignatureTable[keyRow].mode == 1) {
    SelectMinorTimingDatabases();
    EngineServices().timing.database_kind = 2;
  } else {
    SelectMajorTimingDatabases();
    EngineServices().timing.database_kind = 1;
  }
  LoadPatternDatabases();
  GenerateMelodyPart(0, kMelodyChannel, *chords, notes.get(), 1, 1);

  // Notes go in whole eighths from the first bar on, and never past the last bar.
  const int S = beats * 4;  // sixteenths in a bar
  const int end = (last - first + 1) * S;
  int pos = 0, carried = 0;
  for (int i = 0; i < notes->count() && pos < end; ++i) {
    ComposeEvent& event = (*notes)[i];
    if (event.kind != kEventNote) continue;
    int L = std::max(0, event.length);
    if (L % 24 != 0) {
      carried = L % 24;
      L -= carried;
      event.length = L;
    }
    int eighths = (L + carried) / 48;
    if (eighths == 0) {
      carried = L % 48;
      continue;
    }
    eighths = std::min(eighths, (end - pos) / 2);
    const int pitch = event.pitch == 0 ? NoteSlotRest : std::min(event.pitch + n, 127);
    WriteHeldNote(first + pos / S, (pos % S) / 2, pitch, eighths);
    pos += 2 * eighths;
    carried = 0;
  }
}

void CBrevantDlg::WriteHeldNote(int bar, int eighth, int pitch, int eighths) {
  // The note takes the longest value the table lists, and holds on over the eighths beyond it.
  const int first = std::min(eighths, 8);
  song->SetNote(bar, eighth, pitch, CSongData::NoteValueIndex(first), false);
  if (eighths <= first) return;
  const int start = song->CellIndex(bar, eighth);
  if (start < 0) return;
  const int limit = song->SongCells();
  int c = start + first;
  for (; c < start + eighths && c < limit; ++c) {
    song->cells[c].slot[0] = NoteSlotHold;
    song->cells[c].slot[1] = NoteSlotHold;
    song->cells[c].slot[2] = NoteSlotVacant;
  }
  // What held on before ends where the note ends.
  if (c < limit && song->cells[c].slot[0] == NoteSlotHold) song->cells[c].slot[0] = NoteSlotRest;
}

int RegeneratePartMelody(int part) {
  if (part < 0 || part >= kStyleChannelCount) return 0;
  ComposeInformation& info = ComposeInfo();
  PartRecord& record = CurrentStyle().parts[part];
  const int kept = record.note_length;
  // A section the generator cannot satisfy is given up after this many calls, with a box every
  // thousand.
  constexpr int kAttemptsPerSection = 10000;
  int failed = 0;
  const int count = std::min<int>(info.section_count, kSectionCapacity);
  for (int i = 0; i < count; ++i) {
    if (i > count / 2 && record.note_length == 2) record.note_length = 1;
    int attempts = 0;
    while (GenerateMelodyPart(i, part, info.section_chords[static_cast<size_t>(i)],
                              &info.melody_phrases[static_cast<size_t>(i)], count, 0) == 0) {
      ++attempts;
      if (attempts % 1000 == 0) ShowErrorByCode(0);
      if (attempts >= kAttemptsPerSection) {
        ++failed;
        break;
      }
    }
  }
  record.note_length = kept;
  return failed == 0 ? 1 : 0;
}
