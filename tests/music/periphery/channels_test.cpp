// Channel fitting and track splitting of the format-1 song: tracks moved by name and
// channel, drum, channel and program merges, second-port channels moved down, splits
// that check their room first, system-exclusive tracks distributed, doubled parts and
// drums mapped to tones; and a whole 18-channel file fitted, read back by mido.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <tuple>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../passes/passes_util.h"
#include "music/midi1_data.h"
#include "music/sysex_kind.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

std::unique_ptr<Midi1Data> Song(std::vector<std::vector<MidiEvent*>> tracks) {
  auto song = std::make_unique<Midi1Data>(96, 0x60000);
  for (auto& events : tracks) song->AddTrack(Make(kTrackNotes, events).release());
  return song;
}

// A plain part: bank 0/0, the program, two notes.
std::vector<MidiEvent*> Part(int channel, int program, int pitch, const std::string& name = "") {
  std::vector<MidiEvent*> e;
  if (!name.empty()) e.push_back(Meta(0, 4, name));
  e.push_back(Cc(0, channel, 0, 0));
  e.push_back(Cc(0, channel, 32, 0));
  e.push_back(Program(0, channel, program));
  e.push_back(Note(96, channel, pitch, 100, 48));
  e.push_back(Note(96, channel, pitch + 2, 100, 48));
  e.push_back(End(96));
  return e;
}

std::vector<int> PortChannels(const Midi1Data& song) {
  std::vector<int> out;
  for (int32_t t = 0; t < song.track_count; ++t) out.push_back(song.tracks[t]->GetPortChannel());
  return out;
}

// (tick, channel, pitch) of every note of the song.
std::multiset<std::tuple<int64_t, int, int>> AllNotes(const Midi1Data& song) {
  std::multiset<std::tuple<int64_t, int, int>> out;
  for (int32_t t = 0; t < song.track_count; ++t) {
    for (const NoteRow& n : Notes(*song.tracks[t])) {
      out.insert({std::get<0>(n), std::get<1>(n), std::get<2>(n)});
    }
  }
  return out;
}

}  // namespace

TEST(Channels, MoveTrackChannelMovesTracksOfTheSameName) {
  auto song = Song({Part(3, 1, 60), Part(3, 2, 62), Part(3, 3, 64, "SC88B"), Part(4, 4, 66)});
  song->MoveTrackChannel(0, 7);
  // Both tracks without name on channel 3 moved; the second-port track stayed.
  EXPECT_EQ(PortChannels(*song), (std::vector<int>{7, 7, 19, 4}));
  song->MoveTrackChannel(2, 5);
  EXPECT_EQ(PortChannels(*song), (std::vector<int>{7, 7, 21, 4}));
}

TEST(Channels, CollectNamesCutsAtCharacterBoundaries) {
  std::string long_name(254, 'a');
  long_name += "\x83\x41";  // a two-byte character across byte 255
  auto song = Song({Part(0, 1, 60, "Piano"), Part(1, 1, 60), Part(2, 1, 60, "Piano"),
                    Part(3, 1, 60, long_name)});
  char names[64][256];
  ASSERT_EQ(song->CollectInstrumentNames(names), 3);
  EXPECT_STREQ(names[0], "Piano");
  EXPECT_STREQ(names[1], "");
  EXPECT_EQ(std::string(names[2]), std::string(254, 'a'));
}

TEST(Channels, SameSingleProgram) {
  auto song = Song({Part(0, 5, 60), Part(1, 5, 60), Part(2, 6, 60), {Note(0, 3, 60, 100, 10), End(10)},
                    {Note(0, 4, 60, 100, 10), End(10)}});
  EXPECT_EQ(song->SameSingleProgram(0, 1), 1);
  EXPECT_EQ(song->SameSingleProgram(0, 2), 0);
  EXPECT_EQ(song->SameSingleProgram(3, 4), 1);  // neither has a program
  EXPECT_EQ(song->SameSingleProgram(3, 0), 0);
  const int32_t list[] = {3, 9};
  EXPECT_EQ(Midi1Data::IsInList(9, list, 2), 1);
  EXPECT_EQ(Midi1Data::IsInList(4, list, 2), 0);
}

TEST(Channels, MergeDrumTracksOntoChannelNine) {
  auto song = Song({Part(0, 1, 60), Part(2, 0, 36, "SC88B"), Part(9, 8, 38), Part(5, 2, 60)});
  // The second-port track on channel 2 is no drum track; make one on its channel 9.
  song->tracks[1]->SetChannelAll(9);
  song->MergeDrumTracks();
  ASSERT_EQ(song->track_count, 3);
  EXPECT_EQ(PortChannels(*song), (std::vector<int>{0, 9, 5}));
  EXPECT_EQ(Notes(*song->tracks[1]).size(), 4u);
  // Programs 0 and 8 differ: warned once.
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  auto none = Song({Part(0, 1, 60)});
  none->MergeDrumTracks();
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(Channels, MoveHighChannelsDown) {
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c : {0, 1, 2, 3, 4, 6, 7, 8, 10, 11, 12, 13, 14, 15}) parts.push_back(Part(c, c, 60));
  parts.push_back(Part(3, 40, 70, "SC88B"));  // port channel 19
  parts.push_back(Part(7, 41, 72, "SC88B"));  // port channel 23
  auto song = Song(parts);
  song->MoveHighChannelsDown();
  EXPECT_EQ(song->tracks[14]->GetChannel(), 5);
  EXPECT_EQ(song->tracks[15]->GetChannel(), 9);  // the next free channel is 9
  // Moved onto 9 as no drum track: the part is told it is no rhythm part.
  EXPECT_EQ(song->tracks[15]->events[0]->number, SysExKind::kGsRhythmPart);
  EXPECT_EQ(song->tracks[15]->IsRhythmPart(9), 0);
}

TEST(Channels, MoveHighChannelsDownLeavesATrackWithoutFreeChannel) {
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c = 0; c < 16; ++c) parts.push_back(Part(c, c, 60));
  parts.push_back(Part(3, 40, 70, "SC88B"));
  auto song = Song(parts);
  song->MoveHighChannelsDown();
  EXPECT_EQ(song->tracks[16]->GetPortChannel(), 19);
}

TEST(Channels, DrumLeavingChannelNineIsMadeARhythmPart) {
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c = 0; c < 16; ++c) {
    if (c != 9 && c != 11) parts.push_back(Part(c, c, 60));
  }
  parts.push_back(Part(9, 0, 36));           // drums of the first port
  parts.push_back(Part(9, 0, 38, "SC88B"));  // drums of the second port: 25
  auto song = Song(parts);
  song->MoveHighChannelsDown();
  Midi1Track& moved = *song->tracks[song->track_count - 1];
  EXPECT_EQ(moved.GetChannel(), 11);
  EXPECT_EQ(moved.IsRhythmPart(11), 1);
  EXPECT_EQ(song->IsDrumTrack(song->track_count - 1), 1);
}

TEST(Channels, MergeSameProgramMatchesTheFullWalk) {
  // Names, banks, programs and channels mixed; the reference repeats the clean-up and
  // the collection for every (name, bank, program) as the slow walk did.
  const auto build = [] {
    return Song({Part(0, 5, 60), Part(1, 5, 62), Part(2, 7, 64, "A"), Part(3, 7, 66, "A"),
                 Part(4, 5, 68, "A"), Part(5, 5, 70), Part(6, 9, 72), Part(7, 9, 74, "SC88B"),
                 Part(8, 9, 76, "SC88B"), Part(9, 5, 36), Part(10, 5, 78),
                 {Program(0, 11, 5), Note(0, 11, 60, 100, 10), End(10)},  // no bank select
                 Part(12, 7, 80, "A")});
  };
  auto fast = build();
  const int32_t exempt[] = {10};
  fast->MergeSameProgramTracks(exempt, 1);

  auto slow = build();
  {
    Midi1Data& s = *slow;
    char names[64][256];
    const int32_t n = s.CollectInstrumentNames(names);
    for (int32_t k = 0; k < n; ++k) {
      for (int bank = 0; bank < 128; ++bank) {
        for (int program = 0; program < 128; ++program) {
          std::vector<int32_t> found;
          for (int32_t t = 0; t < s.track_count; ++t) {
            Midi1Track& tr = *s.tracks[t];
            tr.RemoveRedundantBankProgram();
            if (tr.GetFirstControllerValue(0) != bank) continue;
            if (tr.CountProgramChanges() != 1 || tr.GetFirstNonZeroProgramAny() != program) {
              if (!(tr.CountProgramChanges() == 1 && program == 0 &&
                    tr.GetFirstNonZeroProgramAny() == 0)) {
                continue;
              }
            }
            if (tr.MetaText(4) != names[k]) continue;
            if (s.IsDrumTrack(t) || Midi1Data::IsInList(tr.GetChannel(), exempt, 1)) continue;
            found.push_back(t);
          }
          if (!found.empty()) s.MergeTrackList(static_cast<int32_t>(found.size()), found.data(), 0);
        }
      }
    }
    s.CloseOverlaps(0);
    s.RemoveDuplicateBankPrograms();
    const int32_t kept[] = {7, 11, 39, 43, 10, 0, 32};
    s.RemoveRedundantControllers(kept, 7);
    s.RemoveRepeatedMixerValues();
    s.RemoveRedundantBends();
  }
  ASSERT_EQ(fast->track_count, slow->track_count);
  EXPECT_EQ(fast->track_count, 8);
  for (int32_t t = 0; t < fast->track_count; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(Notes(*fast->tracks[t]), Notes(*slow->tracks[t]));
    EXPECT_EQ(Ticks(*fast->tracks[t]), Ticks(*slow->tracks[t]));
  }
}

TEST(Split, ByBankAndProgram) {
  auto song = Song({Part(0, 3, 50),
                    {Cc(0, 2, 0, 0), Cc(0, 2, 32, 0), Program(0, 2, 1), Note(0, 2, 60, 100, 48),
                     Program(96, 2, 25), Note(0, 2, 62, 100, 48), Program(96, 2, 1),
                     Note(0, 2, 64, 100, 48), End(96)}});
  ASSERT_EQ(song->SplitTrackByBankProgram(1), 1);
  ASSERT_EQ(song->track_count, 3);
  // The copies take the lowest free port channels: 1, then 2 (the split track's own).
  EXPECT_EQ(PortChannels(*song), (std::vector<int>{0, 1, 2}));
  // The note after the repeated program 1 stays with program 1.
  EXPECT_EQ(Notes(*song->tracks[1]), (std::vector<NoteRow>{{0, 1, 60, 100, 48}, {192, 1, 64, 100, 48}}));
  EXPECT_EQ(Notes(*song->tracks[2]), (std::vector<NoteRow>{{96, 2, 62, 100, 48}}));
  EXPECT_EQ(song->tracks[1]->CountProgramChanges(), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(Split, CopiesOnTheSecondPortAreMarked) {
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c = 0; c < 16; ++c) {
    if (c != 9) parts.push_back(Part(c, c, 60));
  }
  parts.push_back({Meta(0, 4, "Module A"), Program(0, 0, 1), Note(0, 0, 60, 100, 48), Program(96, 0, 2),
                   Note(0, 0, 62, 100, 48), End(96)});
  auto song = Song(parts);
  // The split track is on channel 0 of the first port, which stays used by track 0.
  ASSERT_EQ(song->SplitTrackByBankProgram(15), 1);
  ASSERT_EQ(song->track_count, 17);
  EXPECT_EQ(song->tracks[15]->GetPortChannel(), 16);
  EXPECT_EQ(song->tracks[16]->GetPortChannel(), 17);
  EXPECT_EQ(song->tracks[15]->MetaText(4), "SC88B");
}

TEST(Split, WithoutRoomNothingChanges) {
  // Every port channel but one used: two copies need two.
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c = 0; c < 16; ++c) parts.push_back(Part(c, c, 60));
  for (int c = 0; c < 15; ++c) parts.push_back(Part(c, c, 60, "SC88B"));
  parts.push_back({Cc(0, 9, 0, 0), Program(0, 3, 1), Note(0, 3, 60, 100, 48), Program(96, 3, 2),
                   Note(0, 3, 62, 100, 48), End(96)});
  auto song = Song(parts);
  const int32_t count = song->track_count;
  const int32_t events = song->tracks[count - 1]->event_count;
  EXPECT_EQ(song->SplitTrackByBankProgram(count - 1), 0);
  EXPECT_EQ(song->track_count, count);
  EXPECT_EQ(song->tracks[count - 1]->event_count, events);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);

  // 128 different programs: reported, unchanged.
  std::vector<MidiEvent*> many;
  for (int p = 0; p < 128; ++p) {
    many.push_back(Cc(0, 1, 32, p / 64));
    many.push_back(Program(0, 1, p % 128));
    many.push_back(Note(0, 1, 60, 100, 10));
  }
  many.push_back(End(10));
  auto big = Song({many});
  EXPECT_EQ(big->SplitTrackByBankProgram(0), 0);
  EXPECT_EQ(big->track_count, 1);
  EXPECT_EQ(big->tracks[0]->CountProgramChanges(), 128);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);

  // A drum track is not split.
  auto drums = Song({Part(9, 1, 36)});
  EXPECT_EQ(drums->SplitTrackByBankProgram(0), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
}

TEST(Split, ByNoteValue) {
  const auto build = [] {
    return Song({Part(0, 1, 50),
                 {Program(0, 2, 1), Note(0, 2, 40, 30, 10), Note(10, 2, 70, 90, 200), Note(10, 2, 60, 60, 50),
                  End(300)},
                 Part(5, 1, 50)});
  };
  struct Case {
    int kind, threshold;
    std::vector<int> high, low;
  } cases[] = {{1, 60, {70, 60}, {40}}, {2, 50, {70, 60}, {40}}, {3, 61, {70}, {40, 60}},
               {7, 0, {40, 70, 60}, {40, 70, 60}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    auto song = build();
    ASSERT_EQ(song->SplitChannelByNoteValue(2, c.threshold, c.kind), 1);
    ASSERT_EQ(song->track_count, 4);
    std::vector<int> high, low;
    for (const NoteRow& n : Notes(*song->tracks[1])) high.push_back(std::get<2>(n));
    for (const NoteRow& n : Notes(*song->tracks[2])) low.push_back(std::get<2>(n));
    EXPECT_EQ(high, c.high);
    EXPECT_EQ(low, c.low);
    EXPECT_EQ(song->tracks[2]->CountProgramChanges(), 1);
    EXPECT_EQ(song->tracks[3]->GetChannel(), 5);
  }
  // No room for the doubled tracks: nothing changes.
  std::vector<std::vector<MidiEvent*>> parts;
  for (int t = 0; t < 50; ++t) parts.push_back(Part(t % 2 == 0 ? 2 : 3, 1, 60));
  auto full = Song(parts);
  EXPECT_EQ(full->SplitChannelByNoteValue(2, 60, 1), 0);
  EXPECT_EQ(full->track_count, 50);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

namespace {

MidiEvent* SysEx(int32_t delta, int channel, std::vector<uint8_t> bytes) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusSysEx;
  e->channel = channel;
  e->SetDataQuietly(bytes.data(), static_cast<int32_t>(bytes.size()));
  return e;
}

int CountStatus(const MidiTrack& track, uint32_t status) {
  int n = 0;
  for (int32_t i = 0; i < track.event_count; ++i) n += track.events[i]->status == status ? 1 : 0;
  return n;
}

}  // namespace

TEST(SysExTracks, DistributedIntoTheChannelTracks) {
  auto song = Song({{Tempo(0, 500000), End(0)},
                    {SysEx(0, kNoChannel, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}), End(0)},
                    Part(2, 1, 60),
                    Part(4, 1, 60),
                    {SysEx(96, 4, {0xF0, 0x03, 0x41, 0x10, 0xF7}), End(0)}});
  song->DistributeSysExTracks();
  ASSERT_EQ(song->track_count, 3);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);  // two system-exclusive tracks
  // The message without channel went to track 1's channel (2), the other to channel 4.
  EXPECT_EQ(CountStatus(*song->tracks[1], kStatusSysEx), 1);
  EXPECT_EQ(CountStatus(*song->tracks[2], kStatusSysEx), 1);
  EXPECT_EQ(Ticks(*song->tracks[2])[0], 0);
}

TEST(SysExTracks, WithoutATrackForThemTheMessagesStay) {
  auto song = Song({{SysEx(0, kNoChannel, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}), End(0)}, Part(2, 1, 60)});
  song->DistributeSysExTracks();
  ASSERT_EQ(song->track_count, 2);
  EXPECT_EQ(CountStatus(*song->tracks[0], kStatusSysEx), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Doubles, DoubledPart) {
  auto song = Song({{Cc(0, 2, 10, 20), Program(0, 2, 5), Note(0, 2, 120, 100, 48), Note(96, 2, 3, 50, 48), End(96)}});
  ASSERT_EQ(song->AddDoubledPart(2, 6, 10, 40, 1.5, 1), 1);
  ASSERT_EQ(song->track_count, 2);
  const Midi1Track& copy = *song->tracks[1];
  EXPECT_EQ(copy.GetChannel(), 6);
  EXPECT_EQ(copy.GetFirstNonZeroProgramAny(), 40);
  EXPECT_EQ(copy.events[0]->value, 64);  // pan centred
  // 120 + 12 leaves the range and comes back an octave; velocities x 1.5, at most 127.
  EXPECT_EQ(Notes(copy), (std::vector<NoteRow>{{10, 6, 120, 127, 48}, {106, 6, 15, 75, 48}}));
  EXPECT_EQ(song->AddDoubledPart(3, 6, 10, 40, 1.5, 1), 0);
}

TEST(Doubles, DetunedDouble) {
  auto song = Song({{Cc(0, 2, 10, 64), Program(0, 2, 5), Note(48, 2, 60, 100, 48), End(96)}});
  ASSERT_EQ(song->AddDetunedDouble(2, 7, 5, 100, 30), 1);
  const Midi1Track& source = *song->tracks[0];
  const Midi1Track& copy = *song->tracks[1];
  EXPECT_EQ(source.events[0]->value, 16);
  EXPECT_EQ(copy.events[0]->value, 111);
  // Modulation, a centre bend (detuned) at the note's old tick, the note after the delay.
  ASSERT_EQ(copy.event_count, 6);
  EXPECT_EQ(copy.events[2]->status, kStatusController);
  EXPECT_EQ(copy.events[2]->number, 1u);
  EXPECT_EQ(copy.events[3]->status, kStatusPitchBend);
  EXPECT_EQ(copy.events[3]->GetPitchBend(), 8192 + 100);
  EXPECT_EQ(Ticks(copy)[3], 48);
  EXPECT_EQ(Notes(copy), (std::vector<NoteRow>{{53, 7, 60, 100, 48}}));
}

TEST(DrumsToTones, NotesOfTheKitOnToneTracks) {
  static int8_t table[128][128][2];
  std::memset(table, -1, sizeof table);
  table[0][56][0] = 12;  // cowbell as program 12, note 80
  table[0][56][1] = 80;
  auto song = Song({{Tempo(0, 500000), End(0)},
                    {Meta(0, 3, "Kit"), Cc(0, 9, 32, 0), Program(0, 9, 0), Note(0, 9, 36, 100, 10),
                     Note(10, 9, 56, 90, 10), Note(10, 9, 56, 91, 10), End(10)},
                    Part(0, 1, 60)});
  ASSERT_EQ(song->MapDrumsToTones(0, table, 0), 1);
  ASSERT_EQ(song->track_count, 4);
  const Midi1Track& tones = *song->tracks[3];
  EXPECT_EQ(tones.MetaText(3), "DrumToneMapping Kit");
  EXPECT_EQ(Notes(tones), (std::vector<NoteRow>{{10, 1, 80, 90, 10}, {20, 1, 80, 91, 10}}));
  EXPECT_EQ(tones.GetFirstNonZeroProgramAny(), 12);
  EXPECT_EQ(Notes(*song->tracks[1]), (std::vector<NoteRow>{{0, 9, 36, 100, 10}}));
}

TEST(DrumsToTones, WithoutRoomNothingChanges) {
  static int8_t table[128][128][2];
  std::memset(table, -1, sizeof table);
  for (int n = 35; n < 60; ++n) {
    table[0][n][0] = static_cast<int8_t>(n - 30);
    table[0][n][1] = 60;
  }
  std::vector<MidiEvent*> kit;
  for (int n = 35; n < 60; ++n) kit.push_back(Note(10, 9, n, 100, 10));
  kit.push_back(End(10));
  std::vector<std::vector<MidiEvent*>> parts{kit};
  for (int t = 0; t < 40; ++t) parts.push_back(Part(t % 8, 1, 60));
  auto song = Song(parts);
  EXPECT_EQ(song->MapDrumsToTones(0, table, 1), 0);
  EXPECT_EQ(song->track_count, 41);
  EXPECT_EQ(Notes(*song->tracks[0]).size(), 25u);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

TEST(Renumber, AroundKeptChannels) {
  auto song = Song({{Tempo(0, 500000), End(0)}, Part(3, 1, 60), Part(9, 0, 36), Part(3, 2, 60, "SC88B"),
                    Part(5, 3, 60)});
  const int32_t kept[] = {0, 9};
  ASSERT_EQ(song->RenumberChannels(kept, 2), 1);
  EXPECT_EQ(PortChannels(*song), (std::vector<int>{kNoChannel, 1, 9, 2, 3}));
  // More port channels than room around the kept ones: reported.
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c = 0; c < 16; ++c) parts.push_back(Part(c, 1, 60, "SC88B"));
  parts.push_back(Part(4, 1, 60));
  auto full = Song(parts);
  EXPECT_EQ(full->RenumberChannels(kept, 2), 0);
}

TEST(Fit, SixteenChannelsAreLeftAsTheyAre) {
  std::vector<std::vector<MidiEvent*>> parts;
  for (int c = 0; c < 16; ++c) parts.push_back(Part(c, c, 60));
  auto song = Song(parts);
  const auto before = AllNotes(*song);
  song->FitTo16Channels();
  EXPECT_EQ(song->track_count, 16);
  EXPECT_EQ(AllNotes(*song), before);
}

namespace {

// A csvmidi text of 18 port channels: channels 0-15 of the first port (drums on 9,
// channels 4 and 5 the same bank and program), and on the second port (tracks named
// "SC88B") drums on channel 9 and a part on channel 2.
std::string EighteenChannelCsv() {
  std::ostringstream csv;
  int track = 1;
  std::vector<std::string> tracks;
  const auto part = [&](int channel, int program, int pitch, bool second, int start) {
    std::ostringstream t;
    const int n = ++track;
    t << n << ", 0, Start_track\n";
    if (second) t << n << ", 0, Instrument_name_t, \"SC88B\"\n";
    t << n << ", 0, Control_c, " << channel << ", 0, 0\n";
    t << n << ", 0, Control_c, " << channel << ", 32, 0\n";
    t << n << ", 0, Program_c, " << channel << ", " << program << "\n";
    for (int k = 0; k < 8; ++k) {
      const int at = start + k * 192;
      t << n << ", " << at << ", Note_on_c, " << channel << ", " << pitch + k % 3 << ", 90\n";
      t << n << ", " << at + 96 << ", Note_off_c, " << channel << ", " << pitch + k % 3 << ", 0\n";
    }
    t << n << ", " << start + 8 * 192 << ", End_track\n";
    tracks.push_back(t.str());
  };
  for (int c = 0; c < 16; ++c) {
    if (c == 9) {
      part(9, 0, 36, false, 0);
    } else if (c == 5) {
      part(5, 24, 50, false, 96);  // same program as channel 4, between its notes
    } else {
      part(c, c == 4 ? 24 : c + 30, 40 + c, false, 0);
    }
  }
  part(9, 0, 42, true, 48);  // second-port drums, other notes off the first kit's ticks
  part(2, 80, 70, true, 0);  // second-port channel 2
  csv << "0, 0, Header, 1, " << track << ", 96\n";
  csv << "1, 0, Start_track\n1, 0, Tempo, 500000\n1, 0, End_track\n";
  for (const std::string& t : tracks) csv << t;
  csv << "0, 0, End_of_file\n";
  return csv.str();
}

// (tick, pitch, program or -1 for drums) of every note mido reads; the program is
// that of the note's track (per_track) or the last program change of the note's
// channel replayed in play order.
std::multiset<std::tuple<int64_t, int, int>> MidoProgramNotes(const std::filesystem::path& path,
                                                             bool per_track, bool* drums_on_9) {
  const char script[] = R"PY(
import sys, mido
m = mido.MidiFile(sys.argv[1])
per_track = sys.argv[2] == '1'
if per_track:
    for tr in m.tracks:
        t, prog = 0, None
        for msg in tr:
            t += msg.time
            if msg.type == 'program_change': prog = msg.program
            if msg.type == 'note_on' and msg.velocity > 0:
                print(t, msg.note, -1 if msg.channel == 9 else prog, msg.channel)
else:
    t, prog = 0, {}
    for msg in mido.merge_tracks(m.tracks):
        t += msg.time
        if msg.type == 'program_change': prog[msg.channel] = msg.program
        if msg.type == 'note_on' and msg.velocity > 0:
            print(t, msg.note, -1 if msg.channel == 9 else prog.get(msg.channel), msg.channel)
)PY";
  std::string out;
  std::multiset<std::tuple<int64_t, int, int>> notes;
  if (cantrel_test::RunTool({cantrel_test::PythonWithMido(), "-c", script, path.string(),
                             per_track ? "1" : "0"},
                            &out) != 0) {
    return notes;
  }
  std::istringstream in(out);
  long long tick;
  int pitch, channel;
  std::string program;
  *drums_on_9 = true;
  while (in >> tick >> pitch >> program >> channel) {
    const int p = program == "None" ? -2 : std::stoi(program);
    if ((p == -1) != (channel == 9)) *drums_on_9 = false;
    notes.insert({tick, pitch, p});
  }
  return notes;
}

}  // namespace

TEST(Fit, EighteenPortChannelsKeepEveryNoteAndProgram) {
  CANTREL_NEED_TOOL("csvmidi");
  CANTREL_NEED_MIDO();
  const std::filesystem::path dir = cantrel_test::TempDir();
  const std::filesystem::path csv = dir / "eighteen.csv";
  {
    std::ofstream out(csv);
    out << EighteenChannelCsv();
  }
  ASSERT_EQ(cantrel_test::RunTool({"csvmidi", csv.string(), (dir / "eighteen.mid").string()}), 0);
  bool drums = false;
  const auto want = MidoProgramNotes(dir / "eighteen.mid", true, &drums);
  ASSERT_EQ(want.size(), 18u * 8u);

  Midi1Data song(dir / "eighteen.mid", 0x60000);
  ASSERT_EQ(song.CountChannels(nullptr), 18);
  song.FitTo16Channels();
  EXPECT_LE(song.CountChannels(nullptr), 17);  // the second port's name stays on its tracks
  std::set<int> channels;
  for (int32_t t = 0; t < song.track_count; ++t) {
    if (song.tracks[t]->GetChannel() != kNoChannel) channels.insert(song.tracks[t]->GetChannel());
  }
  EXPECT_EQ(channels.size(), 16u);
  ASSERT_EQ(song.SaveFile(dir / "fitted.mid"), 1);
  EXPECT_EQ(MidoError(dir / "fitted.mid"), "");
  const auto got = MidoProgramNotes(dir / "fitted.mid", false, &drums);
  EXPECT_TRUE(drums);
  EXPECT_EQ(got, want);
}
