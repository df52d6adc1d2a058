// Velocity, pitch and key-signature passes of the MIDI track.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "music/midi1_data.h"
#include "tests/music/passes/passes_util.h"
#include "tests/support/test_support.h"
#include "util/music_names.h"

using namespace passes_test;

namespace {

std::vector<int> Pitches(const MidiTrack& t) {
  std::vector<int> out;
  for (const NoteRow& n : Notes(t)) out.push_back(std::get<2>(n));
  return out;
}

std::vector<int> Velocities(const MidiTrack& t) {
  std::vector<int> out;
  for (const NoteRow& n : Notes(t)) out.push_back(std::get<3>(n));
  return out;
}

MidiEvent* Key(int32_t delta, int sharps, int mode) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusMeta;
  e->channel = kNoChannel;
  e->number = 0x59;
  const uint8_t data[2] = {static_cast<uint8_t>(sharps), static_cast<uint8_t>(mode)};
  e->SetDataQuietly(data, 2);
  return e;
}

int SharpsOf(const MidiEvent& e) { return static_cast<int8_t>(e.data[0]); }

}  // namespace

TEST(VelocityPasses, OffsetScaleAndNormalizeKeepVelocitiesInRange) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 10, 100), Note(10, 0, 62, 100, 100),
                              Note(10, 1, 64, 120, 100), End(0)});
  t->OffsetVelocity(20);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{30, 120, 127}));
  t->OffsetVelocity(-50);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{0, 70, 77}));
  t->ScaleVelocity(1.5);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{0, 105, 115}));
  t->ScaleVelocity(2.0);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{0, 127, 127}));
  t->ScaleVelocity(-1.0);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{0, 0, 0}));
}

TEST(VelocityPasses, NormalizeMakesTheLargestTheTopInIntegers) {
  // velocity * top / largest: 90 * 100 / 90 = 100 exactly (a fraction top / largest
  // truncated first would give 1 * 90 = 90); other channels stay.
  auto t = Make(kTrackNotes, {Note(0, 2, 60, 30, 10), Note(0, 2, 62, 90, 10),
                              Note(0, 3, 64, 50, 10), End(0)});
  t->NormalizeVelocity(2, 100);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{33, 100, 50}));
  t->NormalizeChannelVelocity(3);
  EXPECT_EQ(Velocities(*t), (std::vector<int>{33, 100, 127}));
  // A channel of silent notes has no largest velocity: left as it is.
  auto silent = Make(kTrackNotes, {Note(0, 4, 60, 0, 10), End(0)});
  silent->NormalizeChannelVelocity(4);
  EXPECT_EQ(Velocities(*silent), (std::vector<int>{0}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(VelocityPasses, NoteModeIsRequired) {
  struct Case {
    const char* name;
    void (*run)(MidiTrack&);
  };
  const Case cases[] = {
      {"offset", [](MidiTrack& t) { t.OffsetVelocity(5); }},
      {"scale", [](MidiTrack& t) { t.ScaleVelocity(0.5); }},
      {"normalize", [](MidiTrack& t) { t.NormalizeVelocity(0, 100); }},
      {"octaves", [](MidiTrack& t) { t.TransposeOctaves(1); }},
      {"range", [](MidiTrack& t) { t.LimitNoteRange(-1, 70, 80, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cantrel_test::Sink().Clear();
    auto t = Make(kTrackEvents, {On(0, 0, 60, 64), Off(10, 0, 60), End(0)});
    c.run(*t);
    EXPECT_EQ(t->events[0]->velocity, 64);
    EXPECT_EQ(t->events[0]->note, 60);
    EXPECT_EQ(t->event_count, 3);
    EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  }
}

TEST(CheckNotes, RepairsOnlyTheFirstFaultyNoteEachCall) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 64, 10), Note(0, 0, 130, 64, 10),
                              Note(0, 0, -3, 64, 10), Note(0, 0, 60, 64, -5),
                              Note(0, 0, 60, 200, 10), End(0)});
  EXPECT_EQ(t->CheckNotes(), 1);
  EXPECT_EQ(Pitches(*t), (std::vector<int>{60, 127, -3, 60, 60}));
  EXPECT_EQ(t->CheckNotes(), 1);
  EXPECT_EQ(Pitches(*t), (std::vector<int>{60, 127, 0, 60, 60}));
  // A negative length silences the note and is made 0, so that it is repaired.
  EXPECT_EQ(t->CheckNotes(), 1);
  EXPECT_EQ(t->events[3]->velocity, 0);
  EXPECT_EQ(t->events[3]->duration, 0);
  EXPECT_EQ(t->CheckNotes(), 1);
  EXPECT_EQ(t->events[4]->velocity, 127);
  EXPECT_EQ(t->CheckNotes(), 0);
}

TEST(CheckNotes, ANegativeDeltaSilencesTheNote) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 64, 10), Note(-7, 0, 62, 64, 10), End(0)});
  EXPECT_EQ(t->CheckNotes(), 1);
  EXPECT_EQ(t->events[1]->velocity, 0);
  EXPECT_EQ(t->events[1]->delta, 0);
  EXPECT_EQ(t->CheckNotes(), 0);
}

TEST(PitchPasses, TransposeFoldsByOctavesAndOctavesClamp) {
  auto t = Make(kTrackNotes, {Note(0, 0, 120, 64, 10), Note(0, 1, 5, 64, 10),
                              Note(0, 0, 60, 0, 10), End(0)});
  t->TransposeAll(13);  // 133 is lowered by an octave; silent notes stay
  EXPECT_EQ(Pitches(*t), (std::vector<int>{121, 18, 60}));
  t->Transpose(1, -30);  // -12 is raised by an octave
  EXPECT_EQ(Pitches(*t), (std::vector<int>{121, 0, 60}));
  t->Transpose(0, -1000);
  EXPECT_EQ(std::get<2>(Notes(*t)[0]) % 12, (121 - 1000 + 1200) % 12);
  EXPECT_GE(std::get<2>(Notes(*t)[0]), 0);

  auto u = Make(kTrackNotes, {Note(0, 0, 120, 64, 10), Note(0, 0, 5, 0, 10), End(0)});
  u->TransposeOctaves(1);
  EXPECT_EQ(Pitches(*u), (std::vector<int>{127, 17}));
  u->TransposeOctaves(-2);
  EXPECT_EQ(Pitches(*u), (std::vector<int>{103, 0}));
}

TEST(PitchPasses, TransposeRangeTakesNotesStartingInsideOnly) {
  auto t = Make(kTrackNotes, {Note(0, 0, 60, 64, 500), Note(480, 0, 62, 64, 10),
                              Note(480, 0, 64, 64, 10), End(0)});
  t->TransposeRange(480, 960, 2);
  EXPECT_EQ(Pitches(*t), (std::vector<int>{60, 64, 64}));
  t->TransposeRange(-1, 960, 2);
  EXPECT_EQ(Pitches(*t), (std::vector<int>{60, 64, 64}));
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(PitchPasses, AddTransposedNotesDoublesAtTheSameTicks) {
  auto t = Make(kTrackNotes, {Program(0, 0, 5), Note(0, 0, 60, 70, 100),
                              Note(240, 0, 64, 80, 50), Note(0, 1, 40, 90, 10),
                              Note(240, 0, 124, 60, 30), End(0)});
  auto before = Notes(*t);
  t->AddTransposedNotes(0, 12);
  const auto after = Notes(*t);
  ASSERT_EQ(after.size(), 7u);
  // Each channel-0 note is followed by its copy an octave up (folded), same tick,
  // velocity and length.
  const std::vector<NoteRow> want = {
      {0, 0, 60, 70, 100},   {0, 0, 72, 70, 100}, {240, 0, 64, 80, 50}, {240, 0, 76, 80, 50},
      {240, 1, 40, 90, 10}, {480, 0, 124, 60, 30}, {480, 0, 124, 60, 30}};
  EXPECT_EQ(after, want);
  EXPECT_EQ(Ticks(*t).back(), 480);  // End of Track keeps its tick
  t->AddTransposedNotes(5, 12);      // no note on the channel
  EXPECT_EQ(Notes(*t).size(), 7u);
}

TEST(PitchPasses, LimitNoteRangeDeletesOrMovesByOneOctave) {
  struct Case {
    int rule;
    std::vector<int> pitches;
  };
  const Case cases[] = {{0, {60, 72}}, {1, {52, 60, 72, 73, 30}}, {7, {40, 60, 72, 85, 30}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    auto t = Make(kTrackNotes, {Note(0, 0, 40, 64, 10), Note(10, 0, 60, 64, 10),
                                Note(10, 0, 72, 64, 10), Note(10, 0, 85, 64, 10),
                                Note(10, 1, 30, 64, 10), End(0)});
    EXPECT_EQ(t->LimitNoteRange(0, 55, 75, c.rule), 1);
    if (c.rule == 0) {
      EXPECT_EQ(Pitches(*t), (std::vector<int>{60, 72, 30}));
      EXPECT_EQ(Ticks(*t).back(), 40);
    } else {
      EXPECT_EQ(Pitches(*t), c.pitches);
    }
    EXPECT_EQ(t->LimitNoteRange(0, 0, 127, c.rule), 0);
  }
}

TEST(KeySignatures, GetAndNameFromAPosition) {
  auto t = Make(kTrackNotes, {Key(0, -3, 0), Note(0, 0, 60, 64, 10), Key(480, 3, 1), End(0)});
  int32_t key[2] = {};
  int32_t position = 0;
  ASSERT_EQ(t->GetKeySignature(key, &position), 1);
  EXPECT_EQ(key[0], -3);
  EXPECT_EQ(key[1], 0);
  EXPECT_EQ(position, 0);
  position = 1;
  char name[8] = "x";
  ASSERT_EQ(t->GetKeySignatureName(name, &position), 1);
  EXPECT_STREQ(name, "F#m");
  EXPECT_EQ(position, 2);
  position = 3;
  EXPECT_EQ(t->GetKeySignatureName(name, &position), 0);
  EXPECT_STREQ(name, "");
  ASSERT_EQ(t->GetKeySignature(key, nullptr), 1);
  EXPECT_EQ(key[0], -3);
}

TEST(KeySignatures, TransposeKeepsModeAndPrefersTheTableSpelling) {
  auto t = Make(kTrackNotes, {Key(0, 0, 0), Key(0, -1, 0), Key(0, 0, 1), Key(0, 5, 2),
                              Key(960, 0, 0), End(0)});
  t->TransposeKeySignatures(0, 960, 1);
  EXPECT_EQ(SharpsOf(*t->events[0]), 7);   // C to C# major
  EXPECT_EQ(SharpsOf(*t->events[1]), 6);   // F to F# major
  EXPECT_EQ(SharpsOf(*t->events[2]), 7);   // Am to A#m
  EXPECT_EQ(SharpsOf(*t->events[3]), 5);   // no such mode: left
  EXPECT_EQ(SharpsOf(*t->events[4]), 0);   // at the end tick: outside
  t->TransposeKeySignatures(0, 961, -13);
  EXPECT_EQ(SharpsOf(*t->events[0]), 0);   // C# down 13 = C
  EXPECT_EQ(SharpsOf(*t->events[4]), 5);   // C down 13 = B major
  t->TransposeKeySignatures(-1, 961, 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

// Every key of the table moved by -11..11 semitones reads in mido as the moved
// tonic in its mode, with sharps where two spellings exist.
TEST(KeySignatures, TransposedKeysReadInMidoAsTheMovedTonic) {
  CANTREL_NEED_MIDO();
  static const char* const kMajor[12] = {"C", "C#", "D", "Eb", "E", "F",
                                         "F#", "G", "Ab", "A", "Bb", "B"};
  static const char* const kMinor[12] = {"Cm", "C#m", "Dm", "D#m", "Em", "Fm",
                                         "F#m", "Gm", "G#m", "Am", "A#m", "Bm"};
  Midi1Data song(480, kDefaultMusicCapacity);
  std::vector<std::string> want;
  Midi1Track* conductor = song.AddEmptyTrack(kDefaultMusicCapacity);
  ASSERT_NE(conductor, nullptr);
  conductor->mode = kTrackNotes;
  int32_t tick = 0;
  for (int shift = -11; shift <= 11; ++shift) {
    for (const KeySignature& key : KeySignatureTable) {
      const int32_t start = tick;
      conductor->AddEvent(Key(10, key.accidentals, key.mode));
      tick += 10;
      // Each key alone in its own span, moved by its own shift.
      conductor->TransposeKeySignatures(start + 1, start + 11, shift);
      const int pc = ((key.tonic + shift) % 12 + 12) % 12;
      want.push_back(key.mode == 0 ? kMajor[pc] : kMinor[pc]);
    }
  }
  conductor->AddEvent(End(10));
  const std::filesystem::path path = cantrel_test::TempDir() / "keys.mid";
  ASSERT_EQ(song.SaveFile(path), 1);
  std::string out;
  ASSERT_EQ(cantrel_test::RunTool({cantrel_test::PythonWithMido(), "-c",
                                   "import sys, mido\n"
                                   "for m in mido.MidiFile(sys.argv[1]).tracks[0]:\n"
                                   "    if m.type == 'key_signature': print(m.key)\n",
                                   path.string()},
                                  &out),
            0);
  std::istringstream lines(out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  EXPECT_EQ(got, want);
}
