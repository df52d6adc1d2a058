// Every builder's tracks joined into one format-1 file, read by mido and
// midicsv; the karaoke file's lyrics against its notes; the same seed giving
// the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "engine/ambient.h"
#include "engine/compose_info.h"
#include "engine/conductor.h"
#include "engine/engine_state.h"
#include "engine/melody_parts.h"
#include "engine/ornaments.h"
#include "engine/part_effects.h"
#include "engine/song_import.h"
#include "song/song_data.h"
#include "style/style_table.h"
#include "tests/engine/parts/parts_fixture.h"
#include "music/xf_data.h"
#include "util/gne.h"

namespace {

class JoinedFileTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StyleRecord& s = CurrentStyle();
    s.instrument[1] = 73;
    s.instrument[4] = 5;  // cannot bend: grace fallbacks
    s.instrument[5] = 40;
    s.instrument[8] = kAmbientSeashore;
    s.instrument[15] = 66;
    s.tempo = 600000;
    s.metre = 0;
    for (int c = 0; c < 16; ++c) {
      s.mixer[c].volume = 100;
      s.mixer[c].pan = 64;
      s.mixer[c].reverb = 40;
    }
    ComposeInformation& info = ComposeInfo();
    info.FreeChordBlocks();
    const char* codes[4] = {"CMPo", "AmPs", "FMPS", "GMPs"};
    for (int k = 0; k < 16; ++k) {
      ChordEntry e;
      e.length = 384;
      std::memcpy(e.code, codes[k % 4], 4);
      info.AddChordBlock(e, "00");
    }
  }
  // A melody list over the chords: markers, notes of varied lengths, rests and a pedal.
  static void FillMelody(EventList& list) {
    list.FreeEvents();
    const int steps[] = {96, 48, 48, 192, 96, 96, 72, 24, 96, 384, 192, 192};
    const ComposeInformation& info = ComposeInfo();
    int k = 0;
    for (int b = 0; b < info.chord_block_count(); ++b) {
      list.AppendChordMarker(*info.chord_block(b));
      if (b == 2) list.AppendControl(0, 127);
      int left = info.chord_block(b)->length;
      while (left > 0) {
        const int step = std::min(left, steps[k % 12]);
        list.AppendNote(step, k % 11 == 10 ? 0 : 60 + (k * 5) % 14);
        left -= step;
        ++k;
      }
    }
  }
  // Every builder's tracks for the ornament and effect codes.
  static PartTrackList BuildAll(int ornament, int effect) {
    StyleRecord& s = CurrentStyle();
    s.parts[1].ornament = ornament;
    s.parts[1].effect = effect;
    s.parts[4].effect = effect;
    s.parts[5].effect = effect;
    s.mixer[1].double_delay = 4;
    PartTrackList tracks;
    AddConductorTrack(tracks);
    FillMelody(ComposeInfo().melody_notes);
    BuildMelodyPart(tracks, 1536);
    for (int channel : {4, 5, 15}) {
      EventList list;
      FillMelody(list);
      auto t = std::make_unique<PartTrack>();
      WriteMelodyTypePart(list, *t, channel, 1536);
      tracks.push_back(std::move(t));
    }
    // Bends, grace fallbacks, pedals and the detuned double on a track of their own.
    auto bends = std::make_unique<PartTrack>();
    WritePartHeader(*bends, 12, 40, s.mixer[12], 0);
    int pending = 0;
    for (int k = 0; k < 8; ++k) {
      pending = 96 - AddNoteBentFromAbove(*bends, 12, pending, 60 + k, 90, 90, 12);
      pending = 96 - AddNoteBentFromBelow(*bends, 12, pending, 62 + k, 90, 90, 10);
      pending = 96 - AddNoteWithBendGlide(*bends, 12, pending, 64 + k, 90, 90, 6);
      pending = 96 - AddNoteWithBendFlick(*bends, 12, pending, 65 + k, 90, 90);
      AddSustainPedal(*bends, 12, pending, k % 2 ? 0 : 127);
      pending = 0;
    }
    CloseTrack(*bends);
    InsertFineTuneRpn(*bends, 12, 3);
    tracks.push_back(std::move(bends));
    auto grace = std::make_unique<PartTrack>();
    WritePartHeader(*grace, 13, 5, s.mixer[13], 0);
    pending = 0;
    for (int k = 0; k < 8; ++k) pending = 96 - AddNoteBentFromBelow(*grace, 13, pending, 60 + k, 90, 90, 12);
    CloseTrack(*grace);
    tracks.push_back(std::move(grace));
    for (int ambient : {kAmbientSeashore, kAmbientBirds, kAmbientApplause}) {
      s.instrument[8] = ambient;
      GenerateAmbientPart(tracks);
    }
    return tracks;
  }
  static std::vector<const MidiTrack*> Pointers(const PartTrackList& tracks) {
    std::vector<const MidiTrack*> out;
    for (const auto& t : tracks) out.push_back(t.get());
    return out;
  }
};

TEST_F(JoinedFileTest, EveryBuilderReadsInMidoAndMidicsv) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  struct Codes { int ornament, effect; };
  std::vector<Codes> codes;
  for (int o : {0, 1, 2, 3, 4, 6, 7, 11, 14, 15, 16, 17, 18, 19, 20}) codes.push_back({o, 0});
  for (int e : {5, 8, 9, 10, 12, 13, 17, 18, 19, 20, 21, 22}) codes.push_back({0, e});
  // The channel-1 question of long pipe and brightness: answered OK.
  for (const Codes& c : codes) {
    GneSeedRandomWith(11);
    SeedComposition(4242);
    PartMemory().long_pipe_question_done = true;
    const PartTrackList tracks = BuildAll(c.ornament, c.effect);
    const auto path = parts_test::WriteJoined(Pointers(tracks), "joined.mid");
    const std::string out = parts_test::RunMido(
        "m = mido.MidiFile(sys.argv[1], clip=False)\n"
        "print('type', m.type, 'tracks', len(m.tracks), 'tpb', m.ticks_per_beat)\n"
        "print('conductor', ' '.join(x.type for x in m.tracks[0]))\n"
        "for t in m.tracks[1:]:\n"
        "    p = [x.program for x in t if x.type == 'program_change']\n"
        "    print('program', p[0] if p else -1)\n",
        path);
    SCOPED_TRACE("ornament " + std::to_string(c.ornament) + " effect " + std::to_string(c.effect));
    ASSERT_EQ(out.find("ERROR"), std::string::npos) << out;
    EXPECT_NE(out.find("type 1 tracks " + std::to_string(tracks.size()) + " tpb 96"), std::string::npos) << out;
    EXPECT_NE(out.find("conductor sysex text sysex time_signature key_signature set_tempo end_of_track"),
              std::string::npos) << out;
    // The headers' programs: melody double and melody 73, 5, 40, 66, bends 40, grace 5,
    // ambient 122, 123, 126.
    EXPECT_NE(out.find("program 73\nprogram 73\nprogram 5\nprogram 40\nprogram 66\nprogram 40\n"
                       "program 5\nprogram 122\nprogram 123\nprogram 126"),
              std::string::npos) << out;
    int status = 0;
    const std::string csv = parts_test::RunMidicsv(path, &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(csv.find("End_of_file"), std::string::npos);
  }
}

TEST_F(JoinedFileTest, SameSeedSameBytes) {
  for (int effect : {0, 5, 8, 9, 12, 13, 19, 20, 22}) {
    std::vector<uint8_t> first;
    for (int run = 0; run < 2; ++run) {
      ResetEngineState();
      SetUp();
      PartMemory().long_pipe_question_done = true;
      SeedComposition(99);
      const PartTrackList tracks = BuildAll(effect == 0 ? 11 : 1, effect);
      const std::vector<uint8_t> bytes = JoinPartTracks(Pointers(tracks));
      if (run == 0) first = bytes;
      else EXPECT_EQ(bytes, first) << effect;
    }
  }
}

// The lyrics of the karaoke file stand where their notes start.
TEST_F(JoinedFileTest, KaraokeLyricsAtTheirNotes) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  for (int beat_kind : {1, 3}) {
    CurrentStyle().basic_beat = beat_kind;
    CurrentStyle().parts[1].ornament = 0;
    CurrentStyle().parts[1].effect = 0;
    CurrentStyle().mixer[1].double_delay = 0;
    auto song = std::make_unique<CSongData>();
    song->Reset(4, 4, 0, 1);
    GneSeedRandomWith(beat_kind);
    const int values[] = {NoteSlotRest, NoteSlotHold, NoteSlotVacant, 60, 62, 64, 67, 69};
    for (int b = 0; b < 16; ++b) {
      for (int c = 0; c < 2; ++c) {
        NoteCell& cell = song->cells[2 * b + c];
        for (int s = 0; s < 3; ++s) {
          cell.slot[s] = values[GneRandomRange(0, 7)];
          std::memset(cell.lyric[s], 0, 8);
          if (cell.slot[s] >= 0) std::strcpy(cell.lyric[s], "la");
        }
        if (GneRandomRange(1, 2) == 1) cell.slot[2] = NoteSlotVacant;
      }
    }
    std::strcpy(song->chords[5].first, "Skip");
    ImportSongToEngine(*song, 4, 4, 1536);
    // The sung notes on channel 1, as the render step writes them.
    PartTrackList tracks;
    AddConductorTrack(tracks);
    ComposeInfo().melody_notes.CopyFrom(VocalMelodyList());
    BuildMelodyPart(tracks, 1536);
    std::vector<const MidiTrack*> ptrs;
    for (const auto& t : tracks) ptrs.push_back(t.get());
    const auto path = parts_test::WriteJoined(ptrs, "song.mid");
    ASSERT_TRUE(AddLyricsToMidi(*song, path, 0));
    // mido and midicsv read the declared track; the XFKM chunk becomes a second track.
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int status = 0;
    EXPECT_FALSE(parts_test::RunMidicsv(path, &status).empty());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(parts_test::RunMido("mido.MidiFile(sys.argv[1])\nprint('ok')\n", path), "ok\n");
    auto be32 = [&](size_t at) {
      return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
    };
    std::vector<uint8_t> mtrk, xfkm;
    for (size_t at = 14; at + 8 <= bytes.size();) {
      const uint32_t length = be32(at + 4);
      ASSERT_LE(at + 8 + length, bytes.size());
      const std::string id(reinterpret_cast<const char*>(&bytes[at]), 4);
      if (id == "MTrk") mtrk.assign(bytes.begin() + at, bytes.begin() + at + 8 + length);
      if (id == "XFKM") xfkm.assign(bytes.begin() + at, bytes.begin() + at + 8 + length);
      at += 8 + length;
    }
    ASSERT_FALSE(mtrk.empty());
    ASSERT_FALSE(xfkm.empty());
    std::memcpy(xfkm.data(), "MTrk", 4);
    std::vector<uint8_t> two(bytes.begin(), bytes.begin() + 14);
    two[9] = 1;   // format 1
    two[11] = 2;  // two tracks
    two.insert(two.end(), mtrk.begin(), mtrk.end());
    two.insert(two.end(), xfkm.begin(), xfkm.end());
    const auto both = cantrel_test::TempDir() / "both.mid";
    std::ofstream(both, std::ios::binary).write(reinterpret_cast<const char*>(two.data()), static_cast<std::streamsize>(two.size()));
    const std::string out = parts_test::RunMido(
        "m = mido.MidiFile(sys.argv[1])\n"
        "print('tpb', m.ticks_per_beat)\n"
        "t = 0\n"
        "ons = set()\n"
        "for x in m.tracks[0]:\n"
        "    t += x.time\n"
        "    if x.type == 'note_on' and x.velocity > 0 and x.channel == 0: ons.add(t)\n"
        "t = 0\n"
        "n = 0\n"
        "for x in m.tracks[1]:\n"
        "    t += x.time\n"
        "    if x.type == 'lyrics':\n"
        "        n += 1\n"
        "        if t not in ons: print('lyric without note at', t)\n"
        "print('lyrics', n, 'notes', len(ons))\n"
        ,
        both);
    EXPECT_NE(out.find("tpb 480"), std::string::npos) << out;
    EXPECT_EQ(out.find("without"), std::string::npos) << out;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    // Every sung note start has its lyric.
    const size_t at = out.find("lyrics ");
    ASSERT_NE(at, std::string::npos) << out;
    int lyrics = 0, notes = 0;
    std::sscanf(out.c_str() + at, "lyrics %d notes %d", &lyrics, &notes);
    EXPECT_GT(lyrics, 10);
    EXPECT_EQ(lyrics, notes);
  }
}

// A song bigger than the fixed load buffer of old is read whole and becomes a karaoke
// file with every note.
TEST_F(JoinedFileTest, LargeSongKeepsItsNotes) {
  CANTREL_NEED_MIDO();
  auto song = std::make_unique<CSongData>();
  song->Reset(2, 4, 0, 1);
  PartTrack big;
  MixerRecord m;
  WritePartHeader(big, 1, 73, m, 0);
  for (int k = 0; k < 120000; ++k) AddNote(big, 1, 4, 60 + k % 12, 90, 3);
  CloseTrack(big);
  const auto path = parts_test::WriteJoined({&big}, "big.mid");
  const auto size = std::filesystem::file_size(path);
  ASSERT_GT(size, 393216u);
  // (The reader warns that the track passes its usual event count; it reads on.)
  EXPECT_TRUE(AddLyricsToMidi(*song, path, 0));
  const std::string out = parts_test::RunMido(
      "m = mido.MidiFile(sys.argv[1])\n"
      "print(m.ticks_per_beat, sum(1 for x in m.tracks[0] if x.type == 'note_on' and x.velocity > 0))\n"
      "print(b'XFKM' in open(sys.argv[1], 'rb').read())\n",
      path);
  EXPECT_EQ(out, "480 120000\nTrue\n");
}

}  // namespace
