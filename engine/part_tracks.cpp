#include "engine/part_tracks.h"

#include <algorithm>
#include <cstring>

#include "engine/engine_state.h"
#include "music/controllers.h"
#include "music/midi1_data.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

MidiEvent* NewNote(int channel, int delta, int pitch, int velocity, int length) {
  auto* e = new MidiEvent(delta);
  e->SetNote(channel, pitch, velocity, length);
  const uint8_t data = 0x10;
  e->SetDataQuietly(&data, 1);
  return e;
}

MidiEvent* NewController(int channel, int delta, int number, int value) {
  auto* e = new MidiEvent(delta);
  e->SetControlChange(channel, number, value);
  const uint8_t data[3] = {0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value)};
  e->SetDataQuietly(data, 3);
  return e;
}

MidiEvent* NewBend(int channel, int delta, int msb, int lsb) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusPitchBend;
  e->channel = channel;
  e->note = lsb & 0x7F;
  e->value = msb & 0x7F;
  const uint8_t data[3] = {0xE0, static_cast<uint8_t>(lsb & 0x7F), static_cast<uint8_t>(msb & 0x7F)};
  e->SetDataQuietly(data, 3);
  return e;
}

namespace {

// A system-exclusive event stored as in a file: F0, the length of the rest, the rest.
MidiEvent* NewSysEx(const uint8_t* body, int n) {
  auto* e = new MidiEvent(0);
  e->status = kStatusSysEx;
  std::vector<uint8_t> bytes;
  bytes.push_back(0xF0);
  bytes.push_back(static_cast<uint8_t>(n));
  bytes.insert(bytes.end(), body, body + n);
  e->SetDataQuietly(bytes.data(), static_cast<int32_t>(bytes.size()));
  return e;
}

// Appends without the track's event limit: engine tracks hold what they are given.
void Append(MidiTrack& track, MidiEvent* e) { track.InsertEvent(track.event_count - 1, 1, e); }

void AppendRest(MidiTrack& track, int channel, int delta, int length) {
  AddNote(track, channel, delta, 0, 0, length);
}

const int kScaleTuning7[12] = {0, -8, 4, 16, -14, -2, -10, 2, 14, -16, 14, -12};
const int kScaleTuning8[12] = {-6, 45, -2, -12, -51, -8, 43, -4, 47, 0, -10, -49};

int GsPartBlock(int channel) {
  if (channel == 9) return 0x10;
  if (channel < 9) return 0x11 + channel;
  return 0x1A + (channel - 10);
}

void WriteScaleTuning(MidiTrack& track, int channel) {
  const int mode = SoundModuleMode();
  const int scale = CurrentStyle().scale;
  if ((scale != 7 && scale != 8) || (mode != 0 && mode != 1)) return;
  const int* cents = scale == 7 ? kScaleTuning7 : kScaleTuning8;
  if (mode == 0) {
    for (int i = 0; i < 12; ++i) {
      const uint8_t body[8] = {0x43, 0x10, 0x4C, 0x08, static_cast<uint8_t>(channel & 0x0F),
                               static_cast<uint8_t>(0x41 + i), static_cast<uint8_t>(64 + cents[i]),
                               0xF7};
      Append(track, NewSysEx(body, 8));
    }
    return;
  }
  uint8_t body[21] = {0x41, 0x10, 0x42, 0x12, 0x40, static_cast<uint8_t>(GsPartBlock(channel)),
                      0x40};
  int sum = 0x40 + body[5] + 0x40;
  for (int i = 0; i < 12; ++i) {
    body[7 + i] = static_cast<uint8_t>(64 + cents[i]);
    sum += body[7 + i];
  }
  body[19] = static_cast<uint8_t>((128 - sum % 128) % 128);
  body[20] = 0xF7;
  Append(track, NewSysEx(body, 21));
}

}  // namespace

void AddNote(MidiTrack& track, int channel, int delta, int pitch, int velocity, int length) {
  if (length < 0) length = 0;
  if (pitch > 127 || (pitch < 13 && velocity != 0)) {
    pitch = 0;
    velocity = 0;
  }
  if (pitch == 0 && velocity == 0) length = 1;
  Append(track, NewNote(channel, delta, pitch, velocity, length));
}

void AddNoteInRange(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                    int length, int low, int high) {
  if (length < 0) length = 0;
  if (pitch > 127 || (pitch < 13 && velocity != 0)) {
    pitch = 0;
    velocity = 0;
  }
  if (pitch > 0) {
    if (pitch < low) pitch += (low - pitch + 11) / 12 * 12;
    if (pitch > high) pitch -= (pitch - high + 11) / 12 * 12;
    if (pitch < 0 || pitch > 127) pitch = 0;
  }
  if (pitch == 0 && velocity == 0) length = 1;
  Append(track, NewNote(channel, delta, pitch, velocity, length));
}

namespace {

// The grace-note fallback of the bend ornaments: 4 ticks used, or 0 for a
// plain note.
int GraceInsteadOfBend(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                       int length, int bend_ticks) {
  if (bend_ticks >= 8) {
    AddNote(track, channel, delta, pitch - 1, velocity, 4);
    AddNote(track, channel, 4, pitch, velocity, length - 4);
    return 4;
  }
  AddNote(track, channel, delta, pitch, velocity, length);
  return 0;
}

}  // namespace

namespace {

// The start every bend ornament shares: a rest for a pitch below 12, the grace-note
// fallback where the channel cannot bend, else the note itself. True when nothing
// more is to be written (*used then holds the ticks used).
bool WroteWithoutBend(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                      int length, int bend_ticks, int* used) {
  *used = 0;
  if (pitch < 12) {
    AppendRest(track, channel, delta, length);
    return true;
  }
  if (!track.IsBendableProgram(channel)) {
    *used = GraceInsteadOfBend(track, channel, delta, pitch, velocity, length, bend_ticks);
    return true;
  }
  AddNote(track, channel, delta, pitch, velocity, length);
  return false;
}

}  // namespace

int AddNoteBentFromAbove(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length, int bend_ticks) {
  int used = 0;
  if (WroteWithoutBend(track, channel, delta, pitch, velocity, length, bend_ticks, &used)) return used;
  Append(track, NewBend(channel, 0, 68, 0));
  Append(track, NewBend(channel, bend_ticks, 64, 0));
  return bend_ticks;
}

int AddNoteBentFromBelow(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length, int bend_ticks) {
  int used = 0;
  if (WroteWithoutBend(track, channel, delta, pitch, velocity, length, bend_ticks, &used)) return used;
  if (bend_ticks <= 0) return 0;
  Append(track, NewBend(channel, 0, 58, 68));
  Append(track, NewBend(channel, bend_ticks, 64, 0));
  return bend_ticks;
}

int AddNoteWithBendGlide(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length, int step_ticks) {
  int used = 0;
  if (WroteWithoutBend(track, channel, delta, pitch, velocity, length, step_ticks, &used)) return used;
  if (step_ticks <= 0) return 0;
  Append(track, NewBend(channel, 0, 60, 68));
  static const int kSteps[5] = {62, 63, 64, 65, 64};
  for (int msb : kSteps) Append(track, NewBend(channel, step_ticks, msb, 0));
  return 5 * step_ticks;
}

int AddNoteWithBendFlick(MidiTrack& track, int channel, int delta, int pitch, int velocity,
                         int length) {
  if (pitch < 12) {
    AppendRest(track, channel, delta, length);
    return 0;
  }
  AddNote(track, channel, delta, pitch, velocity, length);
  if (length < ticks::kSixteenth || !track.IsBendableProgram(channel)) return 0;
  int h = 8;
  int l = 8;
  if (length > ticks::kQuarter) {
    h = GneRandomRange(8, 16);
    l = GneRandomRange(8, 16);
  }
  int x = 64;
  const int m = GneRandomRange(1, 3);
  if (m != 1) {
    if (length > ticks::kQuarter) {
      x = GneRandomRange(1, 2) == 1 ? 48 : 80;
    } else if (GneRandomRange(1, 3) == 1) {
      x = 48;
    } else {
      x = GneRandomRange(1, 2) == 1 ? 80 : 64;
    }
  }
  Append(track, NewBend(channel, h, x, 68));
  Append(track, NewBend(channel, l, 64, 0));
  return h + l;
}

void AddSustainPedal(MidiTrack& track, int channel, int delta, int value) {
  Append(track, NewController(channel, delta, cc::kSustain, value));
}

void InsertFineTuneRpn(MidiTrack& track, int channel, int delay_ticks) {
  int32_t first = -1;
  for (int32_t i = 0; i < track.event_count; ++i) {
    if (track.events[i]->status == kStatusNote) {
      first = i;
      break;
    }
  }
  if (first < 0) return;
  track.events[first]->delta += delay_ticks;
  // Inserted before the note in this order, at delta 0: the note keeps its delayed time.
  static const int kRpn[4][2] = {
      {cc::kRpnMsb, 0}, {cc::kRpnLsb, 1}, {cc::kDataEntry, 56}, {cc::kDataEntryLsb, 0}};
  for (int k = 3; k >= 0; --k)
    track.InsertEvent(first, 2, NewController(channel, 0, kRpn[k][0], kRpn[k][1]));
}

void SetPanControllers(MidiTrack& track, int value) {
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    if (e->status == kStatusController && e->number == cc::kPan) {
      e->value = value;
      e->SetDataByte(2, value);
    }
  }
}

std::unique_ptr<Midi1Track> MakeDetunedDouble(const MidiTrack& track, int channel,
                                              int double_channel, const MixerRecord& mixer) {
  std::unique_ptr<Midi1Track> copy(CopyPartTrack(track));
  copy->ChangeChannel(channel, double_channel);
  InsertFineTuneRpn(*copy, double_channel, mixer.double_delay);
  SetPanControllers(*copy, (mixer.pan - 40) & 127);
  return copy;
}

void ShiftPartOctaves(MidiTrack& track, int channel, int64_t octaves) {
  // 0..127 spans less than 11 octaves: a larger shift lands where 11 octaves do.
  const int64_t folded = std::clamp<int64_t>(octaves, -11, 11);
  if (folded != 0) track.Transpose(channel, static_cast<int32_t>(12 * folded));
}

void WritePartHeader(MidiTrack& track, int channel, int program, const MixerRecord& mixer,
                     int first_delta) {
  const int mode = SoundModuleMode();
  if (program == 129 || program > 133 || program < 0) {
    ShowErrorByCode(kBadExtendedInstrument);
  } else if (channel == 9) {
    if (program != 0) Append(track, [&] {
        auto* e = new MidiEvent(0);
        e->SetProgramChange(channel, program & 0x7F);
        const uint8_t data[2] = {0xC0, static_cast<uint8_t>(program & 0x7F)};
        e->SetDataQuietly(data, 2);
        return e;
      }());
  } else {
    // (bank msb, bank lsb or -1 for none, program) per module: GM, XG, GS.
    int msb = 0, lsb = -1, p = program;
    if (program <= 127) {
      lsb = mode == 2 ? -1 : 0;
    } else {
      struct Row { int gm_program; int xg_msb, xg_lsb, xg_program; int gs_msb, gs_program; };
      static const Row kRows[6] = {
          {53, 64, 0, 48, 1, 123},   // 128
          {0, 0, 0, 0, 0, 0},        // 129 (refused above)
          {112, 0, 99, 112, 11, 112},
          {112, 0, 98, 112, 10, 112},
          {40, 0, 96, 110, 8, 110},
          {90, 0, -1, 90, 8, 109},
      };
      const Row& r = kRows[program - 128];
      if (mode == 0) {
        msb = r.xg_msb; lsb = r.xg_lsb; p = r.xg_program;
      } else if (mode == 1) {
        msb = r.gs_msb; lsb = 0; p = r.gs_program;
      } else {
        msb = 0; lsb = -1; p = r.gm_program;
      }
    }
    Append(track, NewController(channel, 0, cc::kBankMsb, msb));
    if (lsb >= 0) Append(track, NewController(channel, 0, cc::kBankLsb, lsb));
    auto* e = new MidiEvent(0);
    e->SetProgramChange(channel, p);
    const uint8_t data[2] = {0xC0, static_cast<uint8_t>(p)};
    e->SetDataQuietly(data, 2);
    Append(track, e);
  }
  Append(track, NewController(channel, 0, cc::kVolume, mixer.volume));
  const int pairs[7][2] = {{cc::kReverb, mixer.reverb}, {cc::kChorus, mixer.chorus},
                           {cc::kBrightness, mixer.brightness},
                           {71, mixer.resonance},  {72, mixer.release}, {73, mixer.attack},
                           {75, mixer.decay}};
  for (const auto& pair : pairs) {
    if (pair[1] == 64 && LeadInSetting() != 1) continue;
    Append(track, NewController(channel, 0, pair[0], pair[1]));
  }
  if (track.event_count > 0) track.events[0]->delta = first_delta;
  WriteScaleTuning(track, channel);
  Append(track, NewController(channel, 0, cc::kRpnMsb, 0));
  Append(track, NewController(channel, 0, cc::kRpnLsb, 0));
  Append(track, NewController(channel, 0, cc::kDataEntry, 12));
}

int GetLeadInTicks() {
  if (LeadInSetting() == 0) return 0;
  return StyleBarTicks(CurrentStyle().metre);
}

void DropEmptyNotes(MidiTrack& track) {
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    if (e->status == kStatusNote && (e->note == 0 || e->velocity == 0)) e->MarkDeleted();
  }
  track.Compact();
}

void CloseTrack(MidiTrack& track) {
  DropEmptyNotes(track);
  int64_t t = 0;
  int64_t end = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    t += e->delta;
    if (e->status == kStatusNote) end = std::max<int64_t>(end, t + e->duration);
  }
  end = std::max(end, t);
  end = (end + ticks::kQuarter - 1) / ticks::kQuarter * ticks::kQuarter;
  const int64_t delta = std::clamp<int64_t>(end - t, 0, 2 * ticks::kBar);
  track.AddEndOfTrackAt(static_cast<int32_t>(delta));
}

int32_t PartTrackBytes(const MidiTrack& track) {
  int64_t bytes = 8 + 8 + 256;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    // A note becomes a note-on and a note-off in the file.
    bytes += e.status == kStatusNote ? 2 * (3 + 4) : MidiTrack::EventByteSize(e) + 4;
  }
  return static_cast<int32_t>(std::min<int64_t>(bytes, INT32_MAX / 4));
}

Midi1Track* CopyPartTrack(const MidiTrack& track) {
  // A track takes half of its capacity for its own chunk.
  const int32_t capacity = std::max(TrackCapacity, 2 * PartTrackBytes(track));
  return new Midi1Track(track, capacity);
}

std::vector<uint8_t> JoinPartTracks(const std::vector<const MidiTrack*>& tracks) {
  int64_t largest = TrackCapacity;
  int64_t total = 14;
  for (const MidiTrack* t : tracks) {
    largest = std::max<int64_t>(largest, 2 * int64_t{PartTrackBytes(*t)});
    total += PartTrackBytes(*t);
  }
  const int64_t room = std::min<int64_t>(std::max(largest, total + 1024), INT32_MAX / 4);
  Midi1Data song(ticks::kQuarter, static_cast<int32_t>(room));
  for (const MidiTrack* t : tracks) song.AddTrack(CopyPartTrack(*t));
  song.ToEventMode();
  song.Pack();
  std::vector<uint8_t> out;
  if (song.used_size > 0) out.assign(song.buffer, song.buffer + song.UsedBytes());
  return out;
}
