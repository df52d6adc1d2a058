// The facade's compose loop and settings, the renderer's track order and clean-up,
// its texts and format-0 image, and the chord timeline.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "arrange/ckv_algo.h"
#include "arrange/song_render.h"
#include "engine/compose_info.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/part_tracks.h"
#include "music/midi1_data.h"
#include "tests/engine/parts/parts_fixture.h"
#include "tests/arrange/render/render_fixture.h"

namespace {

using render_test::SongSpec;

// The lines the mido script prints about the file.
std::vector<std::string> MidoLines(const std::string& script, const std::filesystem::path& path) {
  const std::string out = parts_test::RunMido(script, path);
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SongRenderTest : public EngineTest {
 protected:
  static SongSpec SmallSong(int beats_per_bar = 4) {
    SongSpec spec;
    spec.bars = 2;
    spec.beats_per_bar = beats_per_bar;
    spec.chords = {"C", "G"};
    spec.tones = {{-1, 2}, {64, 4, "a"}, {65, 2}, {67, 8, "b"}, {60, 6}};
    return spec;
  }

  // mido's view of the file: per track, the channels it uses ("-" for none).
  static std::vector<std::string> TrackChannels(const std::filesystem::path& path) {
    return MidoLines(
        "m = mido.MidiFile(sys.argv[1])\n"
        "for t in m.tracks:\n"
        "    print(','.join(str(c) for c in sorted({x.channel for x in t if hasattr(x, 'channel')})) or '-')\n",
        path);
  }

  static std::vector<std::tuple<int64_t, int>> NoteStarts(const std::vector<std::string>& lines, int channel) {
    std::vector<std::tuple<int64_t, int>> out;
    for (const std::string& line : lines) {
      int ch = 0, pitch = 0, velocity = 0, length = 0;
      long long tick = 0;
      if (std::sscanf(line.c_str(), "note %d %lld %d %d %d", &ch, &tick, &pitch, &velocity, &length) == 5 &&
          ch == channel)
        out.emplace_back(tick, pitch);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  static int BoxesSaying(const char* text) {
    int n = 0;
    for (const std::string& t : cantrel_test::Sink().Texts())
      if (t == text) ++n;
    return n;
  }
};

// ---- the compose loop ----------------------------------------------------------

// Chord input of `entries` chords of `length` ticks, method 8, modulation asked for:
// each accepted pass shows the modulation box once.
TEST_F(SongRenderTest, ComposeLoopPassCounts) {
  struct Case {
    int metre;
    int target;
    int entries;
    int length;
    int chords_per_block;
    int passes;
  } cases[] = {
      {0, 8, 8, 384, 0, 1},    // 8 + 2 within 6 .. 10
      {0, 8, 12, 384, 0, 5},   // accepted, never in range
      {0, 8, 12, 384, 1, 1},   // one chord a bar ends the loop
      {0, 4, 2, 384, 0, 5},    // the lower bound is 5, not 2
      {0, 8, 4, 384, 0, 1},    // 4 + 2 = 6, the lower edge
      {1, 8, 8, 288, 0, 1},
      {2, 8, 3, 288, 0, 1},    // 7/8: 5 .. 20 in the first pass
      {2, 8, 18, 288, 0, 1},
      {2, 8, 19, 288, 0, 2},   // 21 > 20, then 5 .. 30
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("metre " + std::to_string(c.metre) + " target " + std::to_string(c.target) + " entries " +
                 std::to_string(c.entries));
    ResetEngineState();
    StyleRecord& s = CurrentStyle();
    s.metre = c.metre;
    s.song_bars = c.target;
    s.chord_method = 8;
    s.modulation = 1;
    s.chords_per_block = c.chords_per_block;
    s.chord_beats = 0;
    ComposeInfo().ClearChordInput();
    for (int i = 0; i < c.entries; ++i) {
      ChordEntry e;
      e.length = static_cast<uint16_t>(c.length);
      std::memcpy(e.code, i % 2 ? "GMPo" : "CMPo", 4);
      ComposeInfo().SetChordInputEntry(i, e, "00");
    }
    ASSERT_EQ(LoadPatternDatabases(), 1);
    cantrel_test::Sink().Clear();
    RunComposePasses(ComposeProgress());
    EXPECT_EQ(BoxesSaying("転調は使用できません。"), c.passes);
  }
}

// A method that fills no section chords accepts no pass: the loop still ends after five.
TEST_F(SongRenderTest, ComposeLoopEndsWithoutAcceptedPass) {
  for (int method : {0, 1}) {
    ResetEngineState();
    CurrentStyle().chord_method = method;
    CurrentStyle().modulation = 1;
    CurrentStyle().song_bars = 16;
    ASSERT_EQ(LoadPatternDatabases(), 1);
    int steps = 0;
    cantrel_test::Sink().Clear();
    RunComposePasses([&] { ++steps; });
    EXPECT_EQ(BoxesSaying("転調は使用できません。"), 0);
    EXPECT_EQ(steps, 5);  // one at the start of every pass
  }
}

// The fixed bass sounds in the very first composition of the process.
TEST_F(SongRenderTest, FixedBassFromTheFirstPass) {
  SongSpec spec = SmallSong();
  auto song = render_test::MakeSong(spec);
  render_test::PrepareRoad(*song, spec, 0, 1, 1);
  CurrentStyle().fixed_bass = kFixedBassSetting;
  ASSERT_EQ(FixedBassPitch(), 0);
  CKVAlgo::Compose(cantrel_test::TempDir() / "f.mid", nullptr, nullptr, ComposeProgress());
  ASSERT_GT(ComposeInfo().chord_block_count(), 0);
  for (int i = 0; i < ComposeInfo().chord_block_count(); ++i) EXPECT_EQ(ComposeInfo().chord_block(i)->bass, 43);
}

TEST_F(SongRenderTest, PrepareSongRenderingSettings) {
  StyleRecord& s = CurrentStyle();
  for (int keep : {0, 1}) {
    for (int c = 0; c < 16; ++c) s.mixer[c].double_delay = 5;
    s.scale = 7;
    s.instrument[3] = 40;
    s.instrument[7] = 41;
    s.parts[1].voicing = 2;
    s.modulation = 1;
    CKVAlgo::PrepareSongRendering(73, 100, keep ? 24 : -1, keep ? -1 : 25, 2, keep);
    EXPECT_EQ(ComposeMode(), 3);
    EXPECT_EQ(MelodyFromInput(), 1);
    EXPECT_EQ(s.chord_method, 8);
    EXPECT_EQ(s.modulation, 0);
    EXPECT_EQ(s.parts[1].voicing, 0);
    EXPECT_EQ(s.scale, 1);
    EXPECT_EQ(s.instrument[8], kInstrumentOff);
    EXPECT_EQ(s.instrument[1], 73);
    EXPECT_EQ(s.instrument[3], keep ? 24 : 40);
    EXPECT_EQ(s.instrument[7], keep ? 41 : 25);
    EXPECT_EQ(s.tempo, 600000);
    EXPECT_EQ(s.triple_metre_kind, 2);
    for (int c : {1, 2, 3, 4, 5, 7, 8, 9}) EXPECT_EQ(s.mixer[c].double_delay, keep ? 5 : 0) << c;
    EXPECT_EQ(s.mixer[6].double_delay, 5);
  }
  s.scale = 8;
  CKVAlgo::PrepareSongRendering(0, 120, -1, -1, 1, 0);
  EXPECT_EQ(s.scale, 8);
  CKVAlgo::EnableMelodyDouble();
  EXPECT_EQ(s.mixer[1].double_delay, 12);
}

// ---- the renderer ----------------------------------------------------------------

TEST_F(SongRenderTest, TracksInBuilderOrderOrOnePerChannel) {
  CANTREL_NEED_MIDO();
  struct Case {
    const char* name;
    void (*tweak)(StyleRecord&);
    std::vector<std::string> tracks;
  } cases[] = {
      {"optional parts off",
       [](StyleRecord& s) {
         for (int c : {2, 3, 4, 5, 7, 8, 9}) s.instrument[c] = kInstrumentOff;
       },
       {"-", "1", "15"}},
      {"melody doubled",
       [](StyleRecord& s) {
         for (int c : {2, 3, 4, 5, 7, 8, 9}) s.instrument[c] = kInstrumentOff;
         s.mixer[1].double_delay = 3;
       },
       {"-", "10", "1", "15"}},
      {"clash removal",
       [](StyleRecord& s) {
         for (int c : {2, 3, 5, 7, 8, 9}) s.instrument[c] = kInstrumentOff;
         s.instrument[4] = 0;
         s.parts[1].dissonance = 10;
       },
       {"-", "-", "1", "-", "-", "4", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "15"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ResetEngineState();
    SongSpec spec = SmallSong();
    auto song = render_test::MakeSong(spec);
    render_test::PrepareRoad(*song, spec, 0, 1, 1);
    c.tweak(CurrentStyle());
    const auto path = cantrel_test::TempDir() / "t.mid";
    CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
    EXPECT_EQ(TrackChannels(path), c.tracks);
    if (CurrentStyle().mixer[1].double_delay == 3) {
      int division = 0;
      std::vector<std::string> lines;
      ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
      const auto melody = NoteStarts(lines, 1);
      const auto doubled = NoteStarts(lines, 10);
      ASSERT_FALSE(melody.empty());
      ASSERT_EQ(doubled.size(), melody.size());
      EXPECT_EQ(std::get<0>(doubled[0]), std::get<0>(melody[0]) + 3);
    }
  }
}

// In canon mode the obbligato plays the melody a bar and a beat (384 ticks) later, in 3/4 too.
TEST_F(SongRenderTest, CanonStartsThreeHundredEightyFourTicksLate) {
  CANTREL_NEED_MIDO();
  for (int beats : {3, 4}) {
    ResetEngineState();
    SongSpec spec = SmallSong(beats);
    auto song = render_test::MakeSong(spec);
    render_test::PrepareRoad(*song, spec, 0, 1, 1);
    StyleRecord& s = CurrentStyle();
    s.submelody_mode = 8;
    s.instrument[4] = 0;
    s.octave[4] = 0;
    s.parts[1].dissonance = 0;
    const auto path = cantrel_test::TempDir() / "canon.mid";
    CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
    int division = 0;
    std::vector<std::string> lines;
    ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
    auto melody = NoteStarts(lines, 1);
    ASSERT_FALSE(melody.empty());
    for (auto& [tick, pitch] : melody) tick += 384;
    EXPECT_EQ(NoteStarts(lines, 4), melody) << beats;
  }
}

TEST_F(SongRenderTest, TextsReplaceNameAndNotice) {
  CANTREL_NEED_MIDO();
  for (bool texts : {false, true}) {
    ResetEngineState();
    SongSpec spec = SmallSong();
    auto song = render_test::MakeSong(spec);
    render_test::PrepareRoad(*song, spec, 0, 1, 1);
    const auto path = cantrel_test::TempDir() / "texts.mid";
    CKVAlgo::Compose(path, texts ? "Song" : nullptr, texts ? "(c) us" : nullptr, ComposeProgress());
    const std::string out = parts_test::RunMido(
        "m = mido.MidiFile(sys.argv[1])\n"
        "for i, t in enumerate(m.tracks):\n"
        "    at = 0\n"
        "    for x in t:\n"
        "        at += x.time\n"
        "        if x.type in ('track_name', 'copyright'): print(i, at, x.type, x.name if x.type == 'track_name' else x.text)\n",
        path);
    EXPECT_EQ(out, texts ? "0 0 track_name Song\n0 0 copyright (c) us\n" : "");
  }
}

// Render steps call back between steps; the image is the file as one track.
TEST_F(SongRenderTest, ImageHoldsTheFileAsOneTrack) {
  CANTREL_NEED_MIDO();
  SongSpec spec = SmallSong();
  auto song = render_test::MakeSong(spec);
  render_test::PrepareRoad(*song, spec, 0, 3, 1);
  ASSERT_EQ(LoadPatternDatabases(), 1);
  RunComposePasses(ComposeProgress());
  std::vector<uint8_t> image(kRenderImageBufferSize);
  int32_t size = kRenderImageBufferSize;
  int steps = 0;
  const auto path = cantrel_test::TempDir() / "one.mid";
  RenderComposition(image.data(), &size, path, RenderedSongCallback(), nullptr, nullptr,
                    [&] { ++steps; }, kComposeMelodyNoteLimit);
  EXPECT_GT(steps, 15);
  ASSERT_GT(size, 22);
  EXPECT_EQ(image[9], 0);   // format 0
  EXPECT_EQ(image[11], 1);  // one track
  const auto image_path = cantrel_test::TempDir() / "image.mid";
  std::ofstream(image_path, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), size);
  int division = 0;
  std::vector<std::string> file_lines, image_lines;
  ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &file_lines));
  ASSERT_TRUE(cantrel_test::MidoEventLines(image_path, &division, &image_lines));
  EXPECT_EQ(division, 96);
  EXPECT_FALSE(file_lines.empty());
  EXPECT_EQ(image_lines, file_lines);
}

// An image that does not fit the caller's buffer is reported, not copied; the file is whole.
TEST_F(SongRenderTest, ImageTooLargeForTheBuffer) {
  SongSpec spec = SmallSong();
  auto song = render_test::MakeSong(spec);
  render_test::PrepareRoad(*song, spec, 0, 1, 1);
  ASSERT_EQ(LoadPatternDatabases(), 1);
  RunComposePasses(ComposeProgress());
  std::vector<uint8_t> image(64, 0xEE);
  int32_t size = 64;
  const auto path = cantrel_test::TempDir() / "small.mid";
  cantrel_test::Sink().Clear();
  RenderComposition(image.data(), &size, path, RenderedSongCallback(), nullptr, nullptr,
                    ComposeProgress(), kComposeMelodyNoteLimit);
  EXPECT_EQ(size, 0);
  int too_large = 0;
  for (const std::string& t : cantrel_test::Sink().Texts())
    if (t.find("03000019") != std::string::npos) ++too_large;
  EXPECT_EQ(too_large, 1);
  for (uint8_t b : image) EXPECT_EQ(b, 0xEE);
  EXPECT_GT(std::filesystem::file_size(path), 64u);
}

// Same seed, song and style after the engine's reset: the same file, image and karaoke file.
TEST_F(SongRenderTest, SameSeedSameBytes) {
  auto render = [&](uint32_t seed, std::vector<uint8_t>* file, std::vector<uint8_t>* image,
                    std::vector<uint8_t>* karaoke) {
    ResetEngineState();
    SongSpec spec = SmallSong();
    spec.bars = 4;
    spec.chords = {"C", "Am", "Dm", "G7"};
    auto song = render_test::MakeSong(spec);
    render_test::PrepareRoad(*song, spec, 0, 5, seed);
    LoadPatternDatabases();
    RunComposePasses(ComposeProgress());
    image->assign(kRenderImageBufferSize, 0);
    int32_t size = kRenderImageBufferSize;
    const auto path = cantrel_test::TempDir() / ("same" + std::to_string(seed) + ".mid");
    RenderComposition(image->data(), &size, path, RenderedSongCallback(), nullptr, nullptr,
                      ComposeProgress(), kComposeMelodyNoteLimit);
    image->resize(static_cast<size_t>(size));
    *file = render_test::ReadBytes(path);
    CKVAlgo::AddLyricsToMidi(*song, path, 0);
    *karaoke = render_test::ReadBytes(path);
  };
  for (uint32_t seed : {3u, 1234567u}) {
    std::vector<uint8_t> f1, i1, k1, f2, i2, k2;
    render(seed, &f1, &i1, &k1);
    render(seed, &f2, &i2, &k2);
    EXPECT_FALSE(f1.empty());
    EXPECT_FALSE(i1.empty());
    EXPECT_FALSE(k1.empty());
    EXPECT_EQ(f1, f2);
    EXPECT_EQ(i1, i2);
    EXPECT_EQ(k1, k2);
  }
}

// No chord blocks at all (every cell beyond the song): the conductor and the melody
// tracks remain and the hand-over tick is 0.
TEST_F(SongRenderTest, NoChordBlocks) {
  CANTREL_NEED_MIDO();
  SongSpec spec = SmallSong();
  auto song = render_test::MakeSong(spec);
  for (int b = 0; b < 8; ++b) render_test::SetCellName(song->chords[b].first, "----");
  render_test::PrepareRoad(*song, spec, 0, 1, 1);
  const auto path = cantrel_test::TempDir() / "none.mid";
  CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress());
  EXPECT_EQ(ComposeInfo().chord_block_count(), 0);
  EXPECT_EQ(ComposeInfo().render_handover_tick, 0);
  const std::vector<std::string> tracks = TrackChannels(path);
  ASSERT_GE(tracks.size(), 3u);
  EXPECT_EQ(tracks[0], "-");
  EXPECT_EQ(tracks[1], "1");
  EXPECT_EQ(tracks.back(), "15");
}

// ---- hand-over tick and chord timeline ----------------------------------------------

TEST_F(SongRenderTest, FirstMelodyOnset) {
  struct Case {
    int start_tick;
    std::vector<std::array<int, 3>> events;  // length, pitch, kind
    int expected;
  } cases[] = {
      {65535, {{96, 0, kEventNote}, {48, 60, kEventNote}}, 96},
      {65535, {{384, 60, kEventChordMarker}, {96, 62, kEventNote}}, 384},  // markers carry time
      {50, {{96, 0, kEventNote}, {48, 60, kEventNote}}, 50},               // not before the tick
      {65535, {{96, 0, kEventNote}}, 65535},                               // no note
      {65535, {{0, 64, kEventNote}}, 0},
  };
  for (const Case& c : cases) {
    EventList list;
    for (const auto& e : c.events) {
      ComposeEvent* ev = list.AppendNote(e[0], e[1]);
      ev->kind = e[2];
    }
    ComposeInfo().render_handover_tick = c.start_tick;
    NoteFirstMelodyOnset(list);
    EXPECT_EQ(ComposeInfo().render_handover_tick, c.expected);
  }
}

TEST_F(SongRenderTest, ChordTimelineTags) {
  ComposeInformation& info = ComposeInfo();
  auto fill = [&](int section, int chords) {
    for (int i = 0; i < chords; ++i) {
      ChordEntry e;
      e.length = static_cast<uint16_t>(96 * (i + 1));
      std::memcpy(e.code, "CMPo", 4);
      info.section_chords[static_cast<size_t>(section)].AppendChordMarker(ChordBlock(e, nullptr));
    }
  };
  auto tags = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < info.chord_timeline.count(); ++i)
      out.push_back(std::string(info.chord_timeline[i].tag, 4) + ":" + std::to_string(info.chord_timeline[i].length));
    return out;
  };
  info.Reset();
  fill(0, 4);
  fill(1, 4);
  info.section_count = 2;
  for (int id : {1, 2, 1}) info.AddSectionId(id);
  CurrentStyle().metre = 1;
  ComposeMode() = 0;
  BuildChordTimeline(info.section_chords);
  const std::vector<std::string> a = {"AXXX:96", "AXXX:192", "AXXX:288", "AEXX:384"};
  const std::vector<std::string> b = {"BXXX:96", "BXXX:192", "BXXX:288", "BEXX:384"};
  std::vector<std::string> want;
  for (const auto* part : {&a, &b, &a}) want.insert(want.end(), part->begin(), part->end());
  want.push_back("AEXX:288");
  want.push_back("AEXX:288");
  EXPECT_EQ(tags(), want);

  // Song rendering adds no closing bars; ids naming no section are reported and skipped.
  ComposeMode() = 3;
  info.section_id_count = 0;
  for (int id : {0, 1, 3, 2}) info.AddSectionId(id);
  cantrel_test::Sink().Clear();
  BuildChordTimeline(info.section_chords);
  want.assign(a.begin(), a.end());
  want.insert(want.end(), b.begin(), b.end());
  EXPECT_EQ(tags(), want);
  EXPECT_EQ(ErrorCount(kRenderSectionId), 2);
}

}  // namespace

namespace {

// The last clean-up, read back by mido: per track, its notes as "channel start pitch length" and
// where it ends.
class CloseRenderedSongTest : public EngineTest {
 protected:
  struct Note {
    int channel, tick, pitch, length;
  };
  // A note-mode track of the notes (in time order), ending where its last event is.
  static MidiTrack* Track(const std::vector<Note>& notes, bool with_tempo = false) {
    auto* track = new MidiTrack(kTrackNotes, kDefaultMusicCapacity);
    track->AddEndOfTrack();
    if (with_tempo) track->AddTempo(500000);
    int at = 0;
    for (const Note& n : notes) {
      track->AddNote(n.channel, n.tick - at, n.pitch, 100, n.length);
      at = n.tick;
    }
    return track;
  }
  static std::vector<std::string> Closed(std::vector<MidiTrack*> tracks, int32_t end) {
    Midi1Data song(tracks.data(), static_cast<int32_t>(tracks.size()), 96, TrackCapacity);
    for (MidiTrack* t : tracks) delete t;
    CloseRenderedSong(song, end);
    song.ToEventMode();
    song.Pack();
    const auto path = cantrel_test::TempDir() / "closed.mid";
    song.SaveFile(path);
    return MidoLines(
        "for t in mido.MidiFile(sys.argv[1]).tracks:\n"
        "    at, held, notes = 0, {}, []\n"
        "    for m in t:\n"
        "        at += m.time\n"
        "        if m.type == 'note_on' and m.velocity > 0:\n"
        "            held[(m.channel, m.note)] = at\n"
        "        elif m.type in ('note_on', 'note_off') and (m.channel, m.note) in held:\n"
        "            s = held.pop((m.channel, m.note))\n"
        "            notes.append('%d %d %d %d' % (m.channel, s, m.note, at - s))\n"
        "    notes.sort(key=lambda n: [int(w) for w in n.split()[1:3]])\n"
        "    print(', '.join(notes) + ' | end %d' % at)\n",
        path);
  }
};

TEST_F(CloseRenderedSongTest, AKeyStruckAgainCutsTheHeldNoteOnItsChannelOnly) {
  CANTREL_NEED_MIDO();
  // Three C-E-A chords an eighth apart, each note held 1160 ticks; a channel-7 C4 beside them.
  std::vector<Note> chords;
  for (int tick : {0, 48, 96})
    for (int pitch : {60, 64, 69}) chords.push_back({3, tick, pitch, 1160});
  const std::vector<std::string> got = Closed({Track(chords), Track({{7, 0, 60, 300}})}, 0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0],
            "3 0 60 48, 3 0 64 48, 3 0 69 48, 3 48 60 48, 3 48 64 48, 3 48 69 48, "
            "3 96 60 1160, 3 96 64 1160, 3 96 69 1160 | end 1256");
  EXPECT_EQ(got[1], "7 0 60 300 | end 300");
}

TEST_F(CloseRenderedSongTest, ReStrikesAcrossTracksAndTogetherLeaveOneNote) {
  CANTREL_NEED_MIDO();
  // Two tracks on channel 2: a long G2 struck again by the other track; two D3s struck together.
  const std::vector<std::string> got = Closed(
      {Track({{2, 0, 43, 384}, {2, 96, 50, 96}}), Track({{2, 96, 50, 200}, {2, 192, 43, 96}})}, 0);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], "2 0 43 192, 2 96 50 200 | end 296");
  EXPECT_EQ(got[1], "2 192 43 96 | end 288");
}

TEST_F(CloseRenderedSongTest, PartsEndWithTheSong) {
  CANTREL_NEED_MIDO();
  // A song of 768 ticks: a note held past the end, a fill after it, a part that stops early
  // and a conductor track with no notes.
  const std::vector<Note> drums = {{9, 672, 38, 96}, {9, 720, 49, 200}, {9, 768, 84, 96},
                                   {9, 900, 38, 20}};
  const std::vector<std::string> got =
      Closed({Track({}, true), Track(drums), Track({{2, 0, 36, 96}})}, 768);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], " | end 0") << "the conductor track keeps its own end";
  EXPECT_EQ(got[1], "9 672 38 96, 9 720 49 48 | end 768");
  EXPECT_EQ(got[2], "2 0 36 96 | end 768");
}

}  // namespace
