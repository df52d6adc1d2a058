// SMAF for MA-3 and later devices: one score track of 16 MIDI-like channels, thinned until its
// transfer rate fits the devices, the optional data and setup of the device generation, and the
// conversions to SMAF-data score tracks and to a song indexed by MIDI channel.
#include <algorithm>
#include <cstring>

#include "export/ringtone/smaf.h"
#include "music/midi1_data.h"
#include "util/byte_cursor.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& ScoreTrackReporter() {
  static ModuleErrorReporter reporter(
      "S3SC", "Smafのチャンクデータでエラーが発生しました。",
      {{kSmcdAverageRate, "転送レートが高いため間引きを行いました。"},
       {kSmcdPeakRate, "転送レートが高いため間引きを行いました。"}},
      {kSmcdAverageRate, kSmcdPeakRate}, {{kSmcdPeakRate, kSmcdAverageRate}});
  return reporter;
}

constexpr int32_t kAverageLimit = 500;
constexpr int32_t kPeakLimit = 630;
constexpr int32_t kPeakWarning = 1000;

void Put(std::vector<uint8_t>& out, const void* bytes, size_t n) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  out.insert(out.end(), p, p + n);
}

uint8_t Data7(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 127)); }

// Durations and gate times: one byte to 127, two to 8,191.
void PutTime(std::vector<uint8_t>& out, int32_t v) {
  if (v < 128) {
    out.push_back(static_cast<uint8_t>(v));
  } else {
    out.push_back(static_cast<uint8_t>(0x80 | (v >> 7)));
    out.push_back(static_cast<uint8_t>(v & 0x7F));
  }
}

bool ThinProtected(int32_t channel) {
  return channel == 1 || channel == 3 || channel == 9 || channel == 14 || channel == 15;
}

std::unique_ptr<MobileEvent> Exclusive(const std::vector<uint8_t>& bytes) {
  auto e = NewMobileControl(0, kAllVoices, kKindExclusive, 0);
  e->SetDataQuietly(bytes.data(), static_cast<int32_t>(bytes.size()));
  return e;
}

void PutNop(std::vector<uint8_t>& out) {
  out.push_back(0xFF);
  out.push_back(0x00);
}

void PutBadChannel(std::vector<uint8_t>& out) {
  SmafChunkError(kSmcdBadChannel);
  PutNop(out);
}

bool IsChannel(int32_t channel) { return channel >= 0 && channel <= 15; }

// A delay; longer ones are split by no-operations. Answers where its last piece begins.
int32_t PutDelay(std::vector<uint8_t>& out, int32_t event_delta) {
  int64_t delta = std::max(0, event_delta);
  while (delta > kSmafMa3LongestTime) {
    PutTime(out, kSmafMa3LongestTime);
    PutNop(out);
    delta -= kSmafMa3LongestTime;
  }
  const int32_t at = static_cast<int32_t>(out.size());
  PutTime(out, static_cast<int32_t>(delta));
  return at;
}

// A note: without its velocity when the channel's last note had the same one, then its gate.
void PutNote(std::vector<uint8_t>& out, const MobileEvent& e, int32_t* last_velocity) {
  const int32_t channel = e.voice;
  const int32_t velocity = Data7(e.velocity);
  if (velocity == last_velocity[channel]) {
    out.push_back(static_cast<uint8_t>(0x80 | channel));
    out.push_back(Data7(e.note));
  } else {
    out.push_back(static_cast<uint8_t>(0x90 | channel));
    out.push_back(Data7(e.note));
    out.push_back(static_cast<uint8_t>(velocity));
    last_velocity[channel] = velocity;
  }
  int32_t gate = std::max(0, e.duration);
  if (gate > kSmafMa3LongestTime) {
    SmafChunkError(kSmcdBadBend);
    gate = kSmafMa3LongestTime;
  }
  PutTime(out, gate);
}

// A control as its MIDI-like message; what has no message is a no-operation.
void PutControl(std::vector<uint8_t>& out, const MobileEvent& e) {
  const int32_t channel = e.voice;
  const bool channel_ok = IsChannel(channel);
  switch (e.number) {
    case kKindProgram:
      if (!channel_ok) return PutBadChannel(out);
      if (channel == 9) SmafChunkError(kSmcdBadProgram);
      out.push_back(static_cast<uint8_t>(0xC0 | channel));
      out.push_back(Data7(e.value));
      return;
    case kKindVolume:
    case kKindPan:
    case kKindSmafExpression:
    case kKindModulation: {
      if (e.number == kKindModulation && channel == kAllVoices) {
        SmafChunkError(0);
        return PutNop(out);
      }
      if (!channel_ok) return PutBadChannel(out);
      const int32_t number = e.number == kKindVolume           ? 7
                             : e.number == kKindPan            ? 10
                             : e.number == kKindSmafExpression ? 11
                                                               : 1;
      out.push_back(static_cast<uint8_t>(0xB0 | channel));
      out.push_back(static_cast<uint8_t>(number));
      out.push_back(Data7(e.value));
      return;
    }
    case kKindPitchBend:
      if (!channel_ok) return PutBadChannel(out);
      out.push_back(static_cast<uint8_t>(0xE0 | channel));
      out.push_back(Data7(e.note));
      out.push_back(Data7(e.value));
      return;
    case kKindStartStop:
    case kKindMidiMasterVolume:
    case kKindEndOfSequence:
      return PutNop(out);
    case kKindExclusive: {
      const int32_t n = e.data_length;
      const uint8_t* p = e.GetDataPointer();
      if (p && n >= 2 && p[0] == 0xF0 && p[n - 1] == 0xF7) {
        Put(out, p, static_cast<size_t>(n));
      } else {
        SmafChunkError(kSmcdBadSystemEvent);
        PutNop(out);
      }
      return;
    }
    default:
      SmafChunkError(kSmcdBadSystemEvent);
      return PutNop(out);
  }
}

}  // namespace

// ---- sequence ----

SmafMa3SequenceData::SmafMa3SequenceData(const MobileTrack& source) : SmafChunk("Mtsq") {
  track = std::make_unique<MobileTrack>(source, kMobileCapacity);
  bool has_end = false;
  for (auto& e : track->events) {
    if (e->IsControl(kKindEndOfTrack)) e->number = kKindEndOfSequence;
    if (e->IsControl(kKindExpression)) e->number = kKindSmafExpression;
    has_end |= e->IsControl(kKindEndOfSequence);
  }
  if (has_end) {
    track->KeepLastOfKind(kKindEndOfSequence);
  } else {
    track->AddControl(0, kAllVoices, kKindEndOfSequence, 0);
  }
  std::fill(std::begin(last_velocity), std::end(last_velocity), 64);
}

SmafMa3SequenceData::SmafMa3SequenceData(const uint8_t* bytes, int32_t count)
    : SmafChunk("Mtsq") {
  if (bytes && count > 0) data.assign(bytes, bytes + std::min(count, kSmafChunkLimit));
  track = std::make_unique<MobileTrack>(kMobileCapacity);
  Decode();
}

SmafMa3SequenceData::SmafMa3SequenceData(const SmafMa3SequenceData& other)
    : SmafChunk(other), read_position(other.read_position) {
  track = std::make_unique<MobileTrack>(*other.track, kMobileCapacity);
  std::copy(std::begin(other.last_velocity), std::end(other.last_velocity), last_velocity);
}

int64_t SmafMa3SequenceData::GetLength() const { return track->GetLength(); }

bool SmafMa3SequenceData::Encode(int32_t units_per_second, int32_t* start_position,
                                 int32_t* end_position, int32_t* average_rate,
                                 int32_t* peak_rate) {
  RingtoneReports().Reset();  // each report once in an encoding
  if (units_per_second <= 0) units_per_second = 200;
  std::fill(std::begin(last_velocity), std::end(last_velocity), 64);
  std::vector<uint8_t> out;
  int64_t total_bytes = 0, total_time = 0, window_bytes = 0, window_time = 0, peak = 0;
  int32_t first_note = -1;
  for (const auto& e : track->events) {
    const size_t begin = out.size();
    const int32_t at = PutDelay(out, e->delta);
    if (e->status == kMobileEmpty) {
      PutNop(out);
    } else if (e->IsNote()) {
      if (!IsChannel(e->voice)) {
        PutBadChannel(out);
      } else {
        if (first_note < 0) first_note = at;
        PutNote(out, *e, last_velocity);
      }
    } else if (e->status == kMobileControl) {
      PutControl(out, *e);
    } else {
      SmafChunkError(kSmcdBadEvent);
      PutNop(out);
    }
    // The transfer rate: bytes a second on average and in the fullest second.
    const int64_t bytes = static_cast<int64_t>(out.size() - begin);
    total_bytes += bytes;
    total_time += std::max(0, e->delta);
    window_bytes += bytes;
    window_time += std::max(0, e->delta);
    if (window_time >= units_per_second) {
      peak = std::max(peak, window_bytes);
      window_bytes = 0;
      window_time = 0;
    }
  }
  const uint8_t end[7] = {0x00, 0xFF, 0x00, 0x00, 0xFF, 0x2F, 0x00};
  Put(out, end, 3);
  const int32_t end_at = static_cast<int32_t>(out.size());
  Put(out, end + 3, 4);
  const int64_t seconds = total_time / units_per_second;
  const int64_t average = seconds != 0 ? total_bytes / seconds : total_bytes;
  if (average_rate) *average_rate = static_cast<int32_t>(std::min<int64_t>(average, INT32_MAX));
  if (peak_rate) *peak_rate = static_cast<int32_t>(std::min<int64_t>(peak, INT32_MAX));
  if (start_position) *start_position = first_note >= 0 ? first_note : 0;
  if (end_position) *end_position = end_at;
  if (out.size() > static_cast<size_t>(kSmafChunkLimit)) {
    SmafSequenceError(kSsqdDataSize);
    data.clear();
    return false;
  }
  data = std::move(out);
  return true;
}

void SmafMa3SequenceData::Thin(int32_t n) {
  auto& ev = track->events;
  const int32_t count = track->event_count();
  int32_t i = 0;
  while (i < count && ev[i]->delta == 0) ++i;  // before the first run: not examined
  while (i < count) {
    int32_t j = i + 1;
    while (j < count && ev[j]->delta == 0) ++j;
    if (j >= count) break;  // the last run is not examined
    int32_t notes = 0;
    for (int32_t k = i; k < j; ++k) notes += ev[k]->IsNote();
    if (notes > n) {
      int32_t to_empty = notes - n + 1;
      for (int32_t k = i; k < j && to_empty > 0; ++k)
        if (ev[k]->IsNote() && !ThinProtected(ev[k]->voice)) {
          ev[k]->status = kMobileEmpty;
          --to_empty;
        }
    }
    i = j;
  }
  track->Compact();
}

void SmafMa3SequenceData::Decode() {
  RingtoneReports().Reset();  // each report once in a decoding
  std::fill(std::begin(last_velocity), std::end(last_velocity), 64);
  ByteReader in(data.data(), data.size());
  while (!in.AtEnd()) {
    read_position = static_cast<int32_t>(in.pos());
    const uint8_t d1 = in.U8();
    int32_t duration = d1;
    if (d1 & 0x80) {
      if (in.AtEnd()) break;
      duration = (d1 & 0x3F) * 128 + in.U8();
    }
    if (in.AtEnd()) break;
    const uint8_t status = in.U8();
    const int32_t channel = status & 0x0F;
    const uint8_t high = status & 0xF0;
    if (high == 0x80 || high == 0x90) {
      const int32_t note = in.U8();
      int32_t velocity = last_velocity[channel];
      if (high == 0x90) {
        velocity = in.U8();
        last_velocity[channel] = velocity;
      }
      const uint32_t gate = in.VarLen();
      if (!in.ok()) break;
      track->AddNote(duration, channel, note & 0x7F, static_cast<int32_t>(std::min<uint32_t>(gate, 0x0FFFFFFF)), velocity & 0x7F);
    } else if (high == 0xB0) {
      const int32_t number = in.U8();
      const int32_t value = in.U8();
      if (!in.ok()) break;
      uint32_t kind = 0;
      switch (number) {
        case 0: kind = kKindBankSelect; break;
        case 1: kind = 57; break;
        case 7: kind = kKindVolume; break;
        case 10: kind = kKindPan; break;
        case 11: kind = kKindExpression; break;
        case 15: kind = kKindBendRange; break;
        case 32: kind = 56; break;
        case 64: kind = 58; break;
        case 71: kind = 59; break;
        case 74: kind = 60; break;
        case 6: case 100: case 101: case 120: case 121: case 123: case 126:
          track->AddNop(duration);
          continue;
        default:
          SmafChunkError(kSmcdBadControl);
          break;
      }
      track->AddControl(duration, channel, kind, value);
    } else if (high == 0xC0) {
      const int32_t program = in.U8();
      if (!in.ok()) break;
      track->AddControl(duration, channel, kKindProgram, program);
    } else if (high == 0xE0) {
      const int32_t low = in.U8();
      const int32_t value = in.U8();
      if (!in.ok()) break;
      auto e = std::make_unique<MobileEvent>(duration);
      e->status = kMobileControl;
      e->voice = channel;
      e->number = kKindPitchBend;
      e->note = low;
      e->value = value;
      track->Append(std::move(e));
    } else if (status == 0xF0) {
      const size_t from = in.pos() - 1;
      while (!in.AtEnd() && in.Peek() != 0xF7) in.Skip(1);
      if (in.AtEnd()) break;  // cut short
      in.Skip(1);
      const std::vector<uint8_t> bytes(data.begin() + static_cast<long>(from),
                                       data.begin() + static_cast<long>(in.pos()));
      auto e = Exclusive(bytes);
      e->delta = duration;
      track->Append(std::move(e));
    } else if (status == 0xFF) {
      const uint8_t second = in.U8();
      if (!in.ok()) break;
      if (second == 0x00) {
        track->AddNop(duration);
      } else if (second == 0x2F && in.Peek() == 0x00 && !in.AtEnd()) {
        in.Skip(1);
        track->AddControl(duration, kAllVoices, kKindEndOfSequence, 0);
      } else {
        SmafChunkError(kSmcdBadBend);  // no row covers it: skipped
        track->AddNop(duration);
      }
    } else {
      SmafChunkError(kSmcdBadBend);  // no row covers it: skipped
      track->AddNop(duration);
    }
  }
  read_position = static_cast<int32_t>(in.pos());
}

int FuzzSmafMa3Sequence(const uint8_t* bytes, size_t size) {
  RingtoneReports().Reset();
  SmafMa3SequenceData parsed(bytes, static_cast<int32_t>(std::min<size_t>(size, kSmafChunkLimit)));
  for (const auto& e : parsed.track->events) {
    if (e->delta < 0 || e->voice < 0 || (e->voice > 15 && e->voice != kAllVoices)) return 1;
    if (e->IsNote() && (e->note > 127 || e->velocity > 127)) return 2;
  }
  int32_t a = 0, b = 0, avg = 0, peak = 0;
  if (parsed.Encode(200, &a, &b, &avg, &peak) && (b > parsed.data_size() || a > b)) return 3;
  parsed.Thin(4);
  return 0;
}

// ---- score track ----

void SmafMa3ScoreTrack::WarnOnce(uint32_t code) {
  if (code == 0) {
    ScoreTrackReporter().ResetWarnings();
    return;
  }
  ScoreTrackReporter().Warning(code);
}

SmafMa3ScoreTrack::SmafMa3ScoreTrack(const MobileTrack& track, int32_t contents_code,
                                     int32_t generation)
    : SmafChunk("MTR\x05") {
  id[3] = static_cast<uint8_t>(generation < 5 ? 5 : 6);
  WarnOnce(0);
  if (contents_code != kSmafMa3Code && contents_code != kSmafMa3Info)
    SmafChunkError(kSmcdBadDevice);
  setup = std::make_unique<SmafSetupData>(contents_code);
  sequence = std::make_unique<SmafMa3SequenceData>(track);
  seek_phrase = std::make_unique<SmafSeekPhraseInfo>();
}

SmafMa3ScoreTrack::~SmafMa3ScoreTrack() = default;

void SmafMa3ScoreTrack::Parse() {
  ByteReader in(data.data(), data.size());
  format_type = in.U8();
  sequence_type = in.U8();
  duration_base = in.U8();
  gate_base = in.U8();
  in.Bytes(channel_status, 16);
  while (in.ok() && !in.AtEnd()) {
    SmafChunk c;
    if (!c.Read(in)) break;
    if (c.IdIs("Mtsu") && !setup) {
      setup = std::make_unique<SmafSetupData>();
      setup->data = std::move(c.data);
      setup->Parse();
    } else if (c.IdIs("MspI") && !seek_phrase) {
      seek_phrase = std::make_unique<SmafSeekPhraseInfo>();
      seek_phrase->data = std::move(c.data);
      seek_phrase->Parse();
    } else if (c.IdIs("Mtsq") && !sequence) {
      sequence = std::make_unique<SmafMa3SequenceData>(c.data.data(), c.data_size());
    }
  }
  if (!sequence) {
    SmafChunkError(kSmcdNoSequence);
    sequence = std::make_unique<SmafMa3SequenceData>(nullptr, 0);
  }
}

std::vector<uint8_t> SmafMa3ScoreTrack::Pack(int32_t contents_code, int32_t generation) const {
  std::vector<uint8_t> out = {static_cast<uint8_t>(format_type), static_cast<uint8_t>(sequence_type),
                              static_cast<uint8_t>(duration_base), static_cast<uint8_t>(gate_base)};
  Put(out, channel_status, 16);
  int32_t units = 200;
  if (duration_base == 2) {
    units = 250;
  } else if (duration_base != 3) {
    SmafChunkError(kSmcdBadTimebase);
  }
  if (setup && !SmafAppendChunk(out, "Mts", 'u', setup->Pack(contents_code, generation))) return {};
  // Thinning works on a copy, so that packing again writes the same bytes.
  SmafMa3SequenceData work(*sequence);
  int32_t start = 0, end = 0, average = 0, peak = 0;
  for (int32_t n = 10; n >= 4; --n) {
    if (!work.Encode(units, &start, &end, &average, &peak)) return {};
    if (average > kAverageLimit) WarnOnce(kSmcdAverageRate);
    if (peak > kPeakWarning || peak > kPeakLimit) WarnOnce(kSmcdPeakRate);
    if (average <= kAverageLimit && peak <= kPeakLimit) break;
    work.Thin(n);
  }
  if (average > kAverageLimit) SmafChunkError(kSmcdAverageRate);
  if (peak > kPeakWarning) SmafChunkError(kSmcdPeakRate);
  if (contents_code != kSmafMa3Info &&
      !SmafAppendChunk(out, "Msp", 'I', SmafSeekPhraseInfo::Build(start, end)))
    return {};
  if (!SmafAppendChunk(out, "Mts", 'q', work.data)) return {};
  return out;
}

// ---- file chunk ----

SmafMa3FileChunk::SmafMa3FileChunk(const uint8_t* bytes, int32_t count) : SmafChunk("MMMD") {
  ByteReader in = SmafReadFileHead(bytes, count, *this, crc, contents);
  if (in.size() == 0) return;
  while (!in.AtEnd() && !track) {
    SmafChunk c;
    if (!c.Read(in)) break;
    if (c.IdIs("OPDA") && !optional) {
      optional = std::make_unique<SmafOptionalData>();
      optional->data = std::move(c.data);
      optional->Parse();
    } else if (c.IdStartsWith("MTR")) {
      track = std::make_unique<SmafMa3ScoreTrack>();
      std::memcpy(track->id, c.id, 4);
      track->data = std::move(c.data);
      track->Parse();
    } else {
      SmafChunkError(kSmcdNoScoreTrack);
    }
  }
  if (!track) SmafChunkError(kSmcdNoScoreTrack);
}

SmafMa3FileChunk::~SmafMa3FileChunk() = default;

// ---- data ----

SmafMa3Data::SmafMa3Data() : SmafData(kSmafFileCapacity) { generation = 3; }

SmafMa3Data::SmafMa3Data(const uint8_t* bytes, int32_t count) : SmafData(kSmafFileCapacity) {
  generation = 3;
  contents_code = kSmafMa3Code;
  if (!TakeFileBytes(bytes, count)) return;
  ma3 = std::make_unique<SmafMa3FileChunk>(buffer, count);
}

SmafMa3Data::SmafMa3Data(const MobileData& song, int32_t code, int32_t device_generation,
                         int32_t capacity_value)
    : SmafData(capacity_value) {
  RingtoneReports().Reset();
  generation = device_generation;
  contents_code = code;
  MobileData copy(song, kMobileCapacity);
  copy.DeleteBendRanges();
  std::vector<MobileChannel*> active = copy.ActiveVoices();
  std::unique_ptr<MobileTrack> by_channel = MobileTrack::FromChannelsByMidiChannel(
      active.data(), static_cast<int32_t>(active.size()), kMobileCapacity);
  SmafData::TicksToUnits(*by_channel, song.division, nullptr, nullptr);
  MobileData rebuilt(*by_channel, kMobileCapacity);
  MobileChannel* slots[16] = {};
  for (MobileChannel* v : rebuilt.ActiveVoices())
    if (v->index >= 0 && v->index < 16) slots[v->index] = v;
  MobileTrack merged(slots, 16, kMobileCapacity);
  merged.InsertEvent(0, 2,
                     Exclusive({0xF0, 0x07, 0x43, 0x79,
                                static_cast<uint8_t>(device_generation < 5 ? 0x06 : 0x07), 0x7F,
                                0x00, 0x7F, 0xF7}));
  ma3 = std::make_unique<SmafMa3FileChunk>();
  ma3->contents = SmafContentsInfo::ForMa3(0, code, device_generation);
  ma3->optional = std::make_unique<SmafOptionalData>(song.title, code);
  ma3->track = std::make_unique<SmafMa3ScoreTrack>(merged, code, device_generation);
}

SmafMa3Data::~SmafMa3Data() = default;

bool SmafMa3Data::Pack(int32_t code) {
  RingtoneReports().Reset();
  used_size = 0;
  if (!ma3 || !ma3->contents || !ma3->track) return false;
  std::vector<uint8_t> contents;
  bool fits = SmafAppendChunk(contents, "CNT", 'I', ma3->contents->Pack());
  if (ma3->optional) {
    const int64_t length = generation >= 5 ? ma3->track->sequence->GetLength() : 0;
    fits = fits && SmafAppendChunk(contents, "OPD", 'A', ma3->optional->Pack(length));
  }
  std::vector<uint8_t> track = ma3->track->Pack(code, generation);
  fits = fits && !track.empty() &&
         SmafAppendChunk(contents, "MTR", static_cast<uint8_t>(generation < 5 ? 5 : 6), track);
  return fits && SmafWriteFile(*this, contents);
}

void SmafMa3Data::ToSmafChunk(std::unique_ptr<SmafFileChunk>& out, int32_t* code) const {
  out = std::make_unique<SmafFileChunk>();
  out->contents = std::make_unique<SmafContentsInfo>();
  if (code) *code = contents_code;
  if (ma3 && ma3->contents) out->contents->CopyFrom(*ma3->contents);
  out->contents->option.clear();
  MobileTrack empty(kMobileCapacity);
  const MobileTrack& source = (ma3 && ma3->track) ? *ma3->track->sequence->track : empty;
  const int32_t duration_base = (ma3 && ma3->track) ? ma3->track->duration_base : 3;
  const int32_t gate_base = (ma3 && ma3->track) ? ma3->track->gate_base : 3;
  std::vector<std::unique_ptr<MobileChannel>> voices;
  for (int32_t i = 0; i < 16; ++i) {
    auto v = std::make_unique<MobileChannel>(i % 4, i == 9 ? 1 : 2);
    source.ExtractVoice(i, *v, 1);
    if (i == 9) v->InsertControl(0, 0, kKindVoiceType, 1);
    voices.push_back(std::move(v));
  }
  for (int32_t k = 0; k < 4; ++k) {
    MobileChannel* four[4] = {voices[4 * k].get(), voices[4 * k + 1].get(),
                              voices[4 * k + 2].get(), voices[4 * k + 3].get()};
    MobileTrack merged(four, 4, kMobileCapacity);
    merged.AddControl(0, kAllVoices, kKindEndOfTrack, 0);
    out->tracks.push_back(std::make_unique<SmafScoreTrack>(merged, k + 1, duration_base, gate_base));
  }
}

void SmafMa3Data::ToMobileData(const SmafFileChunk& chunk, MobileData& song) const {
  std::vector<std::unique_ptr<MobileChannel>> owned;
  std::vector<MobileChannel*> slots(static_cast<size_t>(chunk.track_count()) * 4, nullptr);
  for (int32_t i = 0; i < chunk.track_count(); ++i) {
    const MobileTrack& t = *chunk.tracks[i]->sequence->track;
    for (int32_t v = 0; v < 4; ++v) {
      auto ch = std::make_unique<MobileChannel>(4 * i + v, t.GetVoiceKind(v));
      t.ExtractVoice(v, *ch, contents_code == kSmafMa3Code ? 1 : 0);
      slots[static_cast<size_t>(4 * i + v)] = ch.get();
      owned.push_back(std::move(ch));
    }
  }
  MobileTrack merged(slots.data(), static_cast<int32_t>(slots.size()), kMobileCapacity);
  SmafData::UnitsToTicks(merged);
  // Through a MIDI song, so that the voices come out as the MIDI conversion makes them.
  Midi0Data midi(kMobileCapacity);
  merged.ToMidi0Data(midi, 96, 0, 500000);
  Midi1Data split(midi, kMobileCapacity);
  MidiMobileData converted(split, 1, 0);
  for (auto& v : song.voices) v.reset();
  song.voice_count = 0;
  for (int32_t i = 0; i < converted.voice_count; ++i)
    song.AppendVoice(std::move(converted.voices[i]));
  song.division = 96;
  song.tempo = 500000;
}

int32_t SmafMa3Data::FindStatus10Channel() const {
  if (ma3 && ma3->track)
    for (int32_t c = 0; c < 16; ++c)
      if (ma3->track->channel_status[c] & 0x10) return c;
  return -1;
}

int32_t SmafMa3Data::FindStatus20Channel() const {
  if (ma3 && ma3->track)
    for (int32_t c = 0; c < 16; ++c)
      if (ma3->track->channel_status[c] & 0x20) return c;
  return -1;
}

int SmafMa3Data::HasMtr5Or6(const uint8_t* bytes, int32_t count) {
  if (bytes == nullptr) return 0;
  for (int32_t i = 0; i + 3 < count; ++i)
    if (bytes[i] == 'M' && bytes[i + 1] == 'T' && bytes[i + 2] == 'R' &&
        (bytes[i + 3] == 5 || bytes[i + 3] == 6))
      return 1;
  return 0;
}
