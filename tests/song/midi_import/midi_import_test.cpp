// A MIDI file made into the song: metre, bars and their limit, chords from XF events and
// from the analysis, the melody's cells, lyrics and the octave fit; the text helpers.
#include "song/midi_import.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "import_util.h"
#include "music/midi_track.h"
#include "music/tune_structure.h"
#include "music/xf_data.h"
#include "song/song_data.h"
#include "tests/support/test_support.h"

namespace {

using namespace import_test;
namespace fs = std::filesystem;

std::string Trim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

class MidiImport : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMidiImportModule();
    ResetChordAnalysisModule();
    cantrel_test::Sink().Clear();
    song_ = std::make_unique<CSongData>();
  }

  // Imports the bytes; returns the channel the import proposed.
  int32_t Import(const Bytes& file, const MelodyChannelCallback& cb = nullptr) {
    const fs::path p = cantrel_test::TempDir() / "in.mid";
    Write(p, file);
    int32_t proposed = -1;
    auto wrap = [&](int32_t& channel, XfData& song) {
      proposed = channel;
      if (cb) cb(channel, song);
    };
    EXPECT_TRUE(CKvImport::ImportFile(p, *song_, wrap));
    return proposed;
  }

  int LimitMessages() const {
    int n = 0;
    for (const std::string& t : cantrel_test::Sink().Texts())
      if (t.find("読み込める最大の小節数") != std::string::npos) ++n;
    return n;
  }

  std::unique_ptr<CSongData> song_;
};

// A melody of quarter notes on channel 0 (piano), `bars` bars of `beats` beats.
std::vector<Ev> QuarterLine(int bars, int beats, int division, std::initializer_list<int> pitches,
                            int channel = 0) {
  std::vector<Ev> t;
  Program(t, channel, 0);
  std::vector<int> p(pitches);
  for (int i = 0; i < bars * beats; ++i) Note(t, int64_t{i} * division, channel, p[i % p.size()], division - 10);
  return t;
}

TEST_F(MidiImport, BeatsPerBarFromTheMetre) {
  struct Case {
    int numerator, power, beats;
  };
  for (const Case c : {Case{3, 2, 3}, Case{4, 2, 4}, Case{6, 3, 4}, Case{2, 2, 4}}) {
    std::vector<Ev> t = QuarterLine(4, 3, 96, {60, 62, 64, 65, 67});
    TimeSignature(t, c.numerator, c.power);
    Import(Smf({t}, 96));
    EXPECT_EQ(song_->beats_per_bar, c.beats) << c.numerator << "/" << (1 << c.power);
    EXPECT_EQ(song_->bar_count, (12 + c.beats - 1) / c.beats);
  }
}

TEST_F(MidiImport, MelodyCellsOfQuartersAndEighths) {
  std::vector<Ev> t;
  Program(t, 0, 0);
  Note(t, 0, 0, 72, 470);      // quarter
  Note(t, 480, 0, 74, 230);    // eighth
  Note(t, 720, 0, 76, 230);    // eighth
  Note(t, 1440, 0, 77, 900);   // half after a quarter rest
  Import(Smf({t}, 480));
  const std::vector<SongNote> notes = SongNotes(*song_);
  ASSERT_EQ(notes.size(), 4u);
  const SongNote expected[] = {{0, 72}, {96, 74}, {144, 76}, {288, 77}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(notes[i].tick, expected[i].tick) << i;
    EXPECT_EQ(notes[i].pitch, expected[i].pitch) << i;
  }
  EXPECT_EQ(song_->cells[4].slot[0], NoteSlotRest);  // the quarter rest
  EXPECT_EQ(song_->info.GetInt(SongInfoBlock::kTempo), 120);
}

TEST_F(MidiImport, LongFileStopsAtTheLimitOnceAndSaves) {
  std::vector<Ev> t = QuarterLine(300, 4, 96, {60, 62, 64, 65, 67, 69, 71, 72});
  Import(Smf({t}, 96));
  EXPECT_EQ(LimitMessages(), 1);
  EXPECT_EQ(song_->bar_count, 256);
  EXPECT_TRUE(CSongData::IsValidShape(song_->bar_count, song_->beats_per_bar, song_->key_index));
  const std::vector<SongNote> notes = SongNotes(*song_);
  ASSERT_EQ(notes.size(), 1024u);  // every quarter of bars 0..255
  EXPECT_EQ(notes.back().tick, 1023 * 96);

  const fs::path p = cantrel_test::TempDir() / "long.kvs";
  ASSERT_TRUE(song_->Save(&p));
  int bars = 0, bpb = 0, key = 0, metre = 0;
  bool read_ok = false;
  auto back = CSongData::LoadFromFile(p, &bars, &bpb, &key, &metre, &read_ok);
  ASSERT_TRUE(read_ok);
  EXPECT_EQ(bars, 256);
  EXPECT_EQ(SongNotes(*back).size(), 1024u);
}

TEST_F(MidiImport, ThreeFourLimitKeepsWholeBeats) {
  std::vector<Ev> t = QuarterLine(400, 3, 96, {60, 64, 67});
  TimeSignature(t, 3, 2);
  Import(Smf({t}, 96));
  EXPECT_EQ(LimitMessages(), 1);
  EXPECT_EQ(song_->beats_per_bar, 3);
  EXPECT_EQ(song_->bar_count, 1024 / 3);
  EXPECT_TRUE(CSongData::IsValidShape(song_->bar_count, song_->beats_per_bar, song_->key_index));
}

TEST_F(MidiImport, OctaveFit) {
  struct Case {
    std::initializer_list<int> pitches;
    int lowest, highest;
  };
  const Case cases[] = {
      {{40, 45, 52, 57, 65, 60}, 52, 77},  // raised
      {{62, 70, 78, 90, 85, 74}, 50, 78},  // lowered
      {{55, 60, 64, 67, 72, 76}, 55, 76},  // left alone
  };
  for (const Case& c : cases) {
    SetUp();
    Import(Smf({QuarterLine(2, 4, 96, c.pitches)}, 96));
    int lo = 0, hi = 0;
    song_->GetPitchRange(&lo, &hi, -1, -1);
    EXPECT_EQ(lo, c.lowest);
    EXPECT_EQ(hi, c.highest);
  }
}

TEST_F(MidiImport, LyricsOnTheirNotes) {
  // Karaoke file: notes at quarters 0, 1, 3; lyrics at 0, 1, 2 (no note there) and 3.
  MidiTrack notes(kTrackNotes, kDefaultMusicCapacity);
  notes.AddProgramChange(0, 0);
  notes.AddNote(0, 0, 72, 100, 400);
  notes.AddNote(0, 480, 74, 100, 400);
  notes.AddNote(0, 960, 76, 100, 400);
  notes.AddEndOfTrackAt(480);
  auto* karaoke = new MidiTrack(kTrackEvents, kDefaultMusicCapacity);
  const std::string words[] = {"ab/", "abcdefgh", "zz", "[x]y"};
  for (int i = 0; i < 4; ++i)
    karaoke->AddMetaEvent(480, 0x05, words[i].data(), static_cast<int32_t>(words[i].size()));
  karaoke->events[0]->delta = 0;
  karaoke->AddEndOfTrackAt(480);
  // The note at quarter 2 is missing: move the third note to quarter 3.
  notes.events[3]->delta = 960;
  XfData file(notes, karaoke, 480);
  const fs::path p = cantrel_test::TempDir() / "k.mid";
  ASSERT_EQ(file.SaveFile(p), 1);
  cantrel_test::Sink().Clear();
  ASSERT_TRUE(CKvImport::ImportFile(p, *song_, nullptr));
  char lyric[9] = {};
  auto lyric_at = [&](int eighth) {
    std::memcpy(lyric, song_->cells[eighth].lyric[0], 8);
    return std::string(lyric);
  };
  EXPECT_EQ(lyric_at(0), "ab");
  EXPECT_EQ(lyric_at(2), "abcdef");  // 8 bytes: cut to 6
  EXPECT_EQ(lyric_at(4), "");        // no note there
  EXPECT_EQ(lyric_at(6), "xy");
  EXPECT_NE(std::string(song_->lyrics_area).find("ab"), std::string::npos);
  EXPECT_EQ(song_->lyrics_area[0] == '\r' || song_->lyrics_area[0] == '\n', false);
}

// Lyric cuts never split a double-byte character: after 6 bytes for a syllable, after
// 255 bytes for a long event, and the lyrics text at 2047 bytes.
TEST_F(MidiImport, LyricCutsKeepWholeCharacters) {
  std::vector<Ev> t = QuarterLine(8, 4, 96, {60, 62, 64, 65});
  const std::string long_line = std::string(300, 'x');
  const std::pair<std::string, std::string> syllables[] = {
      {"さくらさくら", "さくら"},  // 12 bytes: 6
      {"aさくらさ", "aさく"},       // 9 bytes: 5, not half of "ら"
      {"ab/cdefg", "abcdef"},      // marks dropped first, then cut
      {long_line, "xxxxxx"},
  };
  for (int i = 0; i < 4; ++i) Text(t, i * 96, 0x05, syllables[i].first);
  // Enough text for the 2047-byte lyrics area: double-byte words and line ends.
  for (int i = 0; i < 150; ++i) Text(t, (4 + i % 28) * 96, 0x05, i % 5 == 4 ? "うた<" : "うたのことばです/");
  Import(Smf({t}, 96));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::string(song_->cells[i * 2].lyric[0], strnlen(song_->cells[i * 2].lyric[0], 8)),
              syllables[i].second) << i;
  }
  const std::string area(song_->lyrics_area, strnlen(song_->lyrics_area, sizeof song_->lyrics_area));
  EXPECT_LT(area.size(), sizeof song_->lyrics_area);
  // Whole characters and whole line ends only.
  size_t i = 0;
  while (i < area.size()) {
    if (static_cast<uint8_t>(area[i]) >= 0x81 && static_cast<uint8_t>(area[i]) <= 0x9F) {
      ASSERT_LT(i + 1, area.size()) << "half a character at the end";
      i += 2;
    } else {
      if (area[i] == '\r') {
        ASSERT_LT(i + 1, area.size());
        EXPECT_EQ(area[i + 1], '\n');
      }
      ++i;
    }
  }
}

TEST_F(MidiImport, LyricsFromThePlainSongTrack) {
  std::vector<Ev> t = QuarterLine(1, 4, 96, {60, 62, 64, 65});
  Text(t, 96, 0x05, "la");
  Text(t, 144, 0x05, "mid");  // between notes: dropped
  Import(Smf({t}, 96));
  EXPECT_EQ(std::string(song_->cells[2].lyric[0], 2), "la");
  EXPECT_EQ(song_->cells[3].lyric[0][0], 0);
}

TEST_F(MidiImport, XfChordsHoldUntilTheNext) {
  std::vector<Ev> t = QuarterLine(4, 4, 96, {60, 64, 67, 72});
  Meta(t, 96, 0x7F, {0x43, 0x7B, 0x01, 0x31, 0x00, 0x7F, 0x00});  // C at beat 1
  Meta(t, 384 + 192, 0x7F, {0x43, 0x7B, 0x01, 0x35, 19, 0x7F, 0x00});  // G7 at bar 1 beat 2
  Meta(t, 768, 0x7F, {0x43, 0x7B, 0x01});  // too short: not a chord
  Meta(t, 1152, 0x7F, {0x43, 0x7B, 0x01, 0x36, 8});  // Am at bar 3
  Import(Smf({t}, 96));
  const char* expected[4][4] = {{"C", "C", "C", "C"},
                                {"C", "C", "G7", "G7"},
                                {"G7", "G7", "G7", "G7"},
                                {"Am", "Am", "Am", "Am"}};
  for (int bar = 0; bar < 4; ++bar)
    for (int beat = 0; beat < 4; ++beat)
      EXPECT_EQ(Trim(ChordOf(*song_, bar, beat)), expected[bar][beat]) << bar << ":" << beat;
}

TEST_F(MidiImport, ChordsFromAnalysedNames) {
  MidiImportState& st = ImportState();
  const char* names[] = {"UnKnown", "G7(9,13)", "Cdim6", "Cdim7", "Am7(9)", "DonF#"};
  for (int i = 0; i < 6; ++i)
    std::snprintf(&st.chord_names[static_cast<size_t>(i) * kChordNameBytes], kChordNameBytes, "%s", names[i]);
  st.slot_count = 6;
  st.key[0] = 7;  // G
  st.key[1] = 0;
  song_->Reset(4, 4, 1, 1);
  CKvImport::ChordsFromAnalysis(4, 4, 2, *song_);
  const char* expected[] = {"G", "G7", "Cm", "Cdim7", "Am7", "D", "G", "G"};
  for (int slot = 0; slot < 8; ++slot) {
    for (int half = 0; half < 2; ++half) {
      const int beat = slot * 2 + half;
      EXPECT_EQ(Trim(ChordOf(*song_, beat / 4, beat % 4)), expected[slot]) << "slot " << slot;
    }
  }
}

TEST_F(MidiImport, TheCallbackChoosesTheChannel) {
  std::vector<Ev> a = QuarterLine(2, 4, 96, {72, 74, 76, 77}, 0);
  std::vector<Ev> b = QuarterLine(2, 4, 96, {60, 59}, 1);
  std::vector<Ev> t = a;
  t.insert(t.end(), b.begin(), b.end());
  EXPECT_EQ(Import(Smf({t}, 96), [](int32_t& ch, XfData&) { ch = 1; }), 0);
  std::vector<SongNote> notes = SongNotes(*song_);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].pitch, 60);

  SetUp();
  Import(Smf({t}, 96), [](int32_t& ch, XfData&) { ch = 99; });  // outside: channel 1 (index 0)
  notes = SongNotes(*song_);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0].pitch, 72);
}

// The programs of the channels decide which lists a channel may join: a synth drum (118) plays
// chords but is no accompaniment, the flute is the melody, the acoustic bass the bass. The file
// is checked with mido first, then read as the import reads it.
TEST_F(MidiImport, ChannelProgramsTypeTheChannels) {
  CANTREL_NEED_MIDO();
  std::vector<Ev> flute, bass, synth_drum;
  Program(flute, 0, 73);
  Program(bass, 1, 33);
  Program(synth_drum, 2, 118);
  for (int beat = 0; beat < 16; ++beat) {
    const int64_t tick = int64_t{beat} * 480;
    Note(flute, tick, 0, 72 + beat % 5, 450);
    if (beat % 2 == 0) Note(bass, tick, 1, beat % 4 == 0 ? 36 : 43, 900);
    for (int pitch : {60, 64, 67}) Note(synth_drum, tick, 2, pitch, 200);
  }
  const Bytes file = Smf({flute, bass, synth_drum}, 480);
  const fs::path p = cantrel_test::TempDir() / "programs.mid";
  Write(p, file);

  int division = 0;
  std::vector<std::string> lines;
  ASSERT_TRUE(cantrel_test::MidoEventLines(p, &division, &lines));
  std::vector<std::string> programs;
  for (const std::string& l : lines)
    if (l.rfind("program ", 0) == 0) programs.push_back(l);
  EXPECT_EQ(programs,
            (std::vector<std::string>{"program 0 0 73", "program 1 0 33", "program 2 0 118"}));

  int is_karaoke = 0;
  XfData karaoke(&p, 0, &is_karaoke);
  ASSERT_NE(karaoke.track, nullptr);
  karaoke.SetDivision(96);
  TuneStructure structure;
  structure.Analyse(karaoke, 96);
  EXPECT_EQ(structure.program[0], 73);
  EXPECT_EQ(structure.program[1], 33);
  EXPECT_EQ(structure.program[2], 118);
  EXPECT_EQ(structure.part_type[0], kPartMelody);
  EXPECT_EQ(structure.part_type[1], kPartBass);
  EXPECT_NE(structure.part_type[2], kPartAccompaniment);
  EXPECT_EQ(structure.used[2], 1);

  EXPECT_EQ(Import(file), 0);  // the flute's channel
}

TEST_F(MidiImport, UnreadableFileLeavesTheSong) {
  song_->Reset(4, 4, 0, 1);
  song_->cells[0].slot[0] = 64;
  EXPECT_FALSE(CKvImport::ImportFile(cantrel_test::TempDir() / "missing.mid", *song_, nullptr));
  const fs::path junk = cantrel_test::TempDir() / "junk.mid";
  Write(junk, Bytes(100, 0x55));
  EXPECT_FALSE(CKvImport::ImportFile(junk, *song_, nullptr));
  EXPECT_EQ(song_->bar_count, 4);
  EXPECT_EQ(song_->cells[0].slot[0], 64);
  EXPECT_GE(cantrel_test::Sink().Count(), 1u);  // the file's own box
}

TEST(KvImportText, CleanLyric) {
  const std::pair<std::string, std::string> cases[] = {
      {"<イントロ>", ""},
      {"間奏", ""},
      {"エンド", ""},
      {"a/b^c", "abc"},
      {"漢[かん]", "漢かん"},
      {"ー", "ー"},        // 81 5B: its trail byte is no "["
      {"ソ", "ソ"},        // 83 5C
      {"<x>", "x"},
      {std::string("a\x82"), "a"},  // a lead byte without its trail byte
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CKvImport::CleanLyric(in), out) << in;
}

TEST(KvImportText, NormalizeLyricBreaks) {
  const std::pair<std::string, std::string> cases[] = {
      {"\r\n\nabc", "abc"},
      {"a\r\n\r\nb", "a\r\n\r\nb"},
      {"a\r\n\r\n\r\nb", "a\r\n\r\nb"},
      {"a\r\n\r\n\r\n\r\n\nb\r\n", "a\r\n\r\nb\r\n"},
      {"", ""},
  };
  for (auto [in, out] : cases) {
    std::string text = in;
    CKvImport::NormalizeLyricBreaks(text);
    EXPECT_EQ(text, out);
  }
}

TEST(KvImportText, XfChordTypes) {
  const std::pair<const char*, int> cases[] = {{"Maj", 0},     {"1+2+5", 0}, {"Maj6(9)", 14},
                                               {"Maj7(#11)", 3}, {"min(9)", 1}, {"min7(11)", 4},
                                               {"minMaj7", 5}, {"dim7", 12}, {"7(b13)", 2},
                                               {"7sus4", 8},   {"7b5", 17},  {"Maj7aug", 10},
                                               {"7aug", 11},   {"sus4", 7},  {"nonsense", 0}};
  for (const auto& [name, suffix] : cases) EXPECT_EQ(CKvImport::XfChordTypeToSuffix(name), suffix) << name;
  EXPECT_EQ(CKvImport::XfChordTypeToSuffix(nullptr), 0);
}

}  // namespace
