#include "style/style_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

struct FieldCase {
  const char* what;
  size_t offset;
  std::function<void(StyleRecord&)> set;
  std::vector<uint8_t> bytes;
};

const uint32_t kMark = 0xA1B2C3D4u;
const int32_t kMarkI = static_cast<int32_t>(kMark);

std::vector<FieldCase> FieldCases() {
  auto i32 = [](const char* what, size_t off, std::function<int32_t&(StyleRecord&)> f) {
    return FieldCase{what, off, [f](StyleRecord& r) { f(r) = kMarkI; }, Le32(kMark)};
  };
  auto u8 = [](const char* what, size_t off, std::function<void(StyleRecord&)> f) {
    return FieldCase{what, off, f, {0x5A}};
  };
  return {
      i32("instrument[0]", 0, [](StyleRecord& r) -> int32_t& { return r.instrument[0]; }),
      i32("instrument[15]", 60, [](StyleRecord& r) -> int32_t& { return r.instrument[15]; }),
      u8("mixer[0].volume", 64, [](StyleRecord& r) { r.mixer[0].volume = 0x5A; }),
      u8("mixer[0].chorus", 65, [](StyleRecord& r) { r.mixer[0].chorus = 0x5A; }),
      u8("mixer[0].reverb", 66, [](StyleRecord& r) { r.mixer[0].reverb = 0x5A; }),
      u8("mixer[0].brightness", 67, [](StyleRecord& r) { r.mixer[0].brightness = 0x5A; }),
      u8("mixer[0].attack", 68, [](StyleRecord& r) { r.mixer[0].attack = 0x5A; }),
      u8("mixer[0].decay", 69, [](StyleRecord& r) { r.mixer[0].decay = 0x5A; }),
      u8("mixer[0].release", 70, [](StyleRecord& r) { r.mixer[0].release = 0x5A; }),
      u8("mixer[0].resonance", 71, [](StyleRecord& r) { r.mixer[0].resonance = 0x5A; }),
      u8("mixer[0].pan", 72, [](StyleRecord& r) { r.mixer[0].pan = 0x5A; }),
      u8("mixer[0].double_delay", 73, [](StyleRecord& r) { r.mixer[0].double_delay = 0x5A; }),
      u8("mixer[0].reserved[5]", 79, [](StyleRecord& r) { r.mixer[0].reserved[5] = 0x5A; }),
      u8("mixer[15].pan", 312, [](StyleRecord& r) { r.mixer[15].pan = 0x5A; }),
      i32("octave[0]", 320, [](StyleRecord& r) -> int32_t& { return r.octave[0]; }),
      i32("octave[11]", 364, [](StyleRecord& r) -> int32_t& { return r.octave[11]; }),
      i32("version", 368, [](StyleRecord& r) -> int32_t& { return r.version; }),
      i32("reserved 372", 372, [](StyleRecord& r) -> int32_t& { return r.reserved_372; }),
      u8("name[0]", 376, [](StyleRecord& r) { r.name[0] = 0x5A; }),
      u8("name[19]", 395, [](StyleRecord& r) { r.name[19] = 0x5A; }),
      i32("song_bars", 396, [](StyleRecord& r) -> int32_t& { return r.song_bars; }),
      u8("english_name[0]", 400, [](StyleRecord& r) { r.english_name[0] = 0x5A; }),
      u8("file_title[0]", 420, [](StyleRecord& r) { r.file_title[0] = 0x5A; }),
      u8("description[0]", 440, [](StyleRecord& r) { r.description[0] = 0x5A; }),
      u8("description[255]", 695, [](StyleRecord& r) { r.description[255] = 0x5A; }),
      i32("metre", 696, [](StyleRecord& r) -> int32_t& { return r.metre; }),
      i32("tempo", 700, [](StyleRecord& r) -> int32_t& { return r.tempo; }),
      i32("key_mode", 704, [](StyleRecord& r) -> int32_t& { return r.key_mode; }),
      i32("scale", 708, [](StyleRecord& r) -> int32_t& { return r.scale; }),
      i32("key_offset", 712, [](StyleRecord& r) -> int32_t& { return r.key_offset; }),
      FieldCase{"triple_metre_kind", 716, [](StyleRecord& r) { r.triple_metre_kind = 0x1234; }, {0x34, 0x12}},
      u8("limit_low", 718, [](StyleRecord& r) { r.limit_low = 0x5A; }),
      u8("limit_high", 719, [](StyleRecord& r) { r.limit_high = 0x5A; }),
      i32("reserved 720", 720, [](StyleRecord& r) -> int32_t& { return r.reserved_720; }),
      i32("basic_beat", 724, [](StyleRecord& r) -> int32_t& { return r.basic_beat; }),
      i32("unison_velocity", 728, [](StyleRecord& r) -> int32_t& { return r.unison_velocity; }),
      i32("part15_octave", 732, [](StyleRecord& r) -> int32_t& { return r.part15_octave; }),
      i32("reserved 736", 736, [](StyleRecord& r) -> int32_t& { return r.reserved_736[0]; }),
      i32("reserved 748", 748, [](StyleRecord& r) -> int32_t& { return r.reserved_736[3]; }),
      i32("reserved 752", 752, [](StyleRecord& r) -> int32_t& { return r.reserved_752; }),
      i32("fit_chord_tones", 756, [](StyleRecord& r) -> int32_t& { return r.fit_chord_tones; }),
      i32("chord_method", 760, [](StyleRecord& r) -> int32_t& { return r.chord_method; }),
      i32("modulation", 764, [](StyleRecord& r) -> int32_t& { return r.modulation; }),
      i32("melody_table_mode", 768, [](StyleRecord& r) -> int32_t& { return r.melody_table_mode; }),
      i32("fixed_bass", 772, [](StyleRecord& r) -> int32_t& { return r.fixed_bass; }),
      u8("riff[0]", 776, [](StyleRecord& r) { r.riff[0] = 0x5A; }),
      u8("riff[95]", 871, [](StyleRecord& r) { r.riff[95] = 0x5A; }),
      i32("slash_chords", 872, [](StyleRecord& r) -> int32_t& { return r.slash_chords; }),
      u8("scale_tones[0]", 876, [](StyleRecord& r) { r.scale_tones[0] = 0x5A; }),
      u8("scale_tones[16]", 892, [](StyleRecord& r) { r.scale_tones[16] = 0x5A; }),
      u8("reserved 893", 893, [](StyleRecord& r) { r.reserved_893[0] = 0x5A; }),
      u8("reserved 895", 895, [](StyleRecord& r) { r.reserved_893[2] = 0x5A; }),
      i32("MTAdjustF", 896, [](StyleRecord& r) -> int32_t& { return r.MTAdjustF; }),
      i32("MTAdjustL", 900, [](StyleRecord& r) -> int32_t& { return r.MTAdjustL; }),
      i32("MTAdjustE", 904, [](StyleRecord& r) -> int32_t& { return r.MTAdjustE; }),
      i32("MTNoCnt", 908, [](StyleRecord& r) -> int32_t& { return r.MTNoCnt; }),
      i32("melody_intervals[0]", 912, [](StyleRecord& r) -> int32_t& { return r.melody_intervals[0]; }),
      i32("melody_intervals[7]", 940, [](StyleRecord& r) -> int32_t& { return r.melody_intervals[7]; }),
      i32("melody_directions[0]", 944, [](StyleRecord& r) -> int32_t& { return r.melody_directions[0]; }),
      i32("melody_directions[7]", 972, [](StyleRecord& r) -> int32_t& { return r.melody_directions[7]; }),
      u8("pattern_db[0]", 976, [](StyleRecord& r) { r.pattern_db[0] = 0x5A; }),
      u8("pattern_db[127]", 1103, [](StyleRecord& r) { r.pattern_db[127] = 0x5A; }),
      u8("chorus_db[0]", 1104, [](StyleRecord& r) { r.chorus_db[0] = 0x5A; }),
      i32("grid 0/0 NoteTable[0][0]", 1232,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[0].NoteTable[0][0]; }),
      i32("grid 0/0 NoteTable[0][1]", 1236,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[0].NoteTable[0][1]; }),
      i32("grid 0/0 NoteTable[1][0]", 1296,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[0].NoteTable[1][0]; }),
      i32("grid 0/0 NoteTable[13][15]", 2124,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[0].NoteTable[13][15]; }),
      i32("grid 0/0 pn_interval[0]", 2128,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[0].pn_interval[0]; }),
      i32("grid 0/0 pn_continuem[0]", 2184,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[0].pn_continuem[0]; }),
      i32("grid 0/1 NoteTable[0][0]", 2248,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[0].grid[1].NoteTable[0][0]; }),
      i32("grid 1/0 NoteTable[0][0]", 5296,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[1].grid[0].NoteTable[0][0]; }),
      i32("grid 3/3 pn_continuem[15]", 17484,
          [](StyleRecord& r) -> int32_t& { return r.custom_grids[3].grid[3].pn_continuem[15]; }),
      i32("use_x[0]", 17488, [](StyleRecord& r) -> int32_t& { return r.use_x[0]; }),
      i32("use_x[3]", 17500, [](StyleRecord& r) -> int32_t& { return r.use_x[3]; }),
      i32("continue_major[0]", 17504, [](StyleRecord& r) -> int32_t& { return r.continue_major[0]; }),
      i32("stroke[0]", 17520, [](StyleRecord& r) -> int32_t& { return r.stroke[0]; }),
      i32("stroke[3]", 17532, [](StyleRecord& r) -> int32_t& { return r.stroke[3]; }),
      i32("chords_per_block", 17536, [](StyleRecord& r) -> int32_t& { return r.chords_per_block; }),
      i32("chord_beats", 17540, [](StyleRecord& r) -> int32_t& { return r.chord_beats; }),
      i32("reserved 17544", 17544, [](StyleRecord& r) -> int32_t& { return r.reserved_17544[0]; }),
      i32("reserved 17584", 17584, [](StyleRecord& r) -> int32_t& { return r.reserved_17544[10]; }),
      i32("phrase_imitation", 17588, [](StyleRecord& r) -> int32_t& { return r.phrase_imitation; }),
      i32("submelody_mode", 17592, [](StyleRecord& r) -> int32_t& { return r.submelody_mode; }),
      i32("accompaniment", 17596, [](StyleRecord& r) -> int32_t& { return r.accompaniment; }),
      i32("progression", 17600, [](StyleRecord& r) -> int32_t& { return r.progression; }),
      i32("drum_pattern", 17604, [](StyleRecord& r) -> int32_t& { return r.drum_pattern; }),
      i32("subharmony_accompaniment", 17608,
          [](StyleRecord& r) -> int32_t& { return r.subharmony_accompaniment; }),
      i32("bass_pattern", 17612, [](StyleRecord& r) -> int32_t& { return r.bass_pattern; }),
      i32("subdrum_pattern", 17616, [](StyleRecord& r) -> int32_t& { return r.subdrum_pattern; }),
      i32("random_category", 17620, [](StyleRecord& r) -> int32_t& { return r.random_category; }),
      i32("reserved 17624", 17624, [](StyleRecord& r) -> int32_t& { return r.reserved_17624; }),
      u8("custom_chords[0]", 17628, [](StyleRecord& r) { r.custom_chords[0] = 0x5A; }),
      u8("custom_chords[4095]", 21723, [](StyleRecord& r) { r.custom_chords[4095] = 0x5A; }),
      i32("parts[0].dissonance", 21724, [](StyleRecord& r) -> int32_t& { return r.parts[0].dissonance; }),
      i32("parts[0].note_length", 21728, [](StyleRecord& r) -> int32_t& { return r.parts[0].note_length; }),
      i32("parts[0].syncopation", 21732, [](StyleRecord& r) -> int32_t& { return r.parts[0].syncopation; }),
      i32("parts[0].reserved 12", 21736, [](StyleRecord& r) -> int32_t& { return r.parts[0].reserved_12; }),
      i32("parts[0].ornament", 21740, [](StyleRecord& r) -> int32_t& { return r.parts[0].ornament; }),
      i32("parts[0].effect", 21744, [](StyleRecord& r) -> int32_t& { return r.parts[0].effect; }),
      i32("parts[0].voicing", 21748, [](StyleRecord& r) -> int32_t& { return r.parts[0].voicing; }),
      i32("parts[0].range_high", 21752, [](StyleRecord& r) -> int32_t& { return r.parts[0].range_high; }),
      i32("parts[0].range_low", 21756, [](StyleRecord& r) -> int32_t& { return r.parts[0].range_low; }),
      i32("parts[0].algorithm", 21760, [](StyleRecord& r) -> int32_t& { return r.parts[0].algorithm; }),
      i32("parts[0].tension", 21764, [](StyleRecord& r) -> int32_t& { return r.parts[0].tension; }),
      i32("parts[0].rhythm_repeat", 21768, [](StyleRecord& r) -> int32_t& { return r.parts[0].rhythm_repeat; }),
      i32("parts[0].melody_repeat", 21772, [](StyleRecord& r) -> int32_t& { return r.parts[0].melody_repeat; }),
      i32("parts[0].algorithm_param", 21776,
          [](StyleRecord& r) -> int32_t& { return r.parts[0].algorithm_param; }),
      i32("parts[0].reserved 56", 21780, [](StyleRecord& r) -> int32_t& { return r.parts[0].reserved_56; }),
      i32("parts[1].dissonance", 21784, [](StyleRecord& r) -> int32_t& { return r.parts[1].dissonance; }),
      i32("parts[15].reserved 56", 22680, [](StyleRecord& r) -> int32_t& { return r.parts[15].reserved_56; }),
      i32("density[0]", 22684, [](StyleRecord& r) -> int32_t& { return r.density[0]; }),
      i32("density[11]", 22728, [](StyleRecord& r) -> int32_t& { return r.density[11]; }),
  };
}

TEST(StyleRecordLayout, EveryFieldIsStoredAtItsOffsetAndNowhereElse) {
  for (const FieldCase& c : FieldCases()) {
    SCOPED_TRACE(c.what);
    StyleRecord r;
    c.set(r);
    const std::vector<uint8_t> out = SerialiseStyleRecord(r);
    ASSERT_EQ(out.size(), kStyleRecordSize);
    for (size_t i = 0; i < c.bytes.size(); ++i) EXPECT_EQ(out[c.offset + i], c.bytes[i]) << "byte " << i;
    size_t others = 0;
    for (size_t i = 0; i < out.size(); ++i)
      if ((i < c.offset || i >= c.offset + c.bytes.size()) && out[i] != 0) ++others;
    EXPECT_EQ(others, 0u);
  }
}

TEST(StyleRecordLayout, RoundTripKeepsEveryByte) {
  std::vector<uint8_t> in(kStyleRecordSize);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>((i * 131 + 7) ^ (i >> 8));
  StyleRecord r;
  ASSERT_TRUE(DeserialiseStyleRecord(in.data(), in.size(), &r));
  EXPECT_EQ(SerialiseStyleRecord(r), in);
}

TEST(StyleRecordLayout, ShortInputIsRefused) {
  std::vector<uint8_t> in(kStyleRecordSize - 1, 0x11);
  StyleRecord r;
  r.tempo = 1234;
  EXPECT_FALSE(DeserialiseStyleRecord(in.data(), in.size(), &r));
  EXPECT_EQ(r.tempo, 1234);
  EXPECT_FALSE(DeserialiseStyleRecord(nullptr, kStyleRecordSize, &r));
}

TEST(StyleRecordLayout, MetreKindIsSixteenBitsAndKeepsTheLimits) {
  StyleRecord r;
  r.triple_metre_kind = 2;
  r.limit_low = 5;
  r.limit_high = 200;
  const std::vector<uint8_t> out = SerialiseStyleRecord(r);
  EXPECT_EQ(out[716], 2);
  EXPECT_EQ(out[717], 0);
  EXPECT_EQ(out[718], 5);
  EXPECT_EQ(out[719], 200);
}

TEST(StyleRecordText, FullTwentyByteNameHasNoTerminator) {
  StyleRecord r;
  const char* twenty = "ABCDEFGHIJKLMNOPQRST";
  SetStyleText(r.name, twenty);
  EXPECT_EQ(StyleText(r.name), std::string(twenty));
  SetStyleText(r.name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");  // too long: cut at the field
  EXPECT_EQ(StyleText(r.name), std::string(twenty));
  EXPECT_EQ(r.song_bars, 0);  // the next field is untouched
  SetStyleText(r.name, "ab");
  EXPECT_EQ(StyleText(r.name), "ab");
  EXPECT_EQ(r.name[5], '\0');
}

TEST(StyleRecordText, LongTextIsCutBeforeADoubleByteCharacter) {
  StyleRecord r;
  // 19 single-byte characters, then one of two bytes: only its first byte would fit.
  SetStyleText(r.name, "ABCDEFGHIJKLMNOPQRSあ");
  EXPECT_EQ(StyleText(r.name), "ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(r.name[19], '\0');
  // Ten double-byte characters fill the field exactly.
  SetStyleText(r.name, "メロディとアルペジオ");
  EXPECT_EQ(StyleText(r.name), "メロディとアルペジオ");
  SetStyleText(r.name, "メロディとアルペジオ他");
  EXPECT_EQ(StyleText(r.name), "メロディとアルペジオ");
}

TEST(StyleRecordChords, ChordEntryIsBigEndianLengthThenCode) {
  uint8_t bytes[6];
  ChordEntry e;
  e.length = 384;
  std::memcpy(e.code, "CMPS", 4);
  WriteChordEntry(bytes, e);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0x80);
  EXPECT_EQ(std::memcmp(bytes + 2, "CMPS", 4), 0);
  const ChordEntry back = ReadChordEntry(bytes);
  EXPECT_EQ(back.length, 384);
  EXPECT_EQ(std::memcmp(back.code, "CMPS", 4), 0);
}

TEST(StyleRecordChords, ListEndsAtZeroLengthOrAtTheEndOfTheBuffer) {
  uint8_t list[20] = {0, 96, 'C', 'M', 'P', 'S', 0, 192, 'G', 'M', 'P', 's', 0, 0};
  EXPECT_EQ(ReadChordList(list, sizeof list).size(), 2u);
  uint8_t full[12] = {0, 96, 'C', 'M', 'P', 'S', 0, 96, 'C', 'M', 'P', 'S'};
  EXPECT_EQ(ReadChordList(full, sizeof full).size(), 2u);
}

TEST(StyleRecordMidi, DataBytesAreClamped) {
  EXPECT_EQ(MidiDataByte(-5), 0);
  EXPECT_EQ(MidiDataByte(64), 64);
  EXPECT_EQ(MidiDataByte(146), 127);
  EXPECT_EQ(MidiDataByte(300), 127);
}

TEST(StyleRecordMidi, BarTicksByMetre) {
  EXPECT_EQ(StyleBarTicks(0), 384);
  EXPECT_EQ(StyleBarTicks(1), 288);
  EXPECT_EQ(StyleBarTicks(2), 336);
  EXPECT_EQ(StyleBarTicks(7), 336);
}

}  // namespace
