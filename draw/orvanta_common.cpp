#include "draw/orvanta_common.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "draw/staff_picture.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "music/midi_loader.h"

namespace {

struct LengthType {
  int ticks;
  int type;
};
const LengthType kLengths[] = {{60, kNoteSixteenth},  {120, kNoteEighth},
                               {180, kNoteDottedEighth}, {240, kNoteQuarter},
                               {360, kNoteDottedQuarter}, {480, kNoteHalf},
                               {600, kNoteHalfAndEighth}, {720, kNoteDottedHalf},
                               {840, kNoteDoubleDottedHalf}, {960, kNoteWhole}};

constexpr int kChordMember = kNoteContinuation;   // 16
constexpr int kLongChordMember = 17;

int DisplayedCells(int rows, int bars_per_row) {
  if (rows <= 0 || bars_per_row <= 0) return 0;
  return rows * bars_per_row;
}

}  // namespace

COrvantaCommon::~COrvantaCommon() = default;

int COrvantaCommon::StaffNoteTypeOf(int length, int gap) {
  for (const LengthType& v : kLengths)
    if (length >= 0.8 * v.ticks && gap <= v.ticks) return v.type;
  for (const LengthType& v : kLengths)
    if (length >= 0.8 * v.ticks && length <= v.ticks) return v.type;
  if (length < 0.8 * 60) return kNoteSixteenth;
  if (length >= 0.8 * 960) return kNoteWhole;
  return kNoteEighth;
}

void COrvantaCommon::ClearStaffRows(int rows, int bars_per_row, CRhythmStaffPicture* picture,
                                    int first_cell) {
  if (picture == nullptr) return;
  for (int k = 0; k < DisplayedCells(rows, bars_per_row); ++k) picture->ClearRow(first_cell + k);
}

void COrvantaCommon::WriteBarNumbers(int rows, int bars_per_row, CRhythmStaffPicture* picture,
                                     int first_cell, int first_bar) {
  if (picture == nullptr) return;
  for (int k = 0; k < DisplayedCells(rows, bars_per_row); ++k) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", first_bar + k + 1);
    picture->ClearLabels(first_cell + k);
    picture->AddLabel(first_cell + k, text, 2, 2);
  }
}

void COrvantaCommon::ShowTracksOnStaff(int rows, int bars_per_row, CRhythmStaffPicture* picture,
                                       int first_cell, const Midi1Data* song, int first_bar,
                                       int channel, int beats_per_bar) {
  ClearStaffRows(rows, bars_per_row, picture, first_cell);
  WriteBarNumbers(rows, bars_per_row, picture, first_cell, first_bar);
  ShowTrack(picture, first_cell, song, channel, beats_per_bar, first_bar, rows, bars_per_row);
}

void COrvantaCommon::ShowTrack(CRhythmStaffPicture* picture, int first_cell,
                               const Midi1Data* song, int channel, int beats_per_bar,
                               int first_bar, int rows, int bars_per_row) {
  if (picture == nullptr || song == nullptr || channel < 0 || channel > 15) return;
  if (channel + 1 >= song->track_count) return;
  const MidiTrack* track = song->Track(channel + 1);
  if (track == nullptr || beats_per_bar <= 0 || first_bar < 0) return;
  const int shown = DisplayedCells(rows, bars_per_row);
  const long long bar_length = static_cast<long long>(beats_per_bar) * kDivision;
  const long long view_start = first_bar * bar_length;
  const long long view_end = view_start + shown * bar_length;

  // The notes in order with their start ticks.
  const std::vector<int64_t> ticks = track->EventTicks();
  struct Note { long long start; int pitch; int duration; };
  std::vector<Note> notes;
  for (int32_t i = 0; i < track->event_count; ++i) {
    const MidiEvent* e = track->Event(i);
    if (e == nullptr || e->status != kStatusNote) continue;
    notes.push_back({ticks[i], e->note, std::max(0, e->duration)});
  }

  long long previous_start = -1;
  for (size_t n = 0; n < notes.size(); ++n) {
    const Note& note = notes[n];
    const bool chord_member = note.start == previous_start;
    previous_start = note.start;
    if (note.start < view_start || note.start >= view_end) continue;
    const int k = static_cast<int>((note.start - view_start) / bar_length);
    const int cell = first_cell + k;
    const int at = static_cast<int>(note.start % bar_length);
    if (channel == 9) {
      picture->QueueDrumEvent(cell, note.pitch, at, 0);
      continue;
    }
    // The time to the next later start (a chord's own members do not count);
    // after the last note, the rest of its bar.
    long long gap = bar_length - at;
    for (size_t m = n + 1; m < notes.size(); ++m) {
      if (notes[m].start > note.start) {
        gap = notes[m].start - note.start;
        break;
      }
    }
    const int gap_ticks = static_cast<int>(std::min<long long>(gap, 1 << 30));
    auto type_of = [&](int length) {
      const int type = StaffNoteTypeOf(length, gap_ticks);
      if (!chord_member) return type;
      return (type >= kNoteHalf && type <= kNoteWhole) ? kLongChordMember : kChordMember;
    };
    const int until_bar_end = static_cast<int>(bar_length - at);
    if (note.duration <= until_bar_end) {
      picture->QueueNote(cell, note.pitch, at, 0, type_of(note.duration), 0);
      continue;
    }
    picture->QueueNote(cell, note.pitch, at, 0, type_of(until_bar_end), 1);
    if (k + 1 < shown) {
      // The carried part fills at most the next bar.
      const int rest = static_cast<int>(
          std::min<long long>(note.duration - until_bar_end, bar_length));
      picture->QueueNote(cell + 1, note.pitch, 0, 0, type_of(rest), 0);
    }
  }

  for (int k = 0; k < shown; ++k) picture->FlushRow(first_cell + k);
  // Rests in the bars the song covers, counted from the first shown bar.
  // The song's end: read from the notes where they hold their lengths, which spares a
  // conversion of every track on each scroll.
  long long length = 0;
  for (int32_t t = 0; t < song->track_count; ++t) {
    const MidiTrack* each = song->Track(t);
    if (each == nullptr) continue;
    length = std::max<long long>(length, each->mode == kTrackNotes ? each->GetEndTime()
                                                                   : each->GetLength());
  }
  const long long song_bars = (length + bar_length - 1) / bar_length;
  const long long covered = std::min<long long>(std::max<long long>(song_bars - first_bar, 0),
                                                shown);
  for (int k = 0; k < covered; ++k) picture->FillRests(first_cell + k, beats_per_bar);
  picture->FlushAll();
  picture->BlitAll();
}

int COrvantaCommon::LoadSmf(const std::string& path_or_filter, Midi1Data** song,
                            int program) {
  if (song == nullptr) return 0;
  MidiLoader loader(path_or_filter);
  if (loader.file_size == 0 || loader.song == nullptr) return 0;
  const Midi1Data& loaded = *loader.song;
  // Ticks per quarter (an SMPTE time base is no musical division: refused).
  if (loaded.division <= 0) {
    MidiLoader::ErrorMsg(kMdldNotMidi);
    return 0;
  }
  // The copy gives every track at least its source's room, so a track the loader
  // took is never refused for want of space.
  auto* copy = new Midi1Data(loaded, std::max<int32_t>(kTrackCapacity, loaded.capacity));
  delete *song;
  *song = copy;
  for (int32_t t = 0; t < copy->track_count; ++t)
    copy->tracks[t]->ConvertDivision(copy->division, kDivision);
  copy->division = kDivision;
  ClampLongNotes(copy);
  SplitByChannel(copy, program);
  return 1;
}

void COrvantaCommon::ClampLongNotes(Midi1Data* song) {
  if (song == nullptr) return;
  for (int32_t t = 0; t < song->track_count; ++t) {
    MidiTrack* track = song->Track(t);
    if (track == nullptr) continue;
    for (int32_t i = 0; i < track->event_count; ++i) {
      MidiEvent* e = track->Event(i);
      if (e != nullptr && e->status == kStatusNote && e->duration > kLongestNote)
        e->duration = kLongestNote;
    }
  }
}

void COrvantaCommon::SplitByChannel(Midi1Data* song, int program) {
  if (song == nullptr) return;
  std::vector<Midi1Track*> places(kSlotCount, nullptr);
  std::vector<Midi1Track*> dropped;
  for (int32_t t = 0; t < song->track_count; ++t) {
    Midi1Track* track = song->tracks[t];
    if (track == nullptr) continue;
    const int channel = track->GetChannel();
    // Second-port channels 16..31 go with their first-port channel.
    int slot = 0;
    if (channel != kNoChannel && channel >= 0) slot = (channel % 16) + 1;
    if (places[slot] == nullptr) {
      places[slot] = track;
    } else {
      dropped.push_back(track);
    }
  }
  for (Midi1Track* track : dropped) delete track;
  for (int s = 0; s < kSlotCount; ++s) {
    if (places[s] != nullptr) continue;
    Midi1Track* track = new Midi1Track(2, kTrackCapacity);
    if (s > 0) track->AddProgramChange(s - 1, program);
    track->AddEndOfTrack();
    places[s] = track;
  }
  for (int32_t t = 0; t < song->track_count; ++t) song->tracks[t] = nullptr;
  song->track_count = 0;
  for (Midi1Track* track : places) song->AddTrack(track);
  for (int t = 0; t < 2 && t < song->track_count; ++t) song->tracks[t]->MoveSysExFirst();
}
