// The MA-1/MA-2 sequence code and the time conversions of SMAF data.
#include <gtest/gtest.h>

#include <algorithm>

#include "smaf_fixture.h"

using smaf_test::HasBox;

namespace {

struct Ev {
  int delta, voice, kind, value, note, duration;  // kind 0: note
};

std::unique_ptr<MobileTrack> Track(const std::vector<Ev>& list, int drum_voice = -1) {
  auto track = std::make_unique<MobileTrack>(kMobileCapacity);
  MobileTrack& t = *track;
  if (drum_voice >= 0) t.AddControl(0, drum_voice, kKindVoiceType, 1);
  for (const Ev& e : list) {
    if (e.kind == 0) {
      t.AddNote(e.delta, e.voice, e.note, e.duration, 100);
    } else {
      t.AddControl(e.delta, e.voice, static_cast<uint32_t>(e.kind), e.value);
      if (e.kind == kKindPitchBend) t.events.back()->note = e.note;
    }
  }
  t.AddControl(0, kAllVoices, kKindEndOfTrack, 0);
  return track;
}

std::vector<uint8_t> Encode(const std::unique_ptr<MobileTrack>& t, int32_t* start = nullptr,
                            int32_t* stop = nullptr, int64_t s = -1, int64_t p = -1) {
  SmafSequenceData seq(*t);
  int32_t a = 0, b = 0;
  EXPECT_TRUE(seq.Encode(s, p, &a, &b));
  if (start) *start = a;
  if (stop) *stop = b;
  return seq.data;
}

std::vector<std::pair<int, int>> Notes(const SmafSequenceData& seq, int voice = 0) {
  std::vector<std::pair<int, int>> out;  // (note, duration)
  for (const auto& e : seq.track->events)
    if (e->IsNote() && e->voice == voice) out.push_back({e->note, e->duration});
  return out;
}

std::vector<int> Kinds(const SmafSequenceData& seq, uint32_t kind) {
  std::vector<int> out;
  for (const auto& e : seq.track->events)
    if (e->IsControl(kind)) out.push_back(e->value);
  return out;
}

bool Contains(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

}  // namespace

TEST(SmafSequence, MelodicNotesFoldIntoFourOctaves) {
  const auto bytes = Encode(Track({{0, 0, 0, 0, 60, 10}, {10, 0, 0, 0, 90, 10}, {10, 0, 0, 0, 62, 10}}));
  // 60: block 1 note 12; shift +1 (00 32 01); 78: block 3 note 6; 50: block 1 note 2; shift 0.
  const std::vector<uint8_t> want = {0x00, 0x1C, 0x0A, 0x00, 0x00, 0x32, 0x01, 0x0A, 0x36,
                                     0x0A, 0x0A, 0x12, 0x0A, 0x00, 0x00, 0x32, 0x00};
  ASSERT_GE(bytes.size(), want.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(want.size())), want);
  SmafSequenceData back(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(Notes(back), (std::vector<std::pair<int, int>>{{60, 10}, {90, 10}, {62, 10}}));
  // Every note 0-127 comes back.
  std::vector<Ev> all;
  for (int n = 0; n <= 127; ++n) all.push_back({n ? 5 : 0, 1, 0, 0, (n * 53) % 128, 3});
  const auto many = Encode(Track(all));
  SmafSequenceData read(many.data(), static_cast<int32_t>(many.size()));
  const auto notes = Notes(read, 1);
  ASSERT_EQ(notes.size(), 128u);
  for (int n = 0; n <= 127; ++n) EXPECT_EQ(notes[static_cast<size_t>(n)].first, (n * 53) % 128);
}

TEST(SmafSequence, NoteEdgeCases) {
  struct Case {
    const char* name;
    int note;
    uint32_t code;
    int read;  // -1: dropped
  };
  // A drum voice with a shift of its own keeps its raw notes.
  const Case cases[] = {{"36 takes block 0", 36, kSsqdOctave, 48},
                        {"over 84 takes block 0", 100, kSsqdOctave, 40},
                        {"under 36 dropped", 20, kSsqdNote, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cantrel_test::Sink().Clear();
    const auto bytes = Encode(Track({{0, 0, kKindOctaveShift, 0, 0, 0}, {0, 0, 0, 0, c.note, 5}}, 0));
    EXPECT_TRUE(HasBox("SSQD", c.code));
    SmafSequenceData back(bytes.data(), static_cast<int32_t>(bytes.size()));
    const auto notes = Notes(back);
    if (c.read < 0) {
      EXPECT_TRUE(notes.empty());
    } else {
      ASSERT_EQ(notes.size(), 1u);
      EXPECT_EQ(notes[0].first, c.read);
    }
  }
  // Melodic notes outside 0-127 are dropped.
  cantrel_test::Sink().Clear();
  const auto bytes = Encode(Track({{0, 0, 0, 0, -5, 5}, {0, 0, 0, 0, 140, 5}, {0, 0, 0, 0, 64, 5}}));
  EXPECT_TRUE(HasBox("SSQD", kSsqdNote));
  SmafSequenceData back(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(Notes(back), (std::vector<std::pair<int, int>>{{64, 5}}));
}

TEST(SmafSequence, DrumsPlayTheDrumMap) {
  std::vector<Ev> list = {{0, 2, kKindProgram, 38, 0, 0}};
  for (int n = 0; n < 5; ++n) list.push_back({10, 2, 0, 0, 40 + n, 5});
  const auto t = Track(list, 2);
  SmafSequenceData seq(*t);
  int32_t a, b;
  ASSERT_TRUE(seq.Encode(-1, -1, &a, &b));
  SmafSequenceData back(seq.data.data(), seq.data_size());
  EXPECT_EQ(Kinds(back, kKindOctaveShift).size(), 0u);  // folded into the notes on reading
  const auto notes = Notes(back, 2);
  ASSERT_EQ(notes.size(), 5u);
  for (const auto& n : notes) EXPECT_EQ(n.first, 65);  // byte 0x25
  // One shift event of 0 before the first note: 00 B2 00.
  int shifts = 0;
  for (size_t i = 0; i + 2 < seq.data.size(); ++i)
    shifts += seq.data[i] == 0x00 && seq.data[i + 1] == 0xB2 && seq.data[i + 2] == 0x00;
  EXPECT_EQ(shifts, 1);
  struct Row {
    int drum, shift, note;
  };
  for (const Row& r : {Row{35, -1, 45}, Row{36, 0, 39}, Row{39, 1, 77}, Row{58, -2, 48},
                       Row{81, 0, 64}}) {
    EXPECT_EQ(SmafSequenceData::DrumShift(r.drum), r.shift) << r.drum;
    EXPECT_EQ(SmafSequenceData::DrumNote(r.drum), r.note) << r.drum;
  }
  cantrel_test::Sink().Clear();
  EXPECT_EQ(SmafSequenceData::DrumNote(90), SmafSequenceData::DrumNote(35));
  EXPECT_TRUE(HasBox("SSQD", kSsqdDrum));
}

TEST(SmafSequence, TimesAndTheirLongForms) {
  struct Case {
    int value;
    std::vector<uint8_t> bytes;
  };
  for (const Case& c : {Case{0, {0x00}}, Case{127, {0x7F}}, Case{128, {0x80, 0x00}},
                        Case{300, {0x81, 0x2C}}, Case{8319, {0xBF, 0x7F}}}) {
    const auto bytes = Encode(Track({{c.value, 0, 0, 0, 60, 1}}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(c.bytes.size())), c.bytes)
        << c.value;
    SmafSequenceData back(bytes.data(), static_cast<int32_t>(bytes.size()));
    ASSERT_FALSE(back.track->events.empty());
    EXPECT_EQ(back.track->events[0]->delta, c.value);
  }
  // Past the two-byte form: durations are split by no-operations, gates cut.
  cantrel_test::Sink().Clear();
  const auto bytes = Encode(Track({{20000, 0, 0, 0, 60, 9000}}));
  EXPECT_TRUE(HasBox("SSQD", kSsqdGate));
  SmafSequenceData back(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(back.track->FindKindTime(kMobileNote, 0), 20000);
  EXPECT_EQ(Notes(back), (std::vector<std::pair<int, int>>{{60, 8319}}));
}

TEST(SmafSequence, ControlsAndUnwritableEvents) {
  const auto t = Track({{0, 1, kKindProgram, 5, 0, 0},
                        {0, 1, kKindVolume, 90, 0, 0},
                        {0, 1, kKindPan, 30, 0, 0},
                        {0, 1, kKindSmafModulation, 4, 0, 0},
                        {0, 1, kKindSmafExpression, 70, 0, 0},
                        {0, 1, kKindMarker, 1, 0, 0},  // no message of its own
                        {7, 1, 0, 0, 60, 5}});
  cantrel_test::Sink().Clear();
  const auto bytes = Encode(t);
  EXPECT_TRUE(HasBox("SSQD", kSsqdCommand));
  EXPECT_TRUE(Contains(bytes, {0x00, 0x00, 0x7A, 30}));  // pan, command 10
  EXPECT_TRUE(Contains(bytes, {0x00, 0x00, 0x73, 4}));   // modulation, command 3
  EXPECT_TRUE(Contains(bytes, {0x00, 0xFF, 0x00, 0x07}));  // the marker as a no-operation
  SmafSequenceData back(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(Kinds(back, kKindProgram), std::vector<int>{5});
  EXPECT_EQ(Kinds(back, kKindVolume), std::vector<int>{90});
  EXPECT_EQ(Kinds(back, kKindPan), std::vector<int>{30});
  EXPECT_EQ(Kinds(back, kKindSmafModulation), std::vector<int>{4});
  EXPECT_EQ(Kinds(back, kKindSmafExpression), std::vector<int>{70});
  EXPECT_EQ(back.track->FindKindTime(kMobileNote, 0), 7);
  // A voice type other than drums writes a whole no-operation.
  cantrel_test::Sink().Clear();
  const auto vt = Encode(Track({{0, 0, kKindVoiceType, 0, 0, 0}, {3, 0, 0, 0, 60, 5}}));
  EXPECT_TRUE(HasBox("SSQD", kSsqdDrum));
  SmafSequenceData read(vt.data(), static_cast<int32_t>(vt.size()));
  EXPECT_EQ(read.track->FindKindTime(kMobileNote, 0), 3);
}

TEST(SmafSequence, PitchBendRunsGetModeExclusives) {
  const std::vector<uint8_t> mode0 = {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC0, 0x31, 0xF7};
  const std::vector<uint8_t> mode1 = {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xC0, 0x11, 0xF7};
  const auto two = Encode(Track({{0, 0, 0, 0, 60, 5}, {2, 0, kKindPitchBend, 80, 0, 0},
                                 {2, 0, kKindPitchBend, 64, 0, 0}, {2, 0, 0, 0, 62, 5}}));
  const std::vector<uint8_t> bend80 = {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xB0, 194 - 2, 0xF7};
  EXPECT_TRUE(Contains(two, mode0));
  EXPECT_TRUE(Contains(two, mode1));
  EXPECT_TRUE(Contains(two, {0xFF, 0xF0, 0x06, 0x43, 0x03, 0x90, 0xB0, 177, 0xF7}));
  const auto one = Encode(Track({{0, 0, 0, 0, 60, 5}, {2, 0, kKindPitchBend, 80, 0, 0}, {2, 0, 0, 0, 62, 5}}));
  EXPECT_TRUE(Contains(one, mode0));
  EXPECT_FALSE(Contains(one, mode1));
  SmafSequenceData back(two.data(), static_cast<int32_t>(two.size()));
  EXPECT_EQ(Kinds(back, kKindPitchBend), (std::vector<int>{SmafSequenceData::BendValue(SmafSequenceData::BendByte(80)), 64}));
  EXPECT_EQ(Kinds(back, kKindBendMode), (std::vector<int>{0, 1}));
  (void)bend80;
  struct Row {
    int value, byte;
  };
  for (const Row& r : {Row{64, 177}, Row{0, 102}, Row{127, 177}, Row{63, 174}, Row{10, 113}})
    EXPECT_EQ(SmafSequenceData::BendByte(r.value), r.byte) << r.value;
  EXPECT_EQ(SmafSequenceData::BendValue(177), 64);
  EXPECT_EQ(SmafSequenceData::BendValue(89), 0);
}

TEST(SmafSequence, SeekPositions) {
  int32_t start = -1, stop = -1;
  const auto t = Track({{0, 0, kKindProgram, 1, 0, 0}, {5, 0, 0, 0, 60, 5}, {5, 0, 0, 0, 62, 5}});
  const auto bytes = Encode(t, &start, &stop);
  EXPECT_EQ(start, 4);  // behind the program change (00 00 30 01)
  ASSERT_GE(bytes.size(), 6u);
  EXPECT_EQ(stop, static_cast<int32_t>(bytes.size()) - 4);  // behind the closing no-operation
  EXPECT_EQ(bytes[static_cast<size_t>(stop) - 2], 0xFF);
  EXPECT_EQ(bytes[static_cast<size_t>(stop) - 1], 0x00);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<uint8_t>{0, 0, 0, 0}));
  // Given ticks: the first event at or after them; past the end reported, defaults kept.
  Encode(t, &start, &stop, 3, 7);
  EXPECT_EQ(start, 4);
  EXPECT_EQ(stop, 7);
  cantrel_test::Sink().Clear();
  Encode(t, &start, &stop, 100, 200);
  EXPECT_TRUE(HasBox("SMCD", kSmcdNoStart));
  EXPECT_TRUE(HasBox("SMCD", kSmcdNoStop));
  EXPECT_EQ(start, 4);
  EXPECT_EQ(stop, static_cast<int32_t>(bytes.size()) - 4);
}

TEST(SmafSequence, DamagedSequencesStayBounded) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t code;
  };
  const Case cases[] = {{"exclusive past the end", {0x00, 0xFF, 0xF0, 0x40, 0x43}, kSsqdBadExclusive},
                        {"exclusive without F7", {0x00, 0xFF, 0xF0, 0x02, 0x43, 0x00}, kSsqdBadExclusive},
                        {"undefined FF", {0x00, 0xFF, 0x55}, kSsqdUndefined},
                        {"undefined command", {0x00, 0x00, 0x3E, 0x01}, kSsqdUndefined},
                        {"shift outside the table", {0x00, 0x00, 0x32, 0x90, 0x00, 0x1C, 0x05}, kSsqdShift}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cantrel_test::Sink().Clear();
    SmafSequenceData seq(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    EXPECT_TRUE(HasBox("SSQD", c.code));
    EXPECT_LE(seq.read_position, static_cast<int32_t>(c.bytes.size()));
  }
  // A shift byte outside the table shifts nothing.
  const std::vector<uint8_t> b = {0x00, 0x00, 0x32, 0x90, 0x00, 0x1C, 0x05};
  SmafSequenceData seq(b.data(), static_cast<int32_t>(b.size()));
  EXPECT_EQ(Notes(seq), (std::vector<std::pair<int, int>>{{60, 5}}));
  // Cut events at the end are dropped.
  for (const std::vector<uint8_t>& cut : {std::vector<uint8_t>{0x81}, std::vector<uint8_t>{0x00, 0x1C},
                                          std::vector<uint8_t>{0x00, 0x00, 0x30}}) {
    SmafSequenceData s(cut.data(), static_cast<int32_t>(cut.size()));
    EXPECT_TRUE(Notes(s).empty());
  }
}

TEST(SmafTime, TicksToUnitsFollowTheSongsTempoAndDivision) {
  struct Case {
    int division, tempo, ticks, duration, units, unit_duration;
  };
  const Case cases[] = {{96, 500000, 96, 96, 100, 100},   {96, 1000000, 96, 96, 200, 200},
                        {96, 1000000, 0, 0, 0, 1},        {96, 1000000, 1, 1, 2, 2},        {480, 500000, 480, 480, 100, 100},
                        {96, 400000, 96, 48, 80, 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.division << " " << c.tempo << " " << c.ticks);
    MobileTrack t(kMobileCapacity);
    t.AddControl(0, kAllVoices, kKindTempo, c.tempo);
    t.AddNote(c.ticks, 0, 60, c.duration, 100);
    t.AddNote(c.ticks, 0, 62, c.duration, 100);
    SmafData::TicksToUnits(t, c.division, nullptr, nullptr);
    ASSERT_EQ(t.event_count(), 2);  // the tempo went
    EXPECT_EQ(t.events[0]->delta, c.units);
    EXPECT_EQ(t.events[1]->delta, c.units);
    EXPECT_EQ(t.events[0]->duration, c.unit_duration);
  }
  // No tempo: 60 beats a minute. A tempo of bpm 0 is reported and skipped.
  MobileTrack t(kMobileCapacity);
  t.AddControl(0, kAllVoices, kKindTempo, 70000000);
  t.AddNote(96, 0, 60, 96, 100);
  cantrel_test::Sink().Clear();
  SmafData::TicksToUnits(t, 96, nullptr, nullptr);
  EXPECT_TRUE(HasBox("SMDT", kSmdtNoTempo));
  EXPECT_EQ(t.events[0]->delta, 200);
}

TEST(SmafTime, DetectTempo) {
  struct Case {
    const char* name;
    std::vector<int> deltas;
    int tempo;
    std::vector<int> scaled;
  };
  const Case cases[] = {
      {"all 48", {48, 48, 48, 48}, 500000, {48, 48, 48, 48}},
      {"all 96", {96, 96, 96, 0}, 1000000, {48, 48, 48, 0}},
      {"all 24", {24, 24, 24}, 250000, {48, 48, 48}},
      {"no distance", {0, 0, 0}, 500000, {0, 0, 0}},
      {"47 and 48 tie: the lower", {47, 48, 47, 48}, 489583, {48, 49, 48, 49}},
      {"far outside first", {2000, 2000, 2000, 48, 96}, 500000, {2000, 2000, 2000, 48, 96}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MobileTrack t(kMobileCapacity);
    for (int d : c.deltas) t.AddNote(d, 0, 60, 10, 100);
    EXPECT_EQ(SmafData::DetectTempo(t, 96), c.tempo);
    std::vector<int> got;
    for (const auto& e : t.events) got.push_back(e->delta);
    EXPECT_EQ(got, c.scaled);
  }
}
