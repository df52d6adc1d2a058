// Songs made in the song document, composed through the facade in the compose
// worker's order, read back by mido and midicsv, made karaoke files and played by
// fluidsynth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "arrange/ckv_algo.h"
#include "engine/compose_info.h"
#include "engine/pattern_db.h"
#include "music/midi1_data.h"
#include "tests/engine/parts/parts_fixture.h"
#include "tests/arrange/render/render_fixture.h"

namespace {

using render_test::ExpectedNote;
using render_test::SongSpec;
using render_test::Tone;

struct StyleSlot {
  int category, slot;
};
const StyleSlot kStyles[] = {{0, 1}, {0, 3}, {2, 2}, {3, 4}};

// A phrase repeating the cycle until the song's units are filled, ending on a note.
template <size_t N>
std::vector<Tone> Phrase(const Tone (&cycle)[N], int units) {
  std::vector<Tone> tones;
  int at = 0;
  for (size_t i = 0; at < units; ++i) {
    Tone t = cycle[i % N];
    t.units = std::min(t.units, units - at);
    tones.push_back(t);
    at += t.units;
  }
  if (tones.back().pitch < 0) tones.back().pitch = 60;
  return tones;
}

// Quarters, eighths, a tie over the bar, sung and played notes and rests (24-tick units).
std::vector<Tone> StraightPhrase(int bars, int beats_per_bar) {
  static const Tone cycle[] = {{60, 4, "la"}, {62, 2, "li"}, {64, 2}, {-1, 2}, {67, 6, "lo"},
                               {65, 1, "ra"}, {64, 1}, {62, 4}, {60, 2, "ru"}, {-1, 4}};
  return Phrase(cycle, bars * beats_per_bar * 4);
}

// Triplet eighths (16-tick units): three to a beat, some tied, some sung.
std::vector<Tone> TripletPhrase(int bars, int beats_per_bar) {
  static const Tone cycle[] = {{60, 2, "ta"}, {62, 1}, {64, 3, "ti"}, {-1, 1}, {67, 2, "to"}, {65, 3}};
  return Phrase(cycle, bars * beats_per_bar * 6);
}

struct SongCase {
  const char* name;
  SongSpec spec;
};

std::vector<SongCase> SongCases() {
  std::vector<SongCase> cases;
  SongSpec four;
  four.bars = 4;
  four.chords = {"C", "Am", "F", "G7"};
  four.tones = StraightPhrase(4, 4);
  cases.push_back({"four-four", four});

  SongSpec three = four;
  three.beats_per_bar = 3;
  three.bars = 4;
  three.chords = {"Dm", "G", "C", "C"};
  three.tones = StraightPhrase(4, 3);
  cases.push_back({"three-four", three});

  SongSpec triplet = four;
  triplet.triplet = true;
  triplet.tones = TripletPhrase(4, 4);
  cases.push_back({"triplet", triplet});

  // Skipped beats hold tones of their own only (units of 24: a beat is 4).
  SongSpec skip = four;
  skip.tones = {{60, 4, "a"}, {62, 4, "b"}, {64, 4}, {65, 4, "c"}, {67, 8, "d"}, {69, 4},
                {71, 4, "e"}, {72, 16, "f"}, {-1, 8}, {67, 8, "g"}};
  skip.skip_beats = {2, 6};
  cases.push_back({"skip", skip});

  SongSpec slash = four;
  slash.slash_beats = {0, 1, 8, 9, 10};
  cases.push_back({"slash-bass", slash});

  SongSpec one;
  one.bars = 1;
  one.chords = {"E"};
  one.tones = {{64, 4, "o"}, {66, 4}, {68, 8, "ne"}};
  cases.push_back({"one-bar", one});
  return cases;
}

// mido's note lines of a channel: (start, pitch, length).
std::vector<std::tuple<int64_t, int, int>> ChannelNotes(const std::vector<std::string>& lines,
                                                        int channel) {
  std::vector<std::tuple<int64_t, int, int>> out;
  for (const std::string& line : lines) {
    int ch = 0, pitch = 0, velocity = 0, length = 0;
    long long tick = 0;
    if (std::sscanf(line.c_str(), "note %d %lld %d %d %d", &ch, &tick, &pitch, &velocity, &length) == 5 &&
        ch == channel)
      out.emplace_back(tick, pitch, length);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::tuple<int64_t, int, int>> Expected(const std::vector<ExpectedNote>& notes, bool sung) {
  std::vector<std::tuple<int64_t, int, int>> out;
  for (const ExpectedNote& n : notes)
    if (n.sung == sung) out.emplace_back(n.start, n.pitch, n.length);
  std::sort(out.begin(), out.end());
  return out;
}

class RenderedSongTest : public EngineTest {};

// Every song, in several styles and seeds: a format-1 file at 96 ticks whose channels 1
// and 15 hold the song's note cells (the sung ones on channel 1), whose drum channel
// belongs to one track, and which midicsv reads with the same notes.
TEST_F(RenderedSongTest, MelodyChannelsHoldTheNoteCells) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  for (const SongCase& c : SongCases()) {
    const std::vector<ExpectedNote> expected = render_test::ExpectedMelody(c.spec);
    for (const StyleSlot& style : kStyles) {
      for (uint32_t seed : {1u, 77u}) {
        SCOPED_TRACE(std::string(c.name) + " style " + std::to_string(style.category) + "/" +
                     std::to_string(style.slot) + " seed " + std::to_string(seed));
        ResetEngineState();
        auto song = render_test::MakeSong(c.spec);
        const auto path = cantrel_test::TempDir() / "song.mid";
        render_test::RenderSong(*song, c.spec, style.category, style.slot, seed, path);
        int division = 0;
        std::vector<std::string> lines;
        ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
        EXPECT_EQ(division, 96);
        EXPECT_EQ(ChannelNotes(lines, 1), Expected(expected, true));
        EXPECT_EQ(ChannelNotes(lines, 15), Expected(expected, false));

        const std::string tracks = parts_test::RunMido(
            "m = mido.MidiFile(sys.argv[1])\n"
            "print('type', m.type)\n"
            "for t in m.tracks:\n"
            "    print(' '.join(sorted({str(x.channel) for x in t if hasattr(x, 'channel')})) or '-')\n"
            "print('notes', sum(1 for t in m.tracks for x in t if x.type == 'note_on' and x.velocity > 0))\n",
            path);
        std::istringstream in(tracks);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "type 1");
        int drum_tracks = 0;
        int notes = -1;
        while (std::getline(in, line)) {
          if (std::sscanf(line.c_str(), "notes %d", &notes) == 1) break;
          const bool has_drums = (" " + line + " ").find(" 9 ") != std::string::npos;
          if (has_drums) {
            ++drum_tracks;
            EXPECT_EQ(line, "9") << "the drum track holds only channel 9";
          }
        }
        EXPECT_LE(drum_tracks, 1);
        int status = 0;
        const std::string csv = parts_test::RunMidicsv(path, &status);
        ASSERT_EQ(status, 0);
        int csv_notes = 0;
        std::istringstream csv_in(csv);
        while (std::getline(csv_in, line)) {
          int track = 0, channel = 0, pitch = 0, velocity = 0;
          long long tick = 0;
          if (std::sscanf(line.c_str(), "%d, %lld, Note_on_c, %d, %d, %d", &track, &tick, &channel, &pitch,
                          &velocity) == 5 && velocity > 0)
            ++csv_notes;
        }
        EXPECT_EQ(csv_notes, notes);
      }
    }
  }
}

// The conductor track: GM System On, master volume, the seed used, metre, key and tempo.
TEST_F(RenderedSongTest, ConductorTrackRecordsTheSeed) {
  CANTREL_NEED_MIDO();
  struct Case {
    int beats_per_bar;
    int key_mode;
    int key_index;
    uint32_t seed;
    const char* metre;
    const char* key;
  } cases[] = {{4, 1, 0, 5, "4 4", "C"}, {3, 2, 0, 4242, "3 4", "Am"}, {4, 1, 7, 99, "4 4", "G"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    ResetEngineState();
    SongSpec spec;
    spec.beats_per_bar = c.beats_per_bar;
    spec.tones = {{60, 8, "a"}};
    auto song = render_test::MakeSong(spec);
    CKVAlgo::Initialize();
    SeedComposition(c.seed);
    render_test::ApplyTestStyle(0, 1, spec);
    CurrentStyle().metre = c.beats_per_bar == 4 ? 0 : 1;
    CKVAlgo::ImportSongToEngine(*song, spec.bars, spec.beats_per_bar, kComposeMelodyNoteLimit);
    CKVAlgo::PrepareSongRendering(0, 120, -1, -1, 1, 0);
    if (c.key_mode == 2) SelectMinorTimingDatabases(); else SelectMajorTimingDatabases();
    CurrentStyle().key_mode = c.key_mode;
    CurrentStyle().key_offset = c.key_index;
    const auto path = cantrel_test::TempDir() / "c.mid";
    EXPECT_EQ(CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress()), 1);
    const std::string out = parts_test::RunMido(
        "m = mido.MidiFile(sys.argv[1])\n"
        "for x in m.tracks[0]:\n"
        "    if x.type == 'sysex': print('sysex', ' '.join('%02X' % b for b in x.data), x.time)\n"
        "    elif x.type == 'text': print('text', repr(x.text), x.time)\n"
        "    elif x.type == 'time_signature': print('metre', x.numerator, x.denominator, x.time)\n"
        "    elif x.type == 'key_signature': print('key', x.key, x.time)\n"
        "    elif x.type == 'set_tempo': print('tempo', x.tempo, x.time)\n"
        "    else: print(x.type, x.time)\n",
        path);
    // System exclusive leads its tick, GM System On first, so that the reset does not
    // undo the master volume.
    const std::string expected = std::string("sysex 7E 7F 09 01 0\n") + "sysex 7F 7F 04 01 00 7F 0\n" +
                                 "text 'random_seed " + std::to_string(c.seed) + "\\x00' 0\n" +
                                 "metre " + c.metre + " 0\n" + "key " + c.key + " 0\n" +
                                 "tempo 500000 0\n" + "end_of_track 0\n";
    EXPECT_EQ(out, expected);
  }
}

// The karaoke file: format 0 at 480 ticks with the melody on channel 0, "XFIH" and
// "XFKM" after the track, a lyric at every sung note, and audio of the song's length.
TEST_F(RenderedSongTest, KaraokeFileSingsAndSounds) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  CANTREL_NEED_TOOL("fluidsynth");
  CANTREL_NEED_TOOL("sox");
  for (const SongCase& c : SongCases()) {
    SCOPED_TRACE(c.name);
    ResetEngineState();
    auto song = render_test::MakeSong(c.spec);
    const auto path = cantrel_test::TempDir() / "k.mid";
    render_test::RenderSong(*song, c.spec, 0, 1, 3, path);
    ASSERT_TRUE(CKVAlgo::AddLyricsToMidi(*song, path, 0));

    const std::vector<uint8_t> bytes = render_test::ReadBytes(path);
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MThd");
    EXPECT_EQ(bytes[9], 0);                       // format 0
    EXPECT_EQ((bytes[12] << 8) | bytes[13], 480);  // division
    std::vector<std::string> chunks;
    std::vector<int64_t> lyric_ticks;
    for (size_t at = 14; at + 8 <= bytes.size();) {
      const std::string id(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at) + 4);
      const size_t length = (size_t{bytes[at + 4]} << 24) | (size_t{bytes[at + 5]} << 16) |
                            (size_t{bytes[at + 6]} << 8) | bytes[at + 7];
      ASSERT_LE(at + 8 + length, bytes.size());
      chunks.push_back(id);
      if (id == "XFKM") {
        // Delta, then FF 05 len text, or FF 2F 00 at the end.
        int64_t tick = 0;
        for (size_t p = at + 8; p < at + 8 + length;) {
          int64_t delta = 0;
          uint8_t b = 0;
          do {
            b = bytes[p++];
            delta = (delta << 7) | (b & 0x7F);
          } while ((b & 0x80) != 0 && p < bytes.size());
          tick += delta;
          ASSERT_EQ(bytes[p], 0xFF);
          const uint8_t type = bytes[p + 1];
          const size_t text_length = bytes[p + 2];
          if (type == 0x05) lyric_ticks.push_back(tick);
          p += 3 + text_length;
        }
      }
      at += 8 + length;
    }
    EXPECT_EQ(chunks, (std::vector<std::string>{"MTrk", "XFIH", "XFKM"}));
    std::vector<int64_t> sung;
    for (const ExpectedNote& n : render_test::ExpectedMelody(c.spec))
      if (n.sung) sung.push_back(n.start * 5);
    EXPECT_EQ(lyric_ticks, sung);

    int division = 0;
    std::vector<std::string> lines;
    ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
    std::vector<std::tuple<int64_t, int, int>> melody;
    for (const auto& [tick, pitch, length] : ChannelNotes(lines, 0)) melody.emplace_back(tick / 5, pitch, 0);
    std::vector<std::tuple<int64_t, int, int>> want;
    for (const auto& [tick, pitch, length] : Expected(render_test::ExpectedMelody(c.spec), true))
      want.emplace_back(tick, pitch, 0);
    EXPECT_EQ(melody, want);
    int status = 0;
    EXPECT_FALSE(parts_test::RunMidicsv(path, &status).empty());
    EXPECT_EQ(status, 0);

    const auto wav = cantrel_test::TempDir() / "k.wav";
    std::string font;
    for (const char* f : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
                          "/usr/share/sounds/sf2/default-GM.sf2"})
      if (font.empty() && std::filesystem::exists(f)) font = f;
    CANTREL_NEED(!font.empty(), "a General MIDI soundfont (fluid-soundfont-gm)");
    ASSERT_EQ(cantrel_test::RunTool({"fluidsynth", "-n", "-i", "-q", "-R", "0", "-C", "0", "-r", "22050",
                                     "-F", wav.string(), "-T", "wav", font, path.string()}),
              0);
    // The synthesizer plays on after the file ends while voices decay: the song's sound
    // ends where the trailing quiet (below half a per cent) begins.
    const auto trimmed = cantrel_test::TempDir() / "k_trimmed.wav";
    ASSERT_EQ(cantrel_test::RunTool({"sox", wav.string(), trimmed.string(), "reverse", "silence", "1", "0.01",
                                     "0.5%", "reverse"}),
              0);
    auto stat_of = [](const std::filesystem::path& file, const char* label) {
      std::string stat;
      cantrel_test::RunTool({"sh", "-c", "sox '" + file.string() + "' -n stat 2>&1"}, &stat);
      std::istringstream in(stat);
      const std::string prefix = label;
      for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size()));
      return -1.0;
    };
    const double seconds = stat_of(trimmed, "Length (seconds):");
    const double rms = stat_of(wav, "RMS     amplitude:");
    const double song_seconds = c.spec.bars * c.spec.beats_per_bar * 0.5 -
                                0.5 * static_cast<double>(c.spec.skip_beats.size());
    EXPECT_NEAR(seconds, song_seconds, 1.0);
    EXPECT_GT(rms, 0.001);
  }
}

// The longest song the document holds, 256 bars: every note cell arrives.
TEST_F(RenderedSongTest, LongestSongKeepsEveryNote) {
  CANTREL_NEED_MIDO();
  SongSpec spec;
  spec.bars = 256;
  spec.chords = {"C", "F", "G", "Am", "Dm", "G7", "C", "E7"};
  spec.tones = StraightPhrase(256, 4);
  auto song = render_test::MakeSong(spec);
  const auto path = cantrel_test::TempDir() / "long.mid";
  render_test::RenderSong(*song, spec, 0, 3, 11, path);
  int division = 0;
  std::vector<std::string> lines;
  ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
  const std::vector<ExpectedNote> expected = render_test::ExpectedMelody(spec);
  EXPECT_EQ(ChannelNotes(lines, 1), Expected(expected, true));
  EXPECT_EQ(ChannelNotes(lines, 15), Expected(expected, false));
}

}  // namespace
