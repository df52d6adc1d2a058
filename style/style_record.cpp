#include "style/style_record.h"

#include <cstring>

#include "util/gne_text.h"

namespace {

// Little-endian field writer over the stored record.
class Writer {
 public:
  explicit Writer(uint8_t* out) : out_(out) {}
  void U8(const uint8_t& v) { out_[pos_++] = v; }
  void I16(const int16_t& v) {
    const uint16_t u = static_cast<uint16_t>(v);
    out_[pos_++] = static_cast<uint8_t>(u & 0xFF);
    out_[pos_++] = static_cast<uint8_t>(u >> 8);
  }
  void I32(const int32_t& v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out_[pos_++] = static_cast<uint8_t>((u >> (8 * i)) & 0xFF);
  }
  void Bytes(const void* v, size_t n) {
    std::memcpy(out_ + pos_, v, n);
    pos_ += n;
  }

 private:
  uint8_t* out_;
  size_t pos_ = 0;
};

// Little-endian field reader over the stored record.
class Reader {
 public:
  explicit Reader(const uint8_t* in) : in_(in) {}
  void U8(uint8_t& v) { v = in_[pos_++]; }
  void I16(int16_t& v) {
    const uint16_t u = static_cast<uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
    pos_ += 2;
    v = static_cast<int16_t>(u);
  }
  void I32(int32_t& v) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(in_[pos_++]) << (8 * i);
    v = static_cast<int32_t>(u);
  }
  void Bytes(void* v, size_t n) {
    std::memcpy(v, in_ + pos_, n);
    pos_ += n;
  }

 private:
  const uint8_t* in_;
  size_t pos_ = 0;
};

// The fields in stored order, walked by the writer over a const record and by
// the reader over a mutable one: one list, so both directions always agree.
// `Rec` is StyleRecord or const StyleRecord.

template <class Io, class Int, size_t N>
void Ints(Io& io, Int (&v)[N]) {
  for (Int& x : v) io.I32(x);
}

template <class Io, class Mixer>
void TransferMixer(Io& io, Mixer& m) {
  io.U8(m.volume);
  io.U8(m.chorus);
  io.U8(m.reverb);
  io.U8(m.brightness);
  io.U8(m.attack);
  io.U8(m.decay);
  io.U8(m.release);
  io.U8(m.resonance);
  io.U8(m.pan);
  io.U8(m.double_delay);
  io.Bytes(m.reserved, sizeof m.reserved);
}

template <class Io, class Part>
void TransferPart(Io& io, Part& p) {
  io.I32(p.dissonance);
  io.I32(p.note_length);
  io.I32(p.syncopation);
  io.I32(p.reserved_12);
  io.I32(p.ornament);
  io.I32(p.effect);
  io.I32(p.voicing);
  io.I32(p.range_high);
  io.I32(p.range_low);
  io.I32(p.algorithm);
  io.I32(p.tension);
  io.I32(p.rhythm_repeat);
  io.I32(p.melody_repeat);
  io.I32(p.algorithm_param);
  io.I32(p.reserved_56);
}

template <class Io, class Grid>
void TransferGrid(Io& io, Grid& g) {
  for (auto& row : g.NoteTable) Ints(io, row);
  Ints(io, g.pn_interval);
  Ints(io, g.pn_continuem);
}

template <class Io, class Rec>
void TransferRecord(Io& io, Rec& r) {
  Ints(io, r.instrument);
  for (auto& m : r.mixer) TransferMixer(io, m);
  Ints(io, r.octave);
  io.I32(r.version);
  io.I32(r.reserved_372);
  io.Bytes(r.name, sizeof r.name);
  io.I32(r.song_bars);
  io.Bytes(r.english_name, sizeof r.english_name);
  io.Bytes(r.file_title, sizeof r.file_title);
  io.Bytes(r.description, sizeof r.description);
  io.I32(r.metre);
  io.I32(r.tempo);
  io.I32(r.key_mode);
  io.I32(r.scale);
  io.I32(r.key_offset);
  io.I16(r.triple_metre_kind);
  io.U8(r.limit_low);
  io.U8(r.limit_high);
  io.I32(r.reserved_720);
  io.I32(r.basic_beat);
  io.I32(r.unison_velocity);
  io.I32(r.part15_octave);
  Ints(io, r.reserved_736);
  io.I32(r.reserved_752);
  io.I32(r.fit_chord_tones);
  io.I32(r.chord_method);
  io.I32(r.modulation);
  io.I32(r.melody_table_mode);
  io.I32(r.fixed_bass);
  io.Bytes(r.riff, sizeof r.riff);
  io.I32(r.slash_chords);
  io.Bytes(r.scale_tones, sizeof r.scale_tones);
  io.Bytes(r.reserved_893, sizeof r.reserved_893);
  io.I32(r.MTAdjustF);
  io.I32(r.MTAdjustL);
  io.I32(r.MTAdjustE);
  io.I32(r.MTNoCnt);
  Ints(io, r.melody_intervals);
  Ints(io, r.melody_directions);
  io.Bytes(r.pattern_db, sizeof r.pattern_db);
  io.Bytes(r.chorus_db, sizeof r.chorus_db);
  for (auto& set : r.custom_grids)
    for (auto& g : set.grid) TransferGrid(io, g);
  Ints(io, r.use_x);
  Ints(io, r.continue_major);
  Ints(io, r.stroke);
  io.I32(r.chords_per_block);
  io.I32(r.chord_beats);
  Ints(io, r.reserved_17544);
  io.I32(r.phrase_imitation);
  io.I32(r.submelody_mode);
  io.I32(r.accompaniment);
  io.I32(r.progression);
  io.I32(r.drum_pattern);
  io.I32(r.subharmony_accompaniment);
  io.I32(r.bass_pattern);
  io.I32(r.subdrum_pattern);
  io.I32(r.random_category);
  io.I32(r.reserved_17624);
  io.Bytes(r.custom_chords, sizeof r.custom_chords);
  for (auto& p : r.parts) TransferPart(io, p);
  Ints(io, r.density);
}

}  // namespace

ChordEntry ReadChordEntry(const uint8_t* bytes) {
  ChordEntry e;
  e.length = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
  std::memcpy(e.code, bytes + 2, 4);
  return e;
}

void WriteChordEntry(uint8_t* bytes, const ChordEntry& entry) {
  bytes[0] = static_cast<uint8_t>(entry.length >> 8);
  bytes[1] = static_cast<uint8_t>(entry.length & 0xFF);
  std::memcpy(bytes + 2, entry.code, 4);
}

void SerialiseStyleRecord(const StyleRecord& r, uint8_t* out) {
  Writer w(out);
  TransferRecord(w, r);
}

std::vector<uint8_t> SerialiseStyleRecord(const StyleRecord& record) {
  std::vector<uint8_t> out(kStyleRecordSize);
  SerialiseStyleRecord(record, out.data());
  return out;
}

void DeserialiseStyleRecord(const uint8_t* in, StyleRecord* out) {
  Reader rd(in);
  TransferRecord(rd, *out);
}

bool DeserialiseStyleRecord(const uint8_t* in, size_t size, StyleRecord* record) {
  if (in == nullptr || record == nullptr || size < kStyleRecordSize) return false;
  DeserialiseStyleRecord(in, record);
  return true;
}

void SetStyleTextBytes(char* field, size_t size, const char* text) {
  size_t n = 0;
  if (text != nullptr) {
    // Look one byte past the field to see whether the text must be cut, and
    // cut it before a double-byte character that would not fit whole.
    size_t len = 0;
    while (len <= size && text[len] != '\0') ++len;
    n = GneFitCp932(text, len, size);
    std::memcpy(field, text, n);
  }
  std::memset(field + n, 0, size - n);
}

std::vector<ChordEntry> ReadChordList(const uint8_t* list, size_t list_size) {
  std::vector<ChordEntry> out;
  for (size_t pos = 0; pos + kChordEntrySize <= list_size; pos += kChordEntrySize) {
    ChordEntry e = ReadChordEntry(list + pos);
    if (e.length == 0) break;
    out.push_back(e);
  }
  return out;
}

int StyleBarTicks(int32_t metre) {
  if (metre == 0) return 384;
  if (metre == 1) return 288;
  return 336;
}
