// The sequence data of MA-1/MA-2 score tracks: up to four voices in a compact byte code, notes
// folded into four octaves by octave shifts, drums through the device's drum map, pitch bends
// wrapped in exclusive messages.
#include <algorithm>
#include <cstring>

#include "export/ringtone/smaf.h"
#include "util/byte_cursor.h"

namespace {

struct DrumRow {
  int8_t shift;
  uint8_t note;
};

// Drum notes 35-81: the octave shift and the note byte the device plays them with.
constexpr DrumRow kDrumMap[47] = {
    {-1, 0x09}, {0, 0x03}, {0, 0x22}, {0, 0x25}, {1, 0x35}, {0, 0x28}, {-2, 0x02}, {0, 0x22},
    {-2, 0x02}, {0, 0x22}, {-2, 0x02}, {0, 0x27}, {-2, 0x02}, {-2, 0x02}, {0, 0x39}, {-2, 0x02},
    {1, 0x37},  {2, 0x32}, {1, 0x3C}, {1, 0x38}, {2, 0x3B}, {0, 0x39}, {2, 0x3A}, {-2, 0x0C},
    {1, 0x36},  {0, 0x27}, {0, 0x14}, {0, 0x25}, {0, 0x14}, {0, 0x09}, {0, 0x39}, {0, 0x19},
    {0, 0x39},  {0, 0x34}, {2, 0x32}, {2, 0x38}, {0, 0x18}, {0, 0x13}, {0, 0x3B}, {-1, 0x08},
    {0, 0x29},  {0, 0x28}, {0, 0x23}, {0, 0x39}, {0, 0x1C}, {0, 0x38}, {0, 0x24}};

const DrumRow& DrumRowOf(int32_t drum_note) {
  if (drum_note < 35 || drum_note > 81) {
    SmafSequenceError(kSsqdDrum);
    drum_note = 35;
  }
  return kDrumMap[drum_note - 35];
}

// Octave-shift value byte: 0 to 4 up, 0x81 to 0x84 down.
uint8_t ShiftByte(int32_t shift) {
  return shift >= 0 ? static_cast<uint8_t>(shift) : static_cast<uint8_t>(0x80 | -shift);
}

bool DecodeShift(int32_t byte, int32_t* shift) {
  if (byte >= 0 && byte <= 4) {
    *shift = byte;
    return true;
  }
  if (byte >= 0x81 && byte <= 0x84) {
    *shift = -(byte & 0x0F);
    return true;
  }
  *shift = 0;
  return false;
}

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  // A duration; longer ones are split by no-operations. Returns where the last piece begins.
  int32_t Duration(int64_t value) {
    if (value < 0) value = 0;
    while (value > kSmafLongestTime) {
      Time(kSmafLongestTime);
      NoOp();
      value -= kSmafLongestTime;
    }
    const int32_t at = pos();
    Time(static_cast<int32_t>(value));
    return at;
  }
  void Time(int32_t value) {
    if (value < 128) {
      out_.push_back(static_cast<uint8_t>(value));
    } else {
      out_.push_back(static_cast<uint8_t>(0x80 | ((value - 128) >> 7)));
      out_.push_back(static_cast<uint8_t>(value & 0x7F));
    }
  }
  void NoOp() {
    out_.push_back(0xFF);
    out_.push_back(0x00);
  }
  void Byte(int32_t b) { out_.push_back(static_cast<uint8_t>(b)); }
  void LongControl(int32_t voice, int32_t command, int32_t value) {
    Byte(0x00);
    Byte(voice << 6 | 0x30 | command);
    Byte(value & 0xFF);
  }
  void BendExclusive(int32_t channel_byte, int32_t value_byte) {
    const uint8_t b[9] = {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, static_cast<uint8_t>(channel_byte),
                          static_cast<uint8_t>(value_byte), 0xF7};
    out_.insert(out_.end(), b, b + 9);
  }
  int32_t pos() const { return static_cast<int32_t>(out_.size()); }

 private:
  std::vector<uint8_t>& out_;
};

bool IsVoice(int32_t v) { return v >= 0 && v <= 3; }

}  // namespace

// ---- construction ----

SmafSequenceData::SmafSequenceData(const MobileTrack& source) : SmafChunk("Mtsq") {
  track = std::make_unique<MobileTrack>(source, kMobileCapacity);
  for (auto& e : track->events)
    if (e->IsControl(kKindEndOfTrack)) e->number = kKindEndOfSequence;
  bool has_end = false;
  for (const auto& e : track->events) has_end |= e->IsControl(kKindEndOfSequence);
  if (has_end) {
    track->KeepLastOfKind(kKindEndOfSequence);
  } else {
    track->AddControl(0, kAllVoices, kKindEndOfSequence, 0);
  }
  for (int v = 0; v < 4; ++v) voice_kinds[v] = track->GetVoiceKind(v);
}

SmafSequenceData::SmafSequenceData(const uint8_t* bytes, int32_t count) : SmafChunk("Mtsq") {
  if (bytes && count > 0) data.assign(bytes, bytes + std::min(count, kSmafChunkLimit));
  track = std::make_unique<MobileTrack>(kMobileCapacity);
  Decode();
  for (int v = 0; v < 4; ++v) voice_kinds[v] = track->GetVoiceKind(v);
}

SmafSequenceData::SmafSequenceData(const SmafSequenceData& other)
    : SmafChunk(other), read_position(other.read_position) {
  track = std::make_unique<MobileTrack>(*other.track, kMobileCapacity);
  std::copy(std::begin(other.voice_kinds), std::end(other.voice_kinds), voice_kinds);
}

// ---- tables ----

int32_t SmafSequenceData::BendByte(int32_t value) {
  if (value == 64) return 177;
  return std::clamp(value * 74 / 64 + 102, 89, 177);
}

int32_t SmafSequenceData::BendValue(int32_t byte) {
  if (byte == 177) return 64;
  return std::clamp((byte - 102) * 64 / 74, 0, 127);
}

int32_t SmafSequenceData::DrumShift(int32_t drum_note) { return DrumRowOf(drum_note).shift; }

int32_t SmafSequenceData::DrumNote(int32_t drum_note) {
  const uint8_t b = DrumRowOf(drum_note).note;
  return (b & 0x0F) + 12 * ((b >> 4) & 3) + 36;
}

// ---- encoding ----

namespace {

// Octave shifts already in a melodic voice go into its notes.
void FoldMelodicShifts(MobileTrack& work, const int32_t* kinds) {
  int32_t shift[4] = {};
  for (auto& e : work.events) {
    if (!IsVoice(e->voice) || kinds[e->voice] != 2) continue;
    if (e->IsControl(kKindOctaveShift)) {
      shift[e->voice] = std::clamp(e->value, -10, 10);
      e->status = kMobileEmpty;
    } else if (e->IsNote()) {
      e->note += shift[e->voice] * 12;
    }
  }
  work.Compact();
}

// A melodic voice's notes fitted into 37-84 by octave shifts placed before the notes that
// need them (and taken back after its last note); notes outside MIDI's range are dropped.
void FitMelodicVoice(const SmafSequenceData& sequence, MobileTrack& work, int32_t v) {
  auto& ev = work.events;
  int32_t e_shift = 0;
  for (int32_t i = 0; i < work.event_count(); ++i) {
    MobileEvent& e = *ev[i];
    if (!e.IsNote() || e.voice != v) continue;
    const int32_t f = e.note;
    if (f < 0 || f > 127) {
      sequence.ErrorMsg(kSsqdNote);
      e.status = kMobileEmpty;
      continue;
    }
    if (f + 12 * e_shift >= 37 && f + 12 * e_shift <= 84) {
      e.note = f + 12 * e_shift;
      continue;
    }
    if (f > 84) {
      e_shift = -((f - 85) / 12 + 1);
    } else if (f < 37) {
      e_shift = (36 - f) / 12 + 1;
    } else {
      e_shift = 0;
    }
    e.note = f + 12 * e_shift;
    work.InsertEvent(i, 2, NewMobileControl(0, v, kKindOctaveShift, -e_shift));
    ++i;
  }
  if (e_shift != 0) work.InsertEvent(work.FindLastNote(), 1, NewMobileControl(0, v, kKindOctaveShift, 0));
}

// A drum voice without shifts of its own plays the drum map of its program: each note the
// map's note, with the map's shift placed before it whenever it changes.
void MapDrumVoice(MobileTrack& work, int32_t v) {
  auto& ev = work.events;
  for (const auto& e : ev)
    if (e->voice == v && e->IsControl(kKindOctaveShift)) return;
  int32_t program = 35;
  int32_t in_force = 0;
  bool first = true;
  for (int32_t i = 0; i < work.event_count(); ++i) {
    MobileEvent& e = *ev[i];
    if (e.voice != v) continue;
    if (e.IsControl(kKindProgram)) program = e.value;
    if (!e.IsNote()) continue;
    const int32_t shift = SmafSequenceData::DrumShift(program);
    e.note = SmafSequenceData::DrumNote(program);
    if (first || shift != in_force) {
      work.InsertEvent(i, 2, NewMobileControl(0, v, kKindOctaveShift, shift));
      ++i;
      in_force = shift;
      first = false;
    }
  }
}

// Pitch-bend runs between notes get their mode exclusives: on before the first bend, off
// after the last.
void MarkBendRuns(MobileTrack& work) {
  auto& ev = work.events;
  for (int32_t i = 0; i < work.event_count(); ++i) {
    if (!ev[i]->IsControl(kKindPitchBend)) continue;
    work.InsertEvent(i, 1, NewMobileControl(0, ev[i]->voice, kKindBendMode, 0));
    int32_t j = i + 2, last = -1;
    for (; j < work.event_count() && !ev[j]->IsNote(); ++j)
      if (ev[j]->IsControl(kKindPitchBend)) last = j;
    if (last >= 0) {
      work.InsertEvent(last, 1, NewMobileControl(0, ev[last]->voice, kKindBendMode, 1));
      ++j;
    }
    i = j - 1;
  }
}

// A note: voice, octave block and key, then its gate; false when it cannot be written (a
// no-operation stands in its place).
bool WriteNote(const SmafSequenceData& sequence, const MobileEvent& e, Writer& w) {
  if (!IsVoice(e.voice)) {
    sequence.ErrorMsg(kSsqdVoiceKind);
    w.NoOp();
    return false;
  }
  if (e.note < 36) {
    sequence.ErrorMsg(kSsqdNote);
    w.NoOp();
    return false;
  }
  const int32_t n = e.note - 36;
  int32_t block = n >= 1 ? (n - 1) / 12 : -1;
  const int32_t key = n - 12 * block;
  if (block < 0 || block > 3) {
    sequence.ErrorMsg(kSsqdOctave);  // written in block 0
    block = 0;
  }
  int32_t gate = e.duration;
  if (gate < 1 || gate > kSmafLongestTime) {
    sequence.ErrorMsg(kSsqdGate);
    gate = std::clamp(gate, 1, kSmafLongestTime);
  }
  w.Byte(e.voice << 6 | block << 4 | (key & 0x0F));
  w.Time(gate);
  return true;
}

bool IsVoiceControl(uint32_t kind) {
  return kind == kKindProgram || kind == kKindBankSelect || kind == kKindVolume ||
         kind == kKindSmafExpression || kind == kKindPan || kind == kKindSmafModulation ||
         kind == kKindVoiceType || kind == kKindOctaveShift || kind == kKindPitchBend;
}

// A control: the long controls of a voice, bends and their modes as exclusives, whole
// exclusives as they are; what has no code is a no-operation.
void WriteControl(const SmafSequenceData& sequence, const MobileEvent& e, Writer& w,
                  std::vector<uint8_t>& out) {
  const uint32_t kind = e.number;
  if (IsVoiceControl(kind) && !IsVoice(e.voice)) {
    sequence.ErrorMsg(kind == kKindOctaveShift ? kSsqdShift : kSsqdVoiceKind);
    w.NoOp();
    return;
  }
  switch (kind) {
    case kKindStartStop:
    case kKindEndOfSequence:
      w.NoOp();
      break;
    case kKindExclusive: {
      const int32_t n = e.data_length;
      const uint8_t* p = e.GetDataPointer();
      if (p && n >= 4 && p[0] == 0xFF && p[1] == 0xF0 && p[2] == n - 3 && p[n - 1] == 0xF7) {
        out.insert(out.end(), p, p + n);
      } else {
        sequence.ErrorMsg(kSsqdBadExclusive);
        w.NoOp();
      }
      break;
    }
    case kKindProgram: w.LongControl(e.voice, 0, e.value); break;
    case kKindBankSelect: w.LongControl(e.voice, 1, e.value); break;
    case kKindSmafModulation: w.LongControl(e.voice, 3, e.value); break;
    case kKindVolume: w.LongControl(e.voice, 7, e.value); break;
    case kKindPan: w.LongControl(e.voice, 10, e.value); break;
    case kKindSmafExpression: w.LongControl(e.voice, 11, e.value); break;
    case kKindVoiceType:
      if (e.value == 1) {
        w.LongControl(e.voice, 1, 0x80);
      } else {
        sequence.ErrorMsg(kSsqdDrum);
        w.NoOp();
      }
      break;
    case kKindOctaveShift:
      if (e.value < -4 || e.value > 4) {
        sequence.ErrorMsg(kSsqdShift);
        w.NoOp();
      } else {
        w.LongControl(e.voice, 2, ShiftByte(e.value));
      }
      break;
    case kKindPitchBend:
      w.BendExclusive(0xB0 | e.voice, SmafSequenceData::BendByte(std::clamp(e.value, 0, 127)));
      break;
    case kKindBendMode: w.BendExclusive(0xC0, e.value == 0 ? 0x31 : 0x11); break;
    default:
      sequence.ErrorMsg(kSsqdCommand);
      w.NoOp();
      break;
  }
}

}  // namespace

bool SmafSequenceData::Encode(int64_t start, int64_t stop, int32_t* start_position,
                              int32_t* stop_position) {
  RingtoneReports().Reset();  // each report once in an encoding
  MobileTrack work(*track, kMobileCapacity);
  for (int v = 0; v < 4; ++v)
    if (voice_kinds[v] != 1 && voice_kinds[v] != 2) ErrorMsg(kSsqdVoiceKind);
  FoldMelodicShifts(work, voice_kinds);
  for (int32_t v = 0; v < 4; ++v)
    if (voice_kinds[v] == 2) FitMelodicVoice(*this, work, v);
  for (int32_t v = 0; v < 4; ++v)
    if (voice_kinds[v] == 1) MapDrumVoice(work, v);
  MarkBendRuns(work);

  // The events, each after its delay; the unit positions of the start and stop ticks.
  std::vector<uint8_t> out;
  Writer w(out);
  int64_t tick = 0, remaining = 0;
  int32_t first_note = -1, start_at = -1, stop_at = -1;
  for (const auto& e : work.events) {
    tick += e->delta;
    remaining = std::max<int64_t>(0, remaining - e->delta);
    // The position of the event is where its last duration piece begins.
    const int32_t at = w.Duration(e->delta);
    if (start >= 0 && start_at < 0 && tick >= start) start_at = at;
    if (stop >= 0 && stop_at < 0 && tick >= stop) stop_at = at;
    if (e->status == kMobileEmpty) {
      w.NoOp();
    } else if (e->IsNote()) {
      if (!WriteNote(*this, *e, w)) continue;
      if (first_note < 0) first_note = at;
      remaining = std::clamp(e->duration, 1, kSmafLongestTime);
    } else if (e->status == kMobileControl) {
      WriteControl(*this, *e, w, out);
    } else {
      ErrorMsg(kSsqdStatus);
      w.NoOp();
    }
  }
  // The end: the last note sounds out, then the end of the sequence.
  w.Duration(remaining);
  w.NoOp();
  const int32_t end_position = w.pos();
  for (int k = 0; k < 4; ++k) w.Byte(0);

  if (start >= 0 && start_at < 0) SmafChunkError(kSmcdNoStart);
  if (stop >= 0 && stop_at < 0) SmafChunkError(kSmcdNoStop);
  if (start_at < 0) start_at = first_note >= 0 ? first_note : 0;
  if (stop_at < 0) stop_at = end_position;
  if (out.size() > static_cast<size_t>(kSmafChunkLimit)) {
    ErrorMsg(kSsqdDataSize);
    data.clear();
    return false;
  }
  data = std::move(out);
  if (start_position) *start_position = start_at;
  if (stop_position) *stop_position = stop_at;
  return true;
}

// ---- decoding ----

namespace {

// A duration or gate: one byte to 127, two beyond; false when the data ends inside it.
bool ReadTime(ByteReader& in, int32_t* value) {
  if (in.AtEnd()) return false;
  const uint8_t first = in.U8();
  if ((first & 0x80) == 0) {
    *value = first;
    return true;
  }
  if (in.AtEnd()) return false;
  *value = (first & 0x3F) * 128 + in.U8() + 128;
  return true;
}

// A control after its 00 byte: the short controls of a class, the long ones with their value
// byte, and the end of the sequence. False when the data ends inside it.
bool DecodeControl(const SmafSequenceData& sequence, ByteReader& in, MobileTrack& track,
                   int32_t duration) {
  if (in.AtEnd()) return false;
  const uint8_t b = in.U8();
  const int32_t voice = b >> 6, cls = (b >> 4) & 3, c = b & 0x0F;
  if (cls == 0 && c == 0 && duration == 0) {
    in.Skip(std::min<size_t>(1, in.remaining()));
    track.AddControl(duration, kAllVoices, kKindEndOfSequence, 0);
    return true;
  }
  if (cls == 0) {
    track.AddControl(duration, voice, kKindSmafExpression, c);
    return true;
  }
  if (cls == 1) {
    track.AddControl(duration, voice, kKindPitchBend, c);
    return true;
  }
  if (cls == 2) {
    track.AddControl(duration, voice, kKindSmafModulation, c);
    return true;
  }
  if (in.AtEnd()) return false;
  const int32_t value = in.U8();
  switch (c) {
    case 0: track.AddControl(duration, voice, kKindProgram, value); break;
    case 1:
      if (value == 0x80) {
        track.AddControl(duration, voice, kKindVoiceType, 1);
      } else {
        track.AddControl(duration, voice, kKindBankSelect, value);
      }
      break;
    case 2: {
      int32_t shift = 0;
      if (!DecodeShift(value, &shift)) sequence.ErrorMsg(kSsqdShift);
      track.AddControl(duration, voice, kKindOctaveShift, shift);
      break;
    }
    case 3: track.AddControl(duration, voice, kKindSmafModulation, value); break;
    case 4: track.AddControl(duration, voice, kKindPitchBend, value); break;
    case 7: track.AddControl(duration, voice, kKindVolume, value); break;
    case 10: track.AddControl(duration, voice, kKindPan, value); break;
    case 11: track.AddControl(duration, voice, kKindSmafExpression, value); break;
    default:
      sequence.ErrorMsg(kSsqdUndefined);
      track.AddNop(duration);
      break;
  }
  return true;
}

// An event after its FF byte: a no-operation, or an exclusive (the bend exclusives become
// bends and bend modes, others are kept whole). False when the data ends inside it.
bool DecodeExtended(const SmafSequenceData& sequence, ByteReader& in, MobileTrack& track,
                    int32_t duration) {
  if (in.AtEnd()) return false;
  const uint8_t second = in.U8();
  if (second == 0x00) {
    track.AddNop(duration);
    return true;
  }
  if (second != 0xF0) {
    sequence.ErrorMsg(kSsqdUndefined);
    track.AddNop(duration);
    return true;
  }
  if (in.AtEnd()) return false;
  const size_t length = in.U8();
  if (length == 0 || length > in.remaining()) {
    sequence.ErrorMsg(kSsqdBadExclusive);
    return false;
  }
  const uint8_t* body = in.Here();
  in.Skip(length);
  if (body[length - 1] != 0xF7) sequence.ErrorMsg(kSsqdBadExclusive);
  if (length >= 5 && body[0] == 0x43 && body[1] == 0x03 && body[2] == 0x90) {
    const uint8_t channel = body[3];
    if ((channel & 0xF0) == 0xC0) {  // the bend mode around a run of bends
      track.AddControl(duration, kAllVoices, kKindBendMode, body[4] == 0x31 ? 0 : 1);
    } else {
      track.AddControl(duration, channel & 0x03, kKindPitchBend,
                       SmafSequenceData::BendValue(body[4]));
    }
    return true;
  }
  auto e = std::make_unique<MobileEvent>(duration);
  e->status = kMobileControl;
  e->number = kKindExclusive;
  e->voice = kAllVoices;
  std::vector<uint8_t> whole = {0xFF, 0xF0, static_cast<uint8_t>(length)};
  whole.insert(whole.end(), body, body + length);
  e->SetDataQuietly(whole.data(), static_cast<int32_t>(whole.size()));
  track.Append(std::move(e));
  return true;
}

// The octave shifts read go into the notes after them.
void ApplyDecodedShifts(const SmafSequenceData& sequence, MobileTrack& track) {
  int32_t shift[4] = {};
  for (auto& e : track.events) {
    if (!IsVoice(e->voice)) continue;
    if (e->IsControl(kKindOctaveShift)) {
      shift[e->voice] = e->value;
      e->status = kMobileEmpty;
    } else if (e->IsNote()) {
      e->note += 12 * shift[e->voice];
      if (e->note < 0 || e->note > 127) {  // a shift no written file makes
        sequence.ErrorMsg(kSsqdNote);
        e->status = kMobileEmpty;
      }
    }
  }
  track.Compact();
}

}  // namespace

void SmafSequenceData::Decode() {
  RingtoneReports().Reset();  // each report once in a decoding
  ByteReader in(data.data(), data.size());
  while (!in.AtEnd()) {
    read_position = static_cast<int32_t>(in.pos());
    int32_t duration = 0;
    if (!ReadTime(in, &duration) || in.AtEnd()) break;
    const uint8_t first = in.U8();
    if (first == 0x00) {
      if (!DecodeControl(*this, in, *track, duration)) break;
    } else if (first == 0xFF) {
      if (!DecodeExtended(*this, in, *track, duration)) break;
    } else {
      const int32_t voice = first >> 6;
      const int32_t note = (first & 0x0F) + 12 * ((first >> 4) & 3) + 36;
      int32_t gate = 0;
      if (!ReadTime(in, &gate)) break;
      track->AddNote(duration, voice, note, gate, 0);
    }
  }
  read_position = static_cast<int32_t>(in.pos());
  ApplyDecodedShifts(*this, *track);
}

int FuzzSmafSequence(const uint8_t* bytes, size_t size) {
  RingtoneReports().Reset();
  SmafSequenceData parsed(bytes, static_cast<int32_t>(std::min<size_t>(size, kSmafChunkLimit)));
  for (const auto& e : parsed.track->events) {
    if (e->IsNote() && (e->note < 0 || e->note > 127 || e->duration < 0)) return 1;
    if (e->delta < 0) return 2;
  }
  // What was read encodes again within the chunk.
  int32_t a = 0, b = 0;
  if (parsed.Encode(-1, -1, &a, &b)) {
    if (a < 0 || b < 0 || a > parsed.data_size() || b > parsed.data_size()) return 3;
  }
  return 0;
}
