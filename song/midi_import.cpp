#include "song/midi_import.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "music/midi1_data.h"
#include "music/midi_track.h"
#include "music/tune_structure.h"
#include "music/xf_data.h"
#include "platform/core/message_sink.h"
#include "song/chord_model.h"
#include "song/song_data.h"
#include "song/track_melody.h"
#include "util/gne_text.h"
#include "util/music_names.h"

namespace {

// Ticks of the import: 96 per quarter.
constexpr int32_t kImportDivision = 96;
constexpr int32_t kEighth = 48;
constexpr int32_t kTripletPart = 16;
constexpr int32_t kSplitCapacity = 0x60000;
constexpr uint32_t kMetaLyric = 0x05;
constexpr uint32_t kMetaSequencer = 0x7F;
constexpr int32_t kMetreThreeFour = 0x0304;

MidiImportState g_state;

// The bar-limit message, once per import.
void ReportBarLimit() {
  if (g_state.limit_reported) return;
  g_state.limit_reported = true;
  CKvImport::ErrorMsg(1);
}

void MakeEmpty(NoteCell& cell) {
  cell.slot[0] = NoteSlotRest;
  cell.slot[1] = NoteSlotHold;
  cell.slot[2] = NoteSlotVacant;
  std::memset(cell.lyric, 0, sizeof cell.lyric);
}

bool InsideSong(const CSongData& song, int bar, int eighth) {
  const int c = song.CellIndex(bar, eighth);
  return c >= 0 && c < song.SongCells();
}

// The text of a meta event (no zero inside expected; the data length counts).
std::string MetaText(const MidiEvent& e) {
  std::string text;
  const int32_t n = std::max<int32_t>(e.data_length, 0);
  text.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    const int b = e.GetDataByte(i);
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}

// The first `max` bytes of the text, never half a double-byte character.
std::string CutText(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  size_t keep = 0;
  while (keep < text.size()) {
    const size_t step = GneIsLeadByte(static_cast<uint8_t>(text[keep])) ? 2 : 1;
    if (keep + step > max) break;
    keep += step;
  }
  return text.substr(0, keep);
}

bool StartsWith(const std::string& text, size_t at, const char* what) {
  const size_t n = std::strlen(what);
  return text.compare(at, n, what) == 0;
}

// Note cells from the melody list (lengths and positions at 96 per quarter).
void WriteNoteCells(const MelodyEventList& list, CSongData& song) {
  const int bpb = song.beats_per_bar;
  int64_t m = 0;
  NoteCell work{};
  MakeEmpty(work);
  for (const MelodyEvent& ev : list.events()) {
    int bar = 0, eighth = 0, t = 0;
    if (m < 24) {
      MakeEmpty(work);
    } else {
      t = static_cast<int>((m / kTripletPart) % 3);
      const int64_t e = m / kEighth;
      const int64_t b = (e / 2) / bpb;
      if (b >= kSongMaxBeats) {
        ReportBarLimit();
        break;
      }
      bar = static_cast<int>(b);
      eighth = static_cast<int>(e % (2 * bpb));
      if (t != 0) {
        if (!song.GetCell(bar, eighth, &work)) MakeEmpty(work);
        if (t == 1) work.slot[2] = NoteSlotHold;
      } else {
        MakeEmpty(work);
      }
    }
    work.slot[t] = ev.pitch > 0 ? ev.pitch : NoteSlotRest;
    if (!InsideSong(song, bar, eighth)) {
      ReportBarLimit();
      break;
    }
    song.SetCell(bar, eighth, work);
    m += ev.length;
    const int64_t next_bar = (m / kImportDivision) / bpb;
    if (next_bar != bar && next_bar < kSongMaxBeats && InsideSong(song, static_cast<int>(next_bar), 0)) {
      // What sounds on carries over the bar line as a hold.
      NoteCell carry{};
      MakeEmpty(carry);
      carry.slot[0] = NoteSlotHold;
      song.SetCell(static_cast<int>(next_bar), 0, carry);
    }
  }
}

// Lyric events of the karaoke song on the first sixteenth of the notes they fall on.
void WriteLyrics(XfData& karaoke, CSongData& song) {
  if (karaoke.karaoke_track == nullptr) {
    if (karaoke.track == nullptr) return;
    auto* lyrics = new MidiTrack(*karaoke.track, kSplitCapacity);
    for (int32_t i = 0; i < lyrics->event_count; ++i) {
      MidiEvent* e = lyrics->events[i];
      if (!(e->status == kStatusMeta && (e->number == kMetaLyric || IsEndOfTrack(e)))) e->MarkDeleted();
    }
    lyrics->Compact();
    lyrics->mode = kTrackEvents;  // only meta events: both modes read the same
    karaoke.karaoke_track = lyrics;
  }
  const MidiTrack& lyrics = *karaoke.karaoke_track;
  const int bpb = song.beats_per_bar;
  int64_t o = 0;
  for (int32_t i = 0; i < lyrics.event_count; ++i) {
    const MidiEvent& e = *lyrics.events[i];
    o += std::max<int32_t>(e.delta, 0);
    if (e.status != kStatusMeta || e.number != kMetaLyric) continue;
    const std::string raw = CutText(MetaText(e), 255);
    if (raw.empty()) continue;
    const int64_t eighths = o / kEighth;
    const int64_t bar = (eighths / 2) / bpb;
    if (bar >= kSongMaxBeats) break;
    const int eighth = static_cast<int>(eighths % (2 * bpb));
    if (!InsideSong(song, static_cast<int>(bar), eighth)) break;
    double length = 0;
    if (song.GetNoteAt(static_cast<int>(bar), eighth, &length, false) < 0) continue;
    std::string text = CKvImport::CleanLyric(raw);
    if (raw.size() >= 7) text = CutText(text, 6);
    song.SetLyric(static_cast<int>(bar), eighth, text.c_str(), false);
  }
}

// The song's melody moved into the singing range by octaves.
void FitOctave(CSongData& song) {
  int lowest = 128, highest = -1;
  song.GetPitchRange(&lowest, &highest, -1, -1);
  if (highest >= 0 && lowest < 48 && highest <= 71) song.TransposeNotes(12, false);
  song.GetPitchRange(&lowest, &highest, -1, -1);
  if (highest > 83 && lowest >= 60) song.TransposeNotes(-12, false);
}

struct XfSuffix {
  const char* xf_name;
  int suffix;
};
constexpr XfSuffix kXfSuffixes[] = {
    {"Maj", 0},       {"1+8", 0},        {"1+5", 0},      {"cc", 0},       {"Maj(9)", 0},
    {"Maj7(9)", 0},   {"1+2+5", 0},      {"Maj6", 14},    {"Maj6(9)", 14}, {"Maj7", 3},
    {"Maj7(#11)", 3}, {"aug", 9},        {"min", 1},      {"min(9)", 1},   {"min6", 16},
    {"min7", 4},      {"min7(9)", 4},    {"min7(11)", 4}, {"min7b5", 13},  {"minMaj7", 5},
    {"minMaj7(9)", 5}, {"dim", 6},       {"dim7", 12},    {"7th", 2},      {"7(9)", 2},
    {"7(#11)", 2},    {"7(13)", 2},      {"7(b9)", 2},    {"7(b13)", 2},   {"7(#9)", 2},
    {"7sus4", 8},     {"7b5", 17},       {"Maj7aug", 10}, {"7aug", 11},    {"sus4", 7},
};

}  // namespace

void PrepareMelodyTrack(MidiTrack& track, int32_t division) {
  track.ToEventMode();
  track.QuantizeTwoGrids(4, 6, division, 0, 0);
  track.ToNoteMode();
  track.KeepTopNotes(kNoChannel, 0);
}

MidiImportState& ImportState() { return g_state; }
void ResetMidiImportModule() { g_state = MidiImportState{}; }

void CKvImport::ErrorMsg(int code) {
  const char* text =
      code == 1 ? "読み込める最大の小節数に達しました。ファイルを256小節以下に分割して再度、"
                  "インポートを行なってください。"
                : "CKvImport::ErrorMsg";
  plat::ShowBox(plat::BoxKind::Message, text);
}

int CKvImport::NoProgress() { return 0; }
int CKvImport::NotBusy() { return 0; }

std::string CKvImport::CleanLyric(const std::string& text) {
  static const char* const kLabels[] = {"<イントロ", "間奏", "エンド"};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    bool label = false;
    for (const char* l : kLabels) {
      if (StartsWith(text, i, l)) {
        i += std::strlen(l);
        label = true;
        break;
      }
    }
    if (label) continue;
    const uint8_t b = static_cast<uint8_t>(text[i]);
    if (GneIsLeadByte(b)) {
      if (i + 1 < text.size()) out.append(text, i, 2);  // a lone lead byte at the end goes
      i += 2;
      continue;
    }
    if (std::strchr("/<>[]^", b) == nullptr || b == 0) out.push_back(static_cast<char>(b));
    ++i;
  }
  return out;
}

void CKvImport::NormalizeLyricBreaks(std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
  while (i < text.size()) {
    if (StartsWith(text, i, "\r\n\r\n\r\n")) {
      out += "\r\n\r\n";
      i += 6;
      while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
      continue;
    }
    const size_t step =
        GneIsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
    out.append(text, i, step);
    i += step;
  }
  text.swap(out);
}

int CKvImport::XfChordTypeToSuffix(const char* xf_name) {
  if (xf_name == nullptr) return 0;
  for (const XfSuffix& s : kXfSuffixes)
    if (std::strcmp(s.xf_name, xf_name) == 0) return s.suffix;
  return 0;
}

void CKvImport::ChordsFromAnalysis(int bars, int beats_per_bar, int beats_per_slot,
                                   CSongData& song) {
  if (beats_per_bar <= 0 || beats_per_slot <= 0) return;
  char key_name[8];
  GetKeyName(g_state.key, key_name);
  for (int bar = 0; bar < bars; ++bar) {
    for (int beat = 0; beat < beats_per_bar; ++beat) {
      const int64_t slot = (int64_t{bar} * beats_per_bar + beat) / beats_per_slot;
      std::string name;
      if (slot < g_state.slot_count && slot < kImportChordSlots) {
        const char* field = &g_state.chord_names[static_cast<size_t>(slot) * kChordNameBytes];
        name.assign(field, strnlen(field, kChordNameBytes));
      }
      std::string text = CKvCommon::FoldTensionNine(name);
      if (text.empty() || text == "UnKnown") text = key_name;
      std::string root, suffix;
      CKvCommon::SplitChordText(text, &root, &suffix);
      CKvCommon::NormalizeSuffix(suffix);
      int root_index = -1, type_index = -1;
      CKvCommon::ParseChord(0, root, suffix, &root_index, &type_index);
      if (root_index < 0 || type_index < 0) {
        // A name the song cannot hold: the key's own chord.
        root_index = g_state.key[0] % 12;
        type_index = 0;
      }
      song.SetChord(bar, beat, root_index, type_index, 1, 0, false);
    }
  }
}

void CKvImport::ChordsFromXfEvents(const XfData& karaoke, CSongData& song) {
  if (karaoke.track == nullptr) return;
  const int bpb = song.beats_per_bar;
  const int32_t half_quarter = std::max<int32_t>(karaoke.division / 2, 1);
  struct XfChord {
    int64_t beat;
    int root, type;
  };
  std::vector<XfChord> chords;
  int64_t tick = 0;
  const MidiTrack& track = *karaoke.track;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    tick += std::max<int32_t>(e.delta, 0);
    // An XF chord event: 43 7B 01, root, type (and the bass bytes, not used).
    if (e.status != kStatusMeta || e.number != kMetaSequencer || e.data_length < 5) continue;
    if (e.GetDataByte(0) != 0x43 || e.GetDataByte(1) != 0x7B || e.GetDataByte(2) != 0x01) continue;
    const int64_t eighths = tick / half_quarter;
    const int64_t bar = (eighths / 2) / bpb;
    const int64_t beat = (eighths % (2 * bpb)) / 2;
    const int root = XfData::XfChordRootToPitchClass(e.GetDataByte(3));
    const int type = XfChordTypeToSuffix(XfData::XfChordTypeName(e.GetDataByte(4)));
    chords.push_back({bar * bpb + beat, root, type});
  }
  if (chords.empty()) return;
  const int beats = song.SongBeats();
  size_t next = 0;
  const XfChord* current = &chords[0];  // the beats before the first chord take it
  for (int b = 0; b < beats; ++b) {
    while (next < chords.size() && chords[next].beat <= b) current = &chords[next++];
    song.SetChord(b / bpb, b % bpb, current->root, current->type, 1, 0, false);
  }
}

void CKvImport::ImportSmf(XfData& karaoke, TuneStructure& structure, CSongData& song,
                          const MelodyChannelCallback& choose_channel) {
  MidiImportState& st = g_state;
  st.limit_reported = false;
  const int32_t division = karaoke.division;

  // 1. Metre.
  int32_t metre = 0;
  const int bpb = karaoke.GetMetre(&metre) == 1 && metre == kMetreThreeFour ? 3 : 4;

  // 2. Chord analysis.
  st.slot_count = AnalyseChords(karaoke, st.chord_names.data(), kImportChordSlots, st.key, 0, 1,
                                st.tone_weight_text, division, structure, NoProgress, NotBusy,
                                &st.slot_length);

  // 3. Bars, no more than the song holds.
  const uint64_t beats = division > 0 ? static_cast<uint64_t>(st.slot_count) *
                                            static_cast<uint64_t>(st.slot_length) /
                                            static_cast<uint64_t>(division)
                                      : 0;
  uint64_t bars = (beats + bpb - 1) / bpb;
  const uint64_t max_bars = kSongMaxBeats / bpb;
  if (bars > max_bars) {
    bars = max_bars;
    ReportBarLimit();
  }
  if (bars == 0) bars = 1;

  // 4, 5. Key and the empty song.
  char key_name[8];
  GetKeyName(st.key, key_name);
  song.Reset(static_cast<int>(bars), bpb, KeyIndexFromName(key_name), 1);

  // 6. The lyrics text.
  {
    std::vector<char> text(kLyricsAreaSize, 0);
    karaoke.GetLyricText(text.data(), text.size());
    std::string lyrics(text.data());
    NormalizeLyricBreaks(lyrics);
    std::memset(song.lyrics_area, 0, sizeof song.lyrics_area);
    std::memcpy(song.lyrics_area, lyrics.data(), std::min(lyrics.size(), sizeof song.lyrics_area - 1));
  }

  // 7. Chords.
  if (karaoke.HasXfChords()) {
    ChordsFromXfEvents(karaoke, song);
  } else {
    ChordsFromAnalysis(static_cast<int>(bars), bpb, 2, song);
  }

  // 8. Melody channel.
  int32_t channel = structure.MelodyChannel();
  if (choose_channel) choose_channel(channel, karaoke);
  if (channel < 0 || channel > 15) channel = 0;

  // 9, 10. The melody as notes and rests.
  MelodyEventList melody;
  if (karaoke.track != nullptr && karaoke.state == kSongNotes) {
    auto split = std::make_unique<Midi1Data>(karaoke, kSplitCapacity);
    if (Midi1Track* track = split->Track(channel + 1)) {
      PrepareMelodyTrack(*track, division);
      ConvertTrackToEventList(*split, channel + 1, division, melody);
    }
  }

  // 11, 12. Note cells and their tidying.
  WriteNoteCells(melody, song);
  song.FillShortRests();

  // 13. Lyric syllables.
  WriteLyrics(karaoke, song);

  // 14, 15.
  song.NormalizeCells();
  song.info.SetInt(SongInfoBlock::kTempo, 120);
  FitOctave(song);
}

bool CKvImport::ImportFile(const std::filesystem::path& path, CSongData& song,
                           const MelodyChannelCallback& choose_channel) {
  int is_karaoke = 0;
  XfData karaoke(&path, 0, &is_karaoke);
  // Nothing read (the file was missing or refused, with its box), or no song track.
  if (karaoke.used_size == 0 || karaoke.track == nullptr || karaoke.state != kSongNotes ||
      karaoke.track->event_count == 0) {
    return false;
  }
  song.Clear();
  karaoke.SetDivision(kImportDivision);
  TuneStructure structure;
  structure.Analyse(karaoke, kImportDivision);
  ImportSmf(karaoke, structure, song, choose_channel);
  return true;
}
