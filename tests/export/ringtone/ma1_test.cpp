#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/ringtone/ma1.h"
#include "ringtone_fixture.h"
#include "tests/support/test_support.h"

namespace {

struct Ma1Note {
  int voice, tick, pitch, duration_code;
  bool operator==(const Ma1Note& o) const {
    return voice == o.voice && tick == o.tick && pitch == o.pitch && duration_code == o.duration_code;
  }
};
std::ostream& operator<<(std::ostream& os, const Ma1Note& n) {
  return os << "{v" << n.voice << " t" << n.tick << " p" << n.pitch << " d" << n.duration_code << "}";
}

// Reads MA-1 bytes back: the notes (rests left out) with their ticks at 12 per quarter, given
// the octave base of each voice.
std::vector<Ma1Note> DecodeMa1(const std::vector<uint8_t>& b, const int* bases) {
  static const int kStepOfCode[16] = {0, 2, 3, 4, 6, 8, 9, 12, 18, -1, 48, -1, 16, 24, 36, -1};
  static const int kDistanceOfCode[16] = {-1, 1, 2, 3, -1, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12};
  std::vector<Ma1Note> notes;
  EXPECT_GE(b.size(), 84u);
  EXPECT_EQ(static_cast<size_t>((b[0] << 8) | b[1]), b.size());
  int tick = 0;
  for (size_t at = 84; at + 1 < b.size(); at += 2) {
    const int note = b[at], length = b[at + 1];
    const int voice = note & 3, code = (note >> 2) & 15, octave = note >> 6;
    const int step = kStepOfCode[(length >> 3) & 15];
    EXPECT_GE(step, 0);
    if (!(octave == 0 && code == 12)) {
      const int distance = octave * 12 + kDistanceOfCode[code];
      notes.push_back({voice, tick, bases[voice] * 12 + 24 + distance, length & 7});
    }
    tick += step;
  }
  return notes;
}

}  // namespace

TEST(Ma1Data, QuarterNotesGiveStepTwelveAndDurationCodeSix) {
  MobileTrack track;
  for (int i = 0; i < 4; ++i) track.AddNote(i == 0 ? 0 : 96, 0, 60, 96, 100);
  Ma1Data ma1(96, track);
  ASSERT_EQ(ma1.used_size, 84 + 8);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ma1.buffer[84 + 2 * i + 1], 0x3E) << i;
  EXPECT_EQ(ma1.buffer[66], 0x32);
  EXPECT_EQ(ma1.buffer[67], 0x10);
  EXPECT_EQ(ma1.buffer[69], 0x47);
  // Voice 0's record: the parameter row of program 0 and volume 127.
  EXPECT_EQ(ma1.buffer[2 + 1], 0x7B);
  EXPECT_EQ(ma1.buffer[2 + 6], 0x8C);
  EXPECT_EQ(ma1.buffer[2 + 7], 0x00);
}

TEST(Ma1Data, LongGapsBecomeRestsOfTheVoice) {
  MobileTrack track;
  track.AddNote(0, 1, 60, 12, 100);
  track.AddNote(100 * 8, 1, 62, 12, 100);  // 100 ticks at 12 per quarter
  Ma1Data ma1(96, track);
  ASSERT_EQ(ma1.used_size, 84 + 8);
  const uint8_t* n = ma1.buffer + 84;
  EXPECT_EQ((n[1] >> 3) & 15, 10);  // step 48
  EXPECT_EQ(n[2], 1 + 0x30);        // a rest of voice 1
  EXPECT_EQ((n[3] >> 3) & 15, 10);  // step 48
  EXPECT_EQ(n[4], 1 + 0x30);
  EXPECT_EQ((n[5] >> 3) & 15, 3);   // step 4
  EXPECT_EQ(n[6] & 3, 1);
}

TEST(Ma1Data, PitchCodesOctavesAndProgramShifts) {
  MobileTrack track;
  track.AddNote(0, 0, 60, 12, 100);
  track.AddNote(12, 0, 61, 12, 100);
  Ma1Data ma1(12, track);
  EXPECT_EQ(ma1.octave_bases[0], 1);
  EXPECT_EQ(ma1.buffer[84], 0 + 15 * 4 + 1 * 64);
  EXPECT_EQ(ma1.buffer[86], 0 + 1 * 4 + 2 * 64);

  // Program 33 raises voice 0 by an octave; voice 1 stays.
  MobileTrack bass;
  bass.AddControl(0, 0, kKindProgram, 33);
  bass.AddNote(0, 0, 48, 12, 100);
  bass.AddNote(0, 1, 48, 12, 100);
  Ma1Data shifted(12, bass);
  const int bases[4] = {0, 0, 0, 0};
  const auto notes = DecodeMa1(std::vector<uint8_t>(shifted.buffer, shifted.buffer + shifted.used_size), bases);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].pitch, 60);
  EXPECT_EQ(notes[1].pitch, 48);
}

TEST(Ma1Data, TheDecoderReadsTheQuantisedFixtureBack) {
  // Four voices, events every step of the table, gaps past 48 and chords across voices.
  static const int kSteps[] = {2, 3, 4, 6, 8, 9, 12, 16, 18, 24, 36, 48, 100};
  MobileTrack track;
  std::vector<Ma1Note> expected;
  int tick = 0;
  int pitch_of[4] = {40, 55, 67, 80};
  for (int i = 0; i < 40; ++i) {
    const int step = kSteps[i % 13];
    const int voice = i % 4;
    const int pitch = pitch_of[voice] + (i * 5) % 12;
    track.AddNote(i == 0 ? 0 : step * 8, voice, pitch, 12 * 8, 100);
    if (i > 0) tick += step;
    expected.push_back({voice, tick, pitch, 0});
  }
  Ma1Data ma1(96, track);
  const std::vector<uint8_t> bytes(ma1.buffer, ma1.buffer + ma1.used_size);
  auto notes = DecodeMa1(bytes, ma1.octave_bases);
  ASSERT_EQ(notes.size(), expected.size());
  for (size_t i = 0; i < notes.size(); ++i) {
    // The duration's code is read in the class of the step that follows the note.
    const int next = i + 1 < notes.size() ? std::min(kSteps[(i + 1) % 13], 48) : 12;
    int long_class = 0;
    ASSERT_GE(Ma1Data::StepCode(next, &long_class), 0);
    expected[i].duration_code = Ma1Data::DurationCode(12, long_class);
    EXPECT_EQ(notes[i], expected[i]) << i;
  }
}

TEST(Ma1Data, RefusedInputGivesNoBytes) {
  MobileTrack track;
  track.AddNote(0, 0, 60, 12, 100);
  cantrel_test::Sink().Clear();
  Ma1Data zero(0, track);
  EXPECT_EQ(zero.used_size, 0);
  // More notes than the size field can count.
  MobileTrack many;
  for (int i = 0; i < 40000; ++i) many.AddNote(12, i % 4, 60, 12, 100);
  Ma1Data big(12, many);
  EXPECT_EQ(big.used_size, 0);
  // A gap of millions of ticks is counted before any rest is made.
  MobileTrack gap;
  gap.AddNote(0, 0, 60, 12, 100);
  gap.AddNote(2000000000, 0, 60, 12, 100);
  Ma1Data far(12, gap);
  EXPECT_EQ(far.used_size, 0);
  bool reported = false;
  for (const auto& t : cantrel_test::Sink().Texts()) reported |= t.rfind("A1DT0A000001", 0) == 0;
  EXPECT_TRUE(reported);
}

TEST(Ma1Data, VolumeCodesAndStepTable) {
  struct Case {
    int volume;
    uint8_t a, b;
  };
  for (const Case& c : {Case{0, 0x8F, 0xF0}, Case{1, 0x8D, 0xB0}, Case{41, 0x8D, 0x10},
                        Case{65, 0x8D, 0x00}, Case{66, 0x8C, 0xF0}, Case{70, 0x8C, 0xE0},
                        Case{80, 0x8C, 0xB0}, Case{109, 0x8C, 0x40}, Case{114, 0x8C, 0x30},
                        Case{119, 0x8C, 0x20}, Case{124, 0x8C, 0x10}, Case{127, 0x8C, 0x00},
                        Case{128, 0, 0}}) {
    uint8_t out[2] = {};
    Ma1Data::VolumeCode(c.volume, out);
    EXPECT_EQ(out[0], c.a) << c.volume;
    EXPECT_EQ(out[1], c.b) << c.volume;
  }
  int long_class = -1;
  EXPECT_EQ(Ma1Data::StepCode(16, &long_class), 12);
  EXPECT_EQ(long_class, 1);
  EXPECT_EQ(Ma1Data::StepCode(18, &long_class), 8);
  EXPECT_EQ(long_class, 0);
  EXPECT_EQ(Ma1Data::StepCode(5, nullptr), -1);
}

TEST(MelodyMail, HeadingAndBase64) {
  struct Case {
    size_t n;
    int length;
  };
  for (const Case& c : {Case{84, 119}, Case{85, 123}, Case{0, 7}, Case{1, 11}, Case{2, 11}}) {
    std::vector<uint8_t> bytes(c.n);
    for (size_t i = 0; i < c.n; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 5);
    std::vector<char> text(c.length);
    int length = -1;
    ASSERT_EQ(EncodeMelodyMailText(bytes.data(), bytes.size(), text.data(), text.size(), &length), 1);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(std::string(text.data(), 7), "--B:M\r\n");
    if (c.n == 85) {
      EXPECT_EQ(std::string(text.data() + length - 2, 2), "==");
    }
    // One byte short of room writes nothing.
    std::vector<char> small(c.length - 1, 'q');
    EXPECT_EQ(EncodeMelodyMailText(bytes.data(), bytes.size(), small.data(), small.size(), &length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(small[0], 'q');
  }
}

TEST(MelodyMail, TheTextDecodesWithBase64ToTheBytes) {
  CANTREL_NEED_TOOL("base64");
  MobileTrack track;
  for (int i = 0; i < 30; ++i) track.AddNote(i ? 24 : 0, i % 4, 50 + i, 20, 100);
  Ma1Data ma1(96, track);
  ASSERT_GT(ma1.used_size, 84);
  std::vector<char> text(7 + 4 * ((ma1.used_size + 2) / 3));
  int length = 0;
  ASSERT_EQ(EncodeMelodyMailText(ma1.buffer, static_cast<size_t>(ma1.used_size), text.data(), text.size(), &length), 1);
  std::string decoded;
  ASSERT_EQ(cantrel_test::RunTool({"base64", "-d"}, &decoded, std::string(text.data() + 7, length - 7)), 0);
  EXPECT_EQ(decoded, std::string(reinterpret_cast<const char*>(ma1.buffer), ma1.used_size));
}
