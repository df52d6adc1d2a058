// Songs prepared for ringtones, read back with mido: the planetblupi songs and
// small csvmidi songs with markers, lead-in bars and chords; and an MFi file
// the system wrote, re-encoded and read back.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine_state.h"
#include "engine/ringtone_preparation.h"
#include "export/ringtone/mfi.h"
#include "music/midi1_data.h"
#include "tests/engine/engine_fixture.h"
#include "tests/export/ringtone/ringtone_fixture.h"

namespace {

namespace fs = std::filesystem;

struct Note {
  int channel, tick, pitch, length;
};

struct MidoSong {
  int division = 0;
  std::vector<Note> notes;
  std::vector<std::pair<int, int>> tempos;  // (tick, microseconds)
};

MidoSong ReadWithMido(const fs::path& file) {
  MidoSong song;
  std::vector<std::string> lines;
  EXPECT_TRUE(cantrel_test::MidoEventLines(file, &song.division, &lines)) << file;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "note") {
      Note n{};
      int velocity = 0;
      in >> n.channel >> n.tick >> n.pitch >> velocity >> n.length;
      song.notes.push_back(n);
    } else if (kind == "tempo") {
      int tick = 0, tempo = 0;
      in >> tick >> tempo;
      song.tempos.push_back({tick, tempo});
    }
  }
  auto order = [](const Note& a, const Note& b) {
    return std::tie(a.channel, a.tick, a.pitch, a.length) <
           std::tie(b.channel, b.tick, b.pitch, b.length);
  };
  std::sort(song.notes.begin(), song.notes.end(), order);
  std::sort(song.tempos.begin(), song.tempos.end());
  return song;
}

int FirstNoteTick(const MidoSong& song) {
  int first = INT32_MAX;
  for (const Note& n : song.notes) first = std::min(first, n.tick);
  return first;
}

class RingtonePreparationTest : public EngineTest {
 protected:
  fs::path Prepare(const fs::path& source, int output_type, int percent, unsigned kind) {
    auto song = std::make_unique<Midi1Data>(source, 0x60000);
    EXPECT_EQ(song->state, kSongNotes);
    const Midi1Data* before = song.get();
    PrepareSongForRingtone(&song, output_type, percent, kind);
    EXPECT_NE(song.get(), before);
    const fs::path out = cantrel_test::TempDir() / ("prepared_" + source.filename().string());
    EXPECT_EQ(song->SaveFile(out), 1);
    return out;
  }

  // Re-encodes the MFi bytes (in both compose modes) and expects the notes of the
  // bytes read back from the file written.
  void ExpectReencodedNotes(const std::vector<uint8_t>& bytes);

  fs::path CsvMidi(const std::string& csv, const std::string& name) {
    const fs::path dir = cantrel_test::TempDir();
    std::ofstream(dir / (name + ".csv")) << csv;
    const fs::path mid = dir / (name + ".mid");
    EXPECT_EQ(cantrel_test::RunTool({"csvmidi", (dir / (name + ".csv")).string(), mid.string()}), 0);
    return mid;
  }
};

TEST_F(RingtonePreparationTest, PlanetblupiSongs) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED(fs::exists("/usr/share/planetblupi/music/music000.mid"), "planetblupi-music-midi");
  struct Case {
    const char* file;
    int output_type, percent;
    unsigned kind;
    int division, scale;
  };
  const Case cases[] = {
      {"music000.mid", 1, 80, 1, 96, 80},    // division 120
      {"music004.mid", 7, 80, 13, 48, 95},   // division 192; type 7 keeps 95 %
      {"music002.mid", 32, 50, 22, 48, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const fs::path source = fs::path("/usr/share/planetblupi/music") / c.file;
    const MidoSong original = ReadWithMido(source);
    const MidoSong prepared = ReadWithMido(Prepare(source, c.output_type, c.percent, c.kind));
    EXPECT_EQ(prepared.division, c.division);

    // The original's tempo came first; no other is put before the first note.
    ASSERT_FALSE(prepared.tempos.empty());
    EXPECT_LE(prepared.tempos.front().first, FirstNoteTick(prepared));
    EXPECT_EQ(prepared.tempos.front().second, original.tempos.front().second);

    // The pitches of every melodic channel in order, times and lengths rescaled
    // (rounded down, at least a tick) and lengths scaled.
    auto order = [](const Note& a, const Note& b) {
      return std::tie(a.tick, a.pitch, a.length) < std::tie(b.tick, b.pitch, b.length);
    };
    std::map<int, std::vector<Note>> before, after;
    for (const Note& n : original.notes) {
      const int64_t tick = int64_t{n.tick} * c.division / original.division;
      const int64_t rescaled =
          std::max<int64_t>(1, int64_t{n.length} * c.division / original.division);
      const int64_t length = std::max<int64_t>(1, rescaled * c.scale / 100);
      before[n.channel].push_back(
          {n.channel, static_cast<int>(tick), n.pitch, static_cast<int>(length)});
    }
    for (const Note& n : prepared.notes) after[n.channel].push_back(n);
    for (auto& [channel, notes] : before) {
      if (channel == 9) continue;
      std::vector<Note>& got = after[channel];
      std::sort(notes.begin(), notes.end(), order);
      std::sort(got.begin(), got.end(), order);
      ASSERT_EQ(got.size(), notes.size()) << "channel " << channel;
      for (size_t i = 0; i < notes.size(); ++i) {
        ASSERT_EQ(got[i].pitch, notes[i].pitch) << "channel " << channel << " note " << i;
        ASSERT_EQ(got[i].length, notes[i].length) << "channel " << channel << " note " << i;
      }
    }
    for (const Note& n : after[9]) EXPECT_TRUE(n.pitch >= 35 && n.pitch <= 81) << n.pitch;
  }
}

TEST_F(RingtonePreparationTest, LeadInMarkersTempoAndVoices) {
  CANTREL_NEED_TOOL("csvmidi");
  CANTREL_NEED_MIDO();
  // 4/4 at 96: two empty bars, then notes from bar 2 beat 2; no tempo.
  const std::string lead_in =
      "0, 0, Header, 1, 2, 96\n1, 0, Start_track\n1, 0, Time_signature, 4, 2, 24, 8\n"
      "1, 0, End_track\n2, 0, Start_track\n"
      "2, 864, Note_on_c, 0, 60, 90\n2, 950, Note_off_c, 0, 60, 0\n"
      "2, 960, Note_on_c, 0, 64, 90\n2, 1150, Note_off_c, 0, 64, 0\n"
      "2, 1152, Note_on_c, 9, 30, 90\n2, 1160, Note_off_c, 9, 30, 0\n"
      "2, 1200, End_track\n0, 0, End_of_file\n";
  const MidoSong a = ReadWithMido(Prepare(CsvMidi(lead_in, "lead_in"), 1, 100, 1));
  ASSERT_EQ(a.notes.size(), 3u);
  // Only the two whole empty bars go.
  EXPECT_EQ(a.notes[0].tick, 96);
  EXPECT_EQ(a.notes[1].tick, 192);
  EXPECT_EQ(a.notes[2].pitch, 35);  // a drum sound outside 35..81
  // The song had no tempo: 600000 holds from the first note on.
  ASSERT_EQ(a.tempos.size(), 1u);
  EXPECT_LE(a.tempos.front().first, a.notes[0].tick);
  EXPECT_EQ(a.tempos.front().second, kRingtoneTempo);

  // Start and stop markers: the song runs from one to the other.
  const std::string marked =
      "0, 0, Header, 1, 2, 96\n1, 0, Start_track\n1, 0, Tempo, 400000\n"
      "1, 384, Marker_t, \"START\"\n1, 1152, Marker_t, \"STOP\"\n1, 1536, End_track\n"
      "2, 0, Start_track\n"
      "2, 0, Note_on_c, 0, 55, 90\n2, 90, Note_off_c, 0, 55, 0\n"
      "2, 384, Note_on_c, 0, 60, 90\n2, 470, Note_off_c, 0, 60, 0\n"
      "2, 768, Note_on_c, 0, 62, 90\n2, 850, Note_off_c, 0, 62, 0\n"
      "2, 1344, Note_on_c, 0, 67, 90\n2, 1400, Note_off_c, 0, 67, 0\n"
      "2, 1536, End_track\n0, 0, End_of_file\n";
  const MidoSong b = ReadWithMido(Prepare(CsvMidi(marked, "marked"), 1, 100, 1));
  std::vector<std::pair<int, int>> notes;
  for (const Note& n : b.notes) notes.push_back({n.tick, n.pitch});
  EXPECT_EQ(notes, (std::vector<std::pair<int, int>>{{0, 60}, {384, 62}}));
  ASSERT_FALSE(b.tempos.empty());
  EXPECT_EQ(b.tempos.front().second, 400000);

  // Output type 9: at most 16 notes at once.
  std::ostringstream chord;
  chord << "0, 0, Header, 1, 2, 96\n1, 0, Start_track\n1, 0, Tempo, 500000\n1, 0, End_track\n"
        << "2, 0, Start_track\n";
  for (int i = 0; i < 20; ++i) chord << "2, 0, Note_on_c, " << i % 8 << ", " << 50 + i << ", 90\n";
  for (int i = 0; i < 20; ++i) chord << "2, 300, Note_off_c, " << i % 8 << ", " << 50 + i << ", 0\n";
  chord << "2, 384, End_track\n0, 0, End_of_file\n";
  const MidoSong c = ReadWithMido(Prepare(CsvMidi(chord.str(), "chord"), 9, 100, 1));
  EXPECT_GE(c.notes.size(), 1u);
  EXPECT_LE(c.notes.size(), 16u);
}

TEST_F(RingtonePreparationTest, DivisionAndLengthRules) {
  struct Case {
    unsigned kind;
    int division;
  };
  for (const Case& c : {Case{1, 96}, Case{2, 48}, Case{13, 48}, Case{20, 96}, Case{21, 48},
                        Case{24, 48}, Case{25, 96}})
    EXPECT_EQ(RingtoneDivision(c.kind), c.division) << c.kind;
  EXPECT_EQ(RingtoneLengthPercent(7, 80), 95);
  EXPECT_EQ(RingtoneLengthPercent(6, 120), 95);
  EXPECT_EQ(RingtoneLengthPercent(32, 80), 100);
  EXPECT_EQ(RingtoneLengthPercent(1, 80), 80);
}

TEST_F(RingtonePreparationTest, UnpreparedSongStaysAsItWas) {
  std::unique_ptr<Midi1Data> none;
  PrepareSongForRingtone(&none, 1, 100, 1);
  EXPECT_EQ(none, nullptr);
  auto events = std::make_unique<Midi1Data>(96, 0x10000);
  events->state = kSongEvents;
  const Midi1Data* before = events.get();
  cantrel_test::Sink().Clear();
  PrepareSongForRingtone(&events, 1, 100, 1);
  EXPECT_EQ(events.get(), before);
  EXPECT_EQ(ErrorCount(0xFF01016Cu), 1);
}

// Four voices of notes from 24 to 300 ticks (longer than one event holds, too)
// with gaps, as an MFi file of the 16-voice type writes them, with a tempo or
// without one (read at 48 ticks per quarter then). A long note is written as a
// note and fillers, which read back a tick longer each time, so a note right
// after one would be overlapped.
std::vector<uint8_t> WrittenMFi(bool with_tempo) {
  MobileData song;
  song.division = 96;
  static const int kLengths[] = {96, 48, 200, 24, 150, 300, 72};
  for (int voice = 0; voice < 4; ++voice) {
    auto v = std::make_unique<MobileChannel>(voice, 2);
    if (with_tempo) v->AddControl(0, kKindTempo, 500000);
    v->AddControl(0, kKindProgram, voice * 9);
    int32_t pending = voice * 5;
    for (int n = 0; n < 10; ++n) {
      const int length = kLengths[(n + voice) % 7];
      v->AddNote(pending, 40 + (n * 7 + voice * 5) % 50, length, 2 * (10 + n * 11 % 50));
      // A note longer than one event holds is followed by a rest: its fillers
      // read back a tick longer and would overlap a note right after it.
      pending = length + (length > 255 ? 48 : (n % 3) * 24);
    }
    v->AddEndOfTrack();
    song.AppendVoice(std::move(v));
  }
  MFiData written(song, 254, 0x60000);
  written.BuildFile();
  return written.Bytes();
}

TEST_F(RingtonePreparationTest, ReencodedMFiReadsBackToTheSameNotes) {
  for (bool with_tempo : {true, false}) {
    SCOPED_TRACE(with_tempo ? "with a tempo" : "without a tempo");
    ExpectReencodedNotes(WrittenMFi(with_tempo));
  }
}

void RingtonePreparationTest::ExpectReencodedNotes(const std::vector<uint8_t>& bytes) {
  MobileData first;
  MFiData(bytes.data(), bytes.size()).ToMobileData(first);
  const std::vector<ringtone_test::Note> expected = ringtone_test::NotesOf(first);
  ASSERT_EQ(expected.size(), 40u);

  const fs::path dir = cantrel_test::TempDir();
  RingtoneOutput().rendering = dir / "rendering.mld";
  RingtoneOutput().other = dir / "other.mld";
  for (int mode : {0, 3}) {
    ComposeMode() = mode;
    const fs::path out = mode == 3 ? RingtoneOutput().rendering : RingtoneOutput().other;
    ReencodeMFiRingtone(bytes.data(), bytes.size());
    ASSERT_TRUE(fs::exists(out)) << mode;
    std::ifstream in(out, std::ios::binary);
    const std::vector<uint8_t> again((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    MobileData back;
    MFiData(again.data(), again.size()).ToMobileData(back);
    const std::vector<ringtone_test::Note> got = ringtone_test::NotesOf(back);
    ASSERT_EQ(got.size(), expected.size()) << mode;
    for (size_t i = 0; i < got.size(); ++i) {
      const ringtone_test::Note& g = got[i];
      const ringtone_test::Note& e = expected[i];
      EXPECT_EQ(std::tie(g.voice, g.tick, g.pitch, g.velocity),
                std::tie(e.voice, e.tick, e.pitch, e.velocity))
          << mode << ": " << g << " " << e;
      // A note longer than the 255 ticks one event holds is written as a
      // note and fillers, which read back a tick longer each.
      EXPECT_NEAR(g.duration, e.duration, (e.duration - 1) / 254) << mode << ": " << g;
    }
  }
}

// A song of division 480, as a sequencer writes it, prepared for a phone and written as MFi:
// read back, every note stands at its time and keeps its length (in ticks of 96 per quarter,
// against mido's reading of the source). The phone kinds of 48 ticks per quarter are written with
// their model's timebase; a song with no tempo of its own is given one by the preparation.
TEST_F(RingtonePreparationTest, Division480SongThroughPreparationAndMFiKeepsItsTimes) {
  CANTREL_NEED_TOOL("csvmidi");
  CANTREL_NEED_MIDO();
  for (bool with_tempo : {true, false}) {
    std::ostringstream csv;
    csv << "0, 0, Header, 1, 2, 480\n1, 0, Start_track\n1, 0, Time_signature, 4, 2, 24, 8\n";
    if (with_tempo) csv << "1, 0, Tempo, 400000\n";
    csv << "1, 0, End_track\n2, 0, Start_track\n2, 0, Program_c, 0, 73\n2, 0, Program_c, 1, 33\n";
    // (tick, 0 for an end and 1 for a start, channel, pitch): csvmidi takes a track in order.
    std::vector<std::tuple<int, int, int, int>> events;
    static const int kLengths[] = {440, 200, 920, 1200, 80};
    for (int n = 0; n < 24; ++n) {
      const int tick = n * 480 + (n % 3 == 1 ? 240 : 0);
      events.emplace_back(tick, 1, 0, 60 + n % 12);
      events.emplace_back(tick + kLengths[n % 5], 0, 0, 60 + n % 12);
      if (n % 2 == 1) continue;
      events.emplace_back(tick, 1, 1, 36 + n % 7);
      events.emplace_back(tick + 900, 0, 1, 36 + n % 7);
    }
    std::sort(events.begin(), events.end());
    for (const auto& [tick, on, channel, pitch] : events)
      csv << "2, " << tick << (on ? ", Note_on_c, " : ", Note_off_c, ") << channel << ", " << pitch
          << (on ? ", 90\n" : ", 0\n");
    csv << "2, 13440, End_track\n0, 0, End_of_file\n";
    const fs::path source = CsvMidi(csv.str(), with_tempo ? "d480_tempo" : "d480_plain");
    const MidoSong original = ReadWithMido(source);
    ASSERT_EQ(original.division, 480);
    std::vector<std::tuple<int, int, int>> want;  // (tick, pitch, length) at 96 per quarter
    for (const Note& n : original.notes) want.emplace_back(n.tick / 5, n.pitch, n.length / 5);
    std::sort(want.begin(), want.end());
    ASSERT_EQ(want.size(), 36u);

    // The melo files state 48 ticks per quarter for the phone kinds prepared at 48; the 16-voice
    // cmid form always states 96 and takes the songs prepared at 96.
    for (unsigned kind : {1u, 13u}) {
      for (int type : kind == 1 ? std::vector<int>{4, 254} : std::vector<int>{4}) {
        SCOPED_TRACE(::testing::Message() << "tempo " << with_tempo << " kind " << kind << " type "
                                          << type);
        auto song = std::make_unique<Midi1Data>(source, 0x60000);
        PrepareSongForRingtone(&song, 32, 100, kind);
        ASSERT_EQ(song->division, RingtoneDivision(kind));
        MobileData mobile(*song, nullptr, 0x60000);
        MFiData written(mobile, type, 0x60000);
        written.WriteFile(static_cast<int>(kind));
        const std::vector<uint8_t> bytes = written.Bytes();
        MobileData back;
        MFiData(bytes.data(), bytes.size()).ToMobileData(back);
        std::vector<std::tuple<int, int, int>> got;
        for (const ringtone_test::Note& n : ringtone_test::NotesOf(back))
          got.emplace_back(n.tick, n.pitch, n.duration);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want);
      }
    }
  }
}

TEST_F(RingtonePreparationTest, ReencodingWritesNothingItCannot) {
  const fs::path dir = cantrel_test::TempDir();
  const std::vector<uint8_t> text = {'n', 'o', ' ', 'r', 'i', 'n', 'g', 't', 'o', 'n', 'e', '!',
                                     '!', '!', '!', '!'};
  // No output path set: reported.
  cantrel_test::Sink().Clear();
  ReencodeMFiRingtone(text.data(), text.size());
  EXPECT_EQ(ErrorCount(0xFF010101u), 1);
  // Bytes that are no MFi file: reported, nothing written.
  RingtoneOutput().other = dir / "out.mld";
  cantrel_test::Sink().Clear();
  ReencodeMFiRingtone(text.data(), text.size());
  EXPECT_GE(BoxCount(), 1u);
  EXPECT_FALSE(fs::exists(dir / "out.mld"));
  ReencodeMFiRingtone(nullptr, 0);
  EXPECT_FALSE(fs::exists(dir / "out.mld"));
  // A folder that cannot be written: reported, and the program goes on.
  ringtone_test::FixtureShape shape;
  MFiData written(*ringtone_test::FixtureSong(shape), 254, 0x60000);
  written.BuildFile();
  const std::vector<uint8_t> bytes = written.Bytes();
  RingtoneOutput().other = dir / "missing" / "folder" / "out.mld";
  cantrel_test::Sink().Clear();
  ReencodeMFiRingtone(bytes.data(), bytes.size());
  EXPECT_GE(BoxCount(), 1u);
  EXPECT_FALSE(fs::exists(RingtoneOutput().other));
}

}  // namespace
