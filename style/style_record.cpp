#include "style/style_record.h"

#include <cstring>

namespace {

// Little-endian field writer over the stored record.
class Writer {
 public:
  explicit Writer(uint8_t* out) : out_(out) {}
  void At(size_t offset) { pos_ = offset; }
  size_t Pos() const { return pos_; }
  void U8(uint8_t v) { out_[pos_++] = v; }
  void I16(int16_t v) {
    const uint16_t u = static_cast<uint16_t>(v);
    U8(static_cast<uint8_t>(u & 0xFF));
    U8(static_cast<uint8_t>(u >> 8));
  }
  void I32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>((u >> (8 * i)) & 0xFF));
  }
  void I32s(const int32_t* v, size_t n) {
    for (size_t i = 0; i < n; ++i) I32(v[i]);
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
  void At(size_t offset) { pos_ = offset; }
  size_t Pos() const { return pos_; }
  uint8_t U8() { return in_[pos_++]; }
  int16_t I16() {
    uint16_t u = U8();
    u = static_cast<uint16_t>(u | (static_cast<uint16_t>(U8()) << 8));
    return static_cast<int16_t>(u);
  }
  int32_t I32() {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(U8()) << (8 * i);
    return static_cast<int32_t>(u);
  }
  void I32s(int32_t* v, size_t n) {
    for (size_t i = 0; i < n; ++i) v[i] = I32();
  }
  void Bytes(void* v, size_t n) {
    std::memcpy(v, in_ + pos_, n);
    pos_ += n;
  }

 private:
  const uint8_t* in_;
  size_t pos_ = 0;
};

void WriteMixer(Writer& w, const MixerRecord& m) {
  w.U8(m.volume);
  w.U8(m.chorus);
  w.U8(m.reverb);
  w.U8(m.brightness);
  w.U8(m.attack);
  w.U8(m.decay);
  w.U8(m.release);
  w.U8(m.resonance);
  w.U8(m.pan);
  w.U8(m.double_delay);
  w.Bytes(m.reserved, sizeof m.reserved);
}

void ReadMixer(Reader& r, MixerRecord& m) {
  m.volume = r.U8();
  m.chorus = r.U8();
  m.reverb = r.U8();
  m.brightness = r.U8();
  m.attack = r.U8();
  m.decay = r.U8();
  m.release = r.U8();
  m.resonance = r.U8();
  m.pan = r.U8();
  m.double_delay = r.U8();
  r.Bytes(m.reserved, sizeof m.reserved);
}

int32_t* PartFields(PartRecord& p, int i) {
  int32_t* f[15] = {&p.dissonance, &p.note_length, &p.syncopation,   &p.reserved_12,
                    &p.ornament,   &p.effect,      &p.voicing,       &p.range_high,
                    &p.range_low,  &p.algorithm,   &p.tension,       &p.rhythm_repeat,
                    &p.melody_repeat, &p.algorithm_param, &p.reserved_56};
  return f[i];
}

void WriteGrid(Writer& w, const CustomGrid& g) {
  for (int row = 0; row < kGridRows; ++row) w.I32s(g.NoteTable[row], kGridSteps);
  w.I32s(g.pn_interval, kGridRows);
  w.I32s(g.pn_continuem, kGridSteps);
}

void ReadGrid(Reader& r, CustomGrid& g) {
  for (int row = 0; row < kGridRows; ++row) r.I32s(g.NoteTable[row], kGridSteps);
  r.I32s(g.pn_interval, kGridRows);
  r.I32s(g.pn_continuem, kGridSteps);
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
  w.I32s(r.instrument, kStyleChannelCount);
  for (const MixerRecord& m : r.mixer) WriteMixer(w, m);
  w.I32s(r.octave, kStyleOctaveCount);
  w.I32(r.version);
  w.I32(r.reserved_372);
  w.Bytes(r.name, sizeof r.name);
  w.I32(r.song_bars);
  w.Bytes(r.english_name, sizeof r.english_name);
  w.Bytes(r.file_title, sizeof r.file_title);
  w.Bytes(r.description, sizeof r.description);
  w.I32(r.metre);
  w.I32(r.tempo);
  w.I32(r.key_mode);
  w.I32(r.scale);
  w.I32(r.key_offset);
  w.I16(r.triple_metre_kind);
  w.U8(r.limit_low);
  w.U8(r.limit_high);
  w.I32(r.reserved_720);
  w.I32(r.basic_beat);
  w.I32(r.unison_velocity);
  w.I32(r.part15_octave);
  w.I32s(r.reserved_736, 4);
  w.I32(r.reserved_752);
  w.I32(r.fit_chord_tones);
  w.I32(r.chord_method);
  w.I32(r.modulation);
  w.I32(r.melody_table_mode);
  w.I32(r.fixed_bass);
  w.Bytes(r.riff, sizeof r.riff);
  w.I32(r.slash_chords);
  w.Bytes(r.scale_tones, sizeof r.scale_tones);
  w.Bytes(r.reserved_893, sizeof r.reserved_893);
  w.I32(r.MTAdjustF);
  w.I32(r.MTAdjustL);
  w.I32(r.MTAdjustE);
  w.I32(r.MTNoCnt);
  w.I32s(r.melody_intervals, 8);
  w.I32s(r.melody_directions, 8);
  w.Bytes(r.pattern_db, sizeof r.pattern_db);
  w.Bytes(r.chorus_db, sizeof r.chorus_db);
  for (const CustomGridSet& set : r.custom_grids)
    for (const CustomGrid& g : set.grid) WriteGrid(w, g);
  w.I32s(r.use_x, kGridPartCount);
  w.I32s(r.continue_major, kGridPartCount);
  w.I32s(r.stroke, kGridPartCount);
  w.I32(r.chords_per_block);
  w.I32(r.chord_beats);
  w.I32s(r.reserved_17544, 11);
  w.I32(r.phrase_imitation);
  w.I32(r.submelody_mode);
  w.I32(r.accompaniment);
  w.I32(r.progression);
  w.I32(r.drum_pattern);
  w.I32(r.subharmony_accompaniment);
  w.I32(r.bass_pattern);
  w.I32(r.subdrum_pattern);
  w.I32(r.random_category);
  w.I32(r.reserved_17624);
  w.Bytes(r.custom_chords, sizeof r.custom_chords);
  for (const PartRecord& p : r.parts) {
    PartRecord copy = p;
    for (int i = 0; i < 15; ++i) w.I32(*PartFields(copy, i));
  }
  w.I32s(r.density, kStyleOctaveCount);
}

std::vector<uint8_t> SerialiseStyleRecord(const StyleRecord& record) {
  std::vector<uint8_t> out(kStyleRecordSize);
  SerialiseStyleRecord(record, out.data());
  return out;
}

void DeserialiseStyleRecord(const uint8_t* in, StyleRecord* out) {
  StyleRecord& r = *out;
  Reader rd(in);
  rd.I32s(r.instrument, kStyleChannelCount);
  for (MixerRecord& m : r.mixer) ReadMixer(rd, m);
  rd.I32s(r.octave, kStyleOctaveCount);
  r.version = rd.I32();
  r.reserved_372 = rd.I32();
  rd.Bytes(r.name, sizeof r.name);
  r.song_bars = rd.I32();
  rd.Bytes(r.english_name, sizeof r.english_name);
  rd.Bytes(r.file_title, sizeof r.file_title);
  rd.Bytes(r.description, sizeof r.description);
  r.metre = rd.I32();
  r.tempo = rd.I32();
  r.key_mode = rd.I32();
  r.scale = rd.I32();
  r.key_offset = rd.I32();
  r.triple_metre_kind = rd.I16();
  r.limit_low = rd.U8();
  r.limit_high = rd.U8();
  r.reserved_720 = rd.I32();
  r.basic_beat = rd.I32();
  r.unison_velocity = rd.I32();
  r.part15_octave = rd.I32();
  rd.I32s(r.reserved_736, 4);
  r.reserved_752 = rd.I32();
  r.fit_chord_tones = rd.I32();
  r.chord_method = rd.I32();
  r.modulation = rd.I32();
  r.melody_table_mode = rd.I32();
  r.fixed_bass = rd.I32();
  rd.Bytes(r.riff, sizeof r.riff);
  r.slash_chords = rd.I32();
  rd.Bytes(r.scale_tones, sizeof r.scale_tones);
  rd.Bytes(r.reserved_893, sizeof r.reserved_893);
  r.MTAdjustF = rd.I32();
  r.MTAdjustL = rd.I32();
  r.MTAdjustE = rd.I32();
  r.MTNoCnt = rd.I32();
  rd.I32s(r.melody_intervals, 8);
  rd.I32s(r.melody_directions, 8);
  rd.Bytes(r.pattern_db, sizeof r.pattern_db);
  rd.Bytes(r.chorus_db, sizeof r.chorus_db);
  for (CustomGridSet& set : r.custom_grids)
    for (CustomGrid& g : set.grid) ReadGrid(rd, g);
  rd.I32s(r.use_x, kGridPartCount);
  rd.I32s(r.continue_major, kGridPartCount);
  rd.I32s(r.stroke, kGridPartCount);
  r.chords_per_block = rd.I32();
  r.chord_beats = rd.I32();
  rd.I32s(r.reserved_17544, 11);
  r.phrase_imitation = rd.I32();
  r.submelody_mode = rd.I32();
  r.accompaniment = rd.I32();
  r.progression = rd.I32();
  r.drum_pattern = rd.I32();
  r.subharmony_accompaniment = rd.I32();
  r.bass_pattern = rd.I32();
  r.subdrum_pattern = rd.I32();
  r.random_category = rd.I32();
  r.reserved_17624 = rd.I32();
  rd.Bytes(r.custom_chords, sizeof r.custom_chords);
  for (PartRecord& p : r.parts)
    for (int i = 0; i < 15; ++i) *PartFields(p, i) = rd.I32();
  rd.I32s(r.density, kStyleOctaveCount);
}

bool DeserialiseStyleRecord(const uint8_t* in, size_t size, StyleRecord* record) {
  if (in == nullptr || record == nullptr || size < kStyleRecordSize) return false;
  DeserialiseStyleRecord(in, record);
  return true;
}

void SetStyleTextBytes(char* field, size_t size, const char* text) {
  size_t n = 0;
  if (text != nullptr) {
    while (n < size && text[n] != '\0') ++n;
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
