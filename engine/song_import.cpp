#include "engine/song_import.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "music/midi0_data.h"
#include "music/ticks.h"
#include "music/xf_data.h"
#include "platform/core/files.h"
#include "song/chord_codes.h"
#include "song/song_data.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

bool IsPitch(int v) { return v >= 0; }

void MoveSlot(NoteCell& from, int fs, NoteCell& to, int ts) {
  to.slot[ts] = from.slot[fs];
  std::memcpy(to.lyric[ts], from.lyric[fs], 8);
  from.slot[fs] = NoteSlotHold;
  std::memset(from.lyric[fs], 0, 8);
}

// Slot plays of one half: which slots sound and for how long (the last slot
// takes what the others leave, so every half lasts exactly f ticks).
void HalfOf(const NoteCell& cell, int f, bool triplet, int half, HalfSlots* out) {
  out->count = 0;
  auto add = [&](int s, int duration) {
    SlotPlay& p = out->slots[out->count++];
    p.value = cell.slot[s];
    p.lyric = cell.lyric[s];
    p.duration = duration;
  };
  if (cell.slot[2] != NoteSlotVacant) {
    add(0, f / 3);
    add(1, f / 3);
    add(2, f - 2 * (f / 3));
  } else if (cell.slot[1] == NoteSlotHold) {
    add(0, f);
  } else if (triplet) {
    const int u = f == ticks::kEighth ? f / 2 : (2 * f / 3) / 2;
    if (half == 0) {
      add(0, f - u);
      add(1, u);
    } else {
      add(0, u);
      add(1, f - u);
    }
  } else {
    add(0, f / 2);
    add(1, f - f / 2);
  }
}

}  // namespace

void BeatSlots(NoteCell& c0, NoteCell& c1, bool triplet, HalfSlots* half0, HalfSlots* half1) {
  int f0 = ticks::kEighth, f1 = ticks::kEighth;
  if (triplet) {
    if (IsPitch(c1.slot[0]) && IsPitch(c1.slot[1]) && c0.slot[2] == NoteSlotVacant)
      MoveSlot(c1, 0, c0, 2);
    if (c1.slot[1] >= NoteSlotRest && c1.slot[2] == NoteSlotVacant) c1.slot[2] = NoteSlotHold;
    if (c0.slot[1] >= NoteSlotRest && c0.slot[2] == NoteSlotVacant) MoveSlot(c0, 1, c0, 2);
    const bool thirds_empty = c0.slot[2] == NoteSlotVacant && c1.slot[2] == NoteSlotVacant;
    if (thirds_empty && (c0.slot[0] == NoteSlotHold || c1.slot[0] == NoteSlotHold ||
                         (c0.slot[1] == NoteSlotHold && c1.slot[1] == NoteSlotHold))) {
      f0 = 64;
      f1 = 32;
    }
  }
  HalfOf(c0, f0, triplet, 0, half0);
  HalfOf(c1, f1, triplet, 1, half1);
}

namespace {

// The import's running state.
struct Importer {
  int max_length = 0;
  bool triplet = false;
  // Pending melody event.
  int value = NoteSlotVacant;
  int length = 0;
  bool lyric = false;
  // Chord input.
  char code[4] = {};
  uint8_t bass = 0;
  int accumulated = 0;
  int entries = 0;
  bool entries_full = false;

  void CloseEvent() {
    if (length > 0) {
      // A vacant or negative value holding time is a rest.
      const int pitch = value >= 0 ? value : 0;
      EventList& vocal = VocalMelodyList();
      EventList& instrumental = InstrumentalMelodyList();
      if (pitch == 0) {
        vocal.AppendNote(length, 0);
        instrumental.AppendNote(length, 0);
      } else if (lyric) {
        vocal.AppendNote(length, pitch);
        instrumental.AppendNote(length, 0);
      } else {
        vocal.AppendNote(length, 0);
        instrumental.AppendNote(length, pitch);
      }
    }
    value = NoteSlotVacant;
    length = 0;
    lyric = false;
  }

  void WriteEntry() {
    if (accumulated <= 0) return;  // never an entry of length 0: it would end the input
    if (entries >= kChordInputEntries) {
      if (!entries_full) ShowErrorByCode(kEditInitError);
      entries_full = true;
      return;
    }
    ChordEntry entry;
    entry.length = static_cast<uint16_t>(std::min(accumulated, 0xFFFF));
    std::memcpy(entry.code, code, 4);
    const char digits[2] = {static_cast<char>('0' + bass / 10 % 10), static_cast<char>('0' + bass % 10)};
    ComposeInfo().SetChordInputEntry(entries, entry, digits);
    ++entries;
  }
};

// The chord code of an 8-byte chord name field.
void CodeOfName(const char* field, char* code4) {
  char name[12] = {};
  std::memcpy(name, field, 8);
  ChordNameToCode(name);
  std::memcpy(code4, name, 4);
}

bool FieldIs(const char* field, const char* text) { return std::strncmp(field, text, 8) == 0; }

// The chord name a half of the beat plays, or false when the half lies beyond the
// song ("----") and is skipped whole.
bool HalfChordName(const ChordCell& chord, int h, bool triplet, char* name9) {
  std::memset(name9, 0, 9);
  if (h == 0) {
    if (FieldIs(chord.first, "----")) return false;
    std::memcpy(name9, chord.first, 8);
    return true;
  }
  if (FieldIs(chord.second, "----")) return false;
  if (triplet || chord.second[0] == 0) {
    if (FieldIs(chord.first, "----")) return false;
    std::memcpy(name9, chord.first, 8);
  } else {
    std::memcpy(name9, chord.second, 8);
  }
  return true;
}

}  // namespace

void ImportSongToEngine(CSongData& song, int bar_count, int beats_per_bar, int max_note_length) {
  VocalMelodyList().FreeEvents();
  InstrumentalMelodyList().FreeEvents();
  SkipBeats().beats.clear();
  ComposeInformation& info = ComposeInfo();
  info.ClearChordInput();
  Importer im;
  im.max_length = max_note_length;
  im.triplet = CurrentStyle().basic_beat == 3;
  CodeOfName(song.chords[0].first, im.code);
  im.bass = song.bass_first[0];
  if (song.cells[0].slot[0] == NoteSlotHold) song.cells[0].slot[0] = NoteSlotRest;
  char last_name[9] = {};
  const int bpb = std::max(1, beats_per_bar);
  const int beats = std::clamp(bar_count, 0, kImportMaxBeats) * bpb;
  for (int index = 0; index < std::min(beats, kImportMaxBeats) && !im.entries_full; ++index) {
    ChordCell& chord = song.chords[index];
    if (static_cast<uint8_t>(chord.second[0]) == 0xCD) chord.second[0] = 0;
    if (FieldIs(chord.first, "Skip")) {
      SkipBeats().beats.push_back(index);
      continue;
    }
    NoteCell cells[2] = {song.cells[2 * index], song.cells[2 * index + 1]};
    HalfSlots halves[2];
    BeatSlots(cells[0], cells[1], im.triplet, &halves[0], &halves[1]);
    for (int h = 0; h < 2; ++h) {
      char name[9];
      if (!HalfChordName(chord, h, im.triplet, name)) continue;
      if (name[0] == 0) std::memcpy(name, last_name, 9);
      else std::memcpy(last_name, name, 9);
      char code[4] = {};
      if (name[0] != 0) CodeOfName(name, code);
      const uint8_t b = (h == 0 || im.triplet) ? song.bass_first[index] : song.bass_second[index];
      const bool has_code = code[0] != 0;
      if ((has_code || im.accumulated >= 2 * ticks::kBar) &&
          (std::memcmp(code, im.code, 4) != 0 || im.accumulated >= 2 * bpb * ticks::kBeat ||
           b != im.bass)) {
        im.WriteEntry();
        im.accumulated = 0;
        if (has_code) std::memcpy(im.code, code, 4);
        im.bass = b;
      }
      for (int s = 0; s < halves[h].count; ++s) {
        const SlotPlay& play = halves[h].slots[s];
        if (play.value != NoteSlotHold) {
          im.CloseEvent();
          // A vacant slot where a note could stand is a rest.
          im.value = play.value == NoteSlotVacant ? NoteSlotRest : play.value;
          im.lyric = play.lyric[0] != 0;
        }
        im.length += play.duration;
      }
      im.accumulated += ticks::kEighth;
    }
  }
  im.CloseEvent();
  VocalMelodyList().SplitLongNotes(max_note_length);
  InstrumentalMelodyList().SplitLongNotes(max_note_length);
  MelodyInputCopy().CopyFrom(VocalMelodyList());
  im.WriteEntry();
}

void BuildChordBlocksFromInput(int* beat_count) {
  ComposeInformation& info = ComposeInfo();
  ClearEventListArray(info.section_chords);
  SetChordTemplateKey("CMPS");
  info.section_count = 0;
  info.section_id_count = 0;
  int beats = 0;
  const int count = info.ChordInputCount();
  for (int i = 0; i < count; ++i) {
    if (i % 4 == 0) {
      if (info.section_count >= kSectionCapacity) break;
      ++info.section_count;
      info.AddSectionId(info.section_count);
    }
    const ChordEntry entry = info.ChordInputEntry(i);
    const ChordBlock block(entry, info.bass_digits[i][0] ? std::string(info.bass_digits[i], 2).c_str() : nullptr);
    beats += block.length / ticks::kQuarter;
    info.section_chords[static_cast<size_t>(info.section_count - 1)].AppendChordMarker(block);
  }
  // The input ends at the buffer's end at the latest.
  const size_t end_mark = static_cast<size_t>(kChordInputEntries) * kChordEntrySize;
  if (count == kChordInputEntries && end_mark + 1 < kChordInputSize &&
      (info.chord_input[end_mark] != 0 || info.chord_input[end_mark + 1] != 0))
    ShowErrorByCode(kEditInitError);
  if (beat_count != nullptr) *beat_count = beats;
}

void AddLyricEvent(MidiTrack& track, int delta, const char* lyric, int lyric_mode, int slot_value) {
  std::string text = lyric != nullptr ? lyric : "";
  if (text == "-") text = " ";
  std::string out;
  switch (lyric_mode) {
    case 0: out = text; break;
    case 1: out = GneSolfegeName(slot_value); break;
    case 2: out = "(" + GneSolfegeName(slot_value) + ")" + text; break;
    default: break;
  }
  // At most 63 bytes, never half of a double-byte character.
  if (out.size() > 63) {
    size_t n = 0;
    while (n < out.size()) {
      const uint8_t c = static_cast<uint8_t>(out[n]);
      const size_t w = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
      if (n + w > 63) break;
      n += w;
    }
    out.resize(n);
  }
  track.AddMetaEvent(delta, 0x05, out.data(), static_cast<int32_t>(out.size()));
}

bool AddLyricsToMidi(const CSongData& song, const std::filesystem::path& path, int lyric_mode) {
  std::unique_ptr<CSongData> copy = CSongData::CopyFromBars(song, 0, song.bar_count);
  if (!copy) return false;
  copy->RemoveSkipBeats();
  const int64_t size = plat::FileSize(path);
  if (size <= 0) {
    ShowErrorByCode(kEditInitError);
    return false;
  }
  // The song is loaded into a buffer sized to the file, with room for the lyrics' growth.
  const int64_t capacity = std::max<int64_t>(393216, 4 * size + 65536);
  Midi0Data midi(path, static_cast<int32_t>(std::min<int64_t>(capacity, INT32_MAX / 2)));
  if (midi.track == nullptr || midi.track->event_count == 0) return false;
  midi.SetDivision(480);
  midi.track->SwapChannels(1, 0);
  auto lyrics = std::make_unique<MidiTrack>(kTrackEvents, static_cast<int32_t>(std::min<int64_t>(capacity, INT32_MAX / 2)));
  const bool triplet = CurrentStyle().basic_beat == 3;
  int64_t delta = 0;
  const int bpb = std::max(1, copy->beats_per_bar);
  const int beats = std::min(copy->bar_count * bpb, kImportMaxBeats);
  for (int index = 0; index < beats; ++index) {
    NoteCell cells[2] = {copy->cells[2 * index], copy->cells[2 * index + 1]};
    HalfSlots halves[2];
    BeatSlots(cells[0], cells[1], triplet, &halves[0], &halves[1]);
    for (int h = 0; h < 2; ++h) {
      const HalfSlots& half = halves[h];
      char name[9];
      if (!HalfChordName(copy->chords[index], h, triplet, name)) continue;
      for (int s = 0; s < half.count; ++s) {
        const SlotPlay& play = half.slots[s];
        char lyric[9] = {};
        std::memcpy(lyric, play.lyric, 8);
        // A lyric belongs to a slot that starts a sung note.
        if (lyric[0] != 0 && play.value >= 0) {
          AddLyricEvent(*lyrics, static_cast<int>(delta), lyric, lyric_mode, play.value);
          delta = 0;
        }
        delta += play.duration * 5;
      }
    }
  }
  XfData karaoke(*midi.track, lyrics.release(), 480);
  karaoke.AddEndOfTracks(static_cast<int32_t>(delta));
  if (karaoke.track != nullptr) karaoke.track->MoveGmSystemOnFirst();
  return karaoke.SaveFile(path) == 1;
}
