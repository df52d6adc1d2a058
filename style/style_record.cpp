#include "style/style_record.h"

#include <cstring>
#include <type_traits>

#include "util/byte_cursor.h"
#include "util/gne_text.h"

namespace {

// The fields in stored order, little-endian, walked by a ByteWriter over a const
// record and by a ByteReader over a mutable one: one list, so both directions
// always agree. `Rec` is StyleRecord or const StyleRecord.

// On a little-endian machine an array in memory is its stored form: when all of it is in the
// span it moves in one copy.
constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

template <class Io, class Int, size_t N>
void Ints(Io& io, Int (&v)[N]) {
  if (kLittleEndianHost && sizeof v <= io.remaining()) {
    if constexpr (std::is_const_v<Int>) {
      std::memcpy(io.Here(), v, sizeof v);  // writing
    } else {
      std::memcpy(v, io.Here(), sizeof v);  // reading
    }
    io.Skip(sizeof v);
    return;
  }
  for (Int& x : v) io.Le(x);
}

template <class Io, class Mixer>
void TransferMixer(Io& io, Mixer& m) {
  io.Le(m.volume);
  io.Le(m.chorus);
  io.Le(m.reverb);
  io.Le(m.brightness);
  io.Le(m.attack);
  io.Le(m.decay);
  io.Le(m.release);
  io.Le(m.resonance);
  io.Le(m.pan);
  io.Le(m.double_delay);
  io.Bytes(m.reserved, sizeof m.reserved);
}

template <class Io, class Part>
void TransferPart(Io& io, Part& p) {
  io.Le(p.dissonance);
  io.Le(p.note_length);
  io.Le(p.syncopation);
  io.Le(p.reserved_12);
  io.Le(p.ornament);
  io.Le(p.effect);
  io.Le(p.voicing);
  io.Le(p.range_high);
  io.Le(p.range_low);
  io.Le(p.algorithm);
  io.Le(p.tension);
  io.Le(p.rhythm_repeat);
  io.Le(p.melody_repeat);
  io.Le(p.algorithm_param);
  io.Le(p.reserved_56);
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
  io.Le(r.version);
  io.Le(r.reserved_372);
  io.Bytes(r.name, sizeof r.name);
  io.Le(r.song_bars);
  io.Bytes(r.english_name, sizeof r.english_name);
  io.Bytes(r.file_title, sizeof r.file_title);
  io.Bytes(r.description, sizeof r.description);
  io.Le(r.metre);
  io.Le(r.tempo);
  io.Le(r.key_mode);
  io.Le(r.scale);
  io.Le(r.key_offset);
  io.Le(r.triple_metre_kind);
  io.Le(r.limit_low);
  io.Le(r.limit_high);
  io.Le(r.reserved_720);
  io.Le(r.basic_beat);
  io.Le(r.unison_velocity);
  io.Le(r.part15_octave);
  Ints(io, r.reserved_736);
  io.Le(r.reserved_752);
  io.Le(r.fit_chord_tones);
  io.Le(r.chord_method);
  io.Le(r.modulation);
  io.Le(r.melody_table_mode);
  io.Le(r.fixed_bass);
  io.Bytes(r.riff, sizeof r.riff);
  io.Le(r.slash_chords);
  io.Bytes(r.scale_tones, sizeof r.scale_tones);
  io.Bytes(r.reserved_893, sizeof r.reserved_893);
  io.Le(r.MTAdjustF);
  io.Le(r.MTAdjustL);
  io.Le(r.MTAdjustE);
  io.Le(r.MTNoCnt);
  Ints(io, r.melody_intervals);
  Ints(io, r.melody_directions);
  io.Bytes(r.pattern_db, sizeof r.pattern_db);
  io.Bytes(r.chorus_db, sizeof r.chorus_db);
  for (auto& set : r.custom_grids)
    for (auto& g : set.grid) TransferGrid(io, g);
  Ints(io, r.use_x);
  Ints(io, r.continue_major);
  Ints(io, r.stroke);
  io.Le(r.chords_per_block);
  io.Le(r.chord_beats);
  Ints(io, r.reserved_17544);
  io.Le(r.phrase_imitation);
  io.Le(r.submelody_mode);
  io.Le(r.accompaniment);
  io.Le(r.progression);
  io.Le(r.drum_pattern);
  io.Le(r.subharmony_accompaniment);
  io.Le(r.bass_pattern);
  io.Le(r.subdrum_pattern);
  io.Le(r.random_category);
  io.Le(r.reserved_17624);
  io.Bytes(r.custom_chords, sizeof r.custom_chords);
  for (auto& p : r.parts) TransferPart(io, p);
  Ints(io, r.density);
}

}  // namespace

ChordEntry ReadChordEntry(const uint8_t* bytes) {
  ByteReader in(bytes, kChordEntrySize);
  ChordEntry e;
  e.length = in.U16Be();
  in.Bytes(e.code, sizeof e.code);
  return e;
}

void WriteChordEntry(uint8_t* bytes, const ChordEntry& entry) {
  ByteWriter out(bytes, kChordEntrySize);
  out.U16Be(entry.length);
  out.Bytes(entry.code, sizeof entry.code);
}

void SerialiseStyleRecord(const StyleRecord& r, uint8_t* out) {
  ByteWriter w(out, kStyleRecordSize);
  TransferRecord(w, r);
}

std::vector<uint8_t> SerialiseStyleRecord(const StyleRecord& record) {
  std::vector<uint8_t> out(kStyleRecordSize);
  SerialiseStyleRecord(record, out.data());
  return out;
}

bool DeserialiseStyleRecord(const uint8_t* in, size_t size, StyleRecord* record) {
  if (in == nullptr || record == nullptr || size < kStyleRecordSize) return false;
  ByteReader rd(in, kStyleRecordSize);
  TransferRecord(rd, *record);
  return rd.ok();
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
