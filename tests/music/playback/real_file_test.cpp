// Real Standard MIDI Files played on the recording device, checked against midicsv's reading of
// the same files: every message comes out, in the file's order (tick by tick), at the time the
// delay formula gives for its tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <sstream>

#include "platform/core/synth.h"
#include "tests/music/playback/playback_fixture.h"

namespace playback_test {
namespace {

namespace fs = std::filesystem;

struct Expected {
  int64_t tick;
  Bytes bytes;      // empty for a tempo change
  int tempo = 0;    // microseconds per quarter for a tempo change
  int track = 0;    // the file's track (chunk) it comes from
};

struct CsvSong {
  int division = 0;
  std::vector<Expected> events;  // merged by tick, file (track) order within a tick
};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(cur);
      cur.clear();
      continue;
    }
    if (!(c == ' ' && cur.empty())) cur.push_back(c);
  }
  out.push_back(cur);
  return out;
}

// Opening a file pairs the notes of each track: in the track's order, a note-off ends the
// earliest note of its channel and key that still sounds. A note-off of a key that does not sound
// (a second note-off of a note that has ended) is no part of any note and goes; so do a note-on
// that no note-off ends and a note that ends at the tick it starts. Takes these messages out of
// a track-ordered event list.
void DropUnpairedNotes(std::vector<Expected>* events) {
  auto is_on = [](const Expected& e) { return !e.bytes.empty() && (e.bytes[0] & 0xF0) == 0x90; };
  auto is_off = [](const Expected& e) { return !e.bytes.empty() && (e.bytes[0] & 0xF0) == 0x80; };
  std::vector<bool> drop(events->size(), true);
  std::map<std::tuple<int, int, int>, std::deque<size_t>> sounding;  // track, channel, key
  for (size_t i = 0; i < events->size(); ++i) {
    const Expected& e = (*events)[i];
    if (!is_on(e) && !is_off(e)) {
      drop[i] = false;
      continue;
    }
    auto& ons = sounding[{e.track, e.bytes[0] & 0x0F, e.bytes[1]}];
    if (is_on(e)) {
      ons.push_back(i);
    } else if (!ons.empty()) {
      size_t on = ons.front();
      ons.pop_front();
      bool empty_note = (*events)[on].tick == e.tick;
      drop[on] = drop[i] = empty_note;
    }
  }
  size_t kept = 0;
  for (size_t i = 0; i < events->size(); ++i) {
    if (drop[i]) continue;
    if (kept != i) (*events)[kept] = std::move((*events)[i]);
    ++kept;
  }
  events->resize(kept);
}

bool ReadCsv(const fs::path& file, CsvSong* song) {
  std::string text;
  if (cantrel_test::RunTool({"midicsv", file.string()}, &text) != 0) return false;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    auto f = Fields(line);
    if (f.size() < 3) continue;
    const std::string& type = f[2];
    int64_t tick = std::stoll(f[1]);
    auto num = [&](size_t i) { return std::stoi(f.at(i)); };
    auto u8 = [&](int v) { return static_cast<uint8_t>(v); };
    Expected e{tick, {}};
    e.track = std::stoi(f[0]);
    if (type == "Header") {
      song->division = num(5);
      continue;
    } else if (type == "Note_on_c") {
      if (num(5) == 0)
        e.bytes = {u8(0x80 | num(3)), u8(num(4)), 0};
      else
        e.bytes = {u8(0x90 | num(3)), u8(num(4)), u8(num(5))};
    } else if (type == "Note_off_c") {
      e.bytes = {u8(0x80 | num(3)), u8(num(4)), 0};  // always sent with velocity 0
    } else if (type == "Control_c") {
      e.bytes = {u8(0xB0 | num(3)), u8(num(4)), u8(num(5))};
    } else if (type == "Program_c") {
      e.bytes = {u8(0xC0 | num(3)), u8(num(4))};
    } else if (type == "Channel_aftertouch_c") {
      e.bytes = {u8(0xD0 | num(3)), u8(num(4))};
    } else if (type == "Poly_aftertouch_c") {
      e.bytes = {u8(0xA0 | num(3)), u8(num(4)), u8(num(5))};
    } else if (type == "Pitch_bend_c") {
      e.bytes = {u8(0xE0 | num(3)), u8(num(4) & 0x7F), u8(num(4) >> 7)};
    } else if (type == "System_exclusive") {
      e.bytes = {0xF0};
      for (size_t i = 4; i < f.size(); ++i) e.bytes.push_back(u8(num(i)));
      if (e.bytes.back() != 0xF7) e.bytes.push_back(0xF7);
    } else if (type == "Tempo") {
      e.tempo = num(3);
    } else {
      continue;  // other meta events are not sent
    }
    song->events.push_back(std::move(e));
  }
  DropUnpairedNotes(&song->events);
  std::stable_sort(song->events.begin(), song->events.end(),
                   [](const Expected& a, const Expected& b) { return a.tick < b.tick; });
  return song->division > 0;
}

unsigned Bpm(int tempo_us) {
  int t = tempo_us / 1000;
  if (t == 0) return 60;
  unsigned bpm = 60000u / unsigned(t);
  return bpm < 10 ? 10 : bpm;
}

std::vector<fs::path> RealFiles() {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/usr/share/planetblupi/music", ec))
    if (e.path().extension() == ".mid") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The expected time (ms after the start of playing) of every tick that holds a message, and the
// time of the first timer run.
struct Schedule {
  int64_t first_note_tick = -1;
  std::map<int64_t, int64_t> time_of_tick;
};

// Times follow the ticks the song holds (the delays are rounded event by event) and the tempo
// changes of the file.
Schedule Expect(const CsvSong& csv, const std::set<int64_t>& song_ticks) {
  Schedule s;
  for (const auto& e : csv.events)
    if (!e.bytes.empty() && (e.bytes[0] & 0xF0) == 0x90) {
      s.first_note_tick = e.tick;
      break;
    }
  std::map<int64_t, std::vector<int>> tempos;  // by tick, in file order
  for (const auto& e : csv.events)
    if (e.tempo) tempos[e.tick].push_back(e.tempo);
  unsigned tempo = 240;
  // The lead-in: everything before the first note, sent at once (at the first note's tick the
  // conductor track's tempo comes before the notes).
  for (const auto& [tick, list] : tempos)
    if (tick <= s.first_note_tick) tempo = Bpm(list.back());
  int64_t period = std::max<int64_t>(1, 60000 / PlayerTicksPerMinute(csv.division, tempo, 100));
  int64_t time = period;
  int64_t prev = s.first_note_tick;
  s.time_of_tick[prev] = time;
  for (int64_t tick : song_ticks) {
    if (tick <= s.first_note_tick) continue;
    time += PlayerDelayMs(tick - prev, PlayerTicksPerMinute(csv.division, tempo, 100));
    s.time_of_tick[tick] = time;
    auto t = tempos.find(tick);
    if (t != tempos.end()) tempo = Bpm(t->second.back());
    prev = tick;
  }
  return s;
}

class RealFileTest : public PlaybackTest {};

TEST_F(RealFileTest, MessagesFollowTheFileInOrderAndTime) {
  CANTREL_NEED_TOOL("midicsv");
  auto files = RealFiles();
  CANTREL_NEED(!files.empty(), "the real MIDI files of planetblupi-music-midi");
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    CsvSong csv;
    ASSERT_TRUE(ReadCsv(file, &csv));
    Midi0Data song(file, kDefaultMusicCapacity);
    ASSERT_EQ(song.state, kSongNotes);
    ASSERT_EQ(song.division, csv.division);
    song.ToEventMode();
    std::set<int64_t> song_ticks;
    int64_t abs_tick = 0;
    for (int i = 0; i < song.track->event_count; ++i) {
      abs_tick += song.track->events[i]->delta;
      song_ticks.insert(abs_tick);
    }
    Schedule schedule = Expect(csv, song_ticks);
    ASSERT_GE(schedule.first_note_tick, 0);
    log_->Clear();
    auto start = cantrel_test::Clock().Now();
    ASSERT_EQ(PlayWithEvents(song, nullptr, nullptr, 0, 0), 1);
    WaitEnd();
    auto sent = Sent(start);
    // Reading a format-1 file gives the song a master volume of its own when the file has none.
    sent.erase(std::remove_if(sent.begin(), sent.end(),
                              [](const std::pair<int64_t, Bytes>& m) {
                                return m.second.size() == 8 && m.second[0] == 0xF0 &&
                                       m.second[1] == 0x7F && m.second[3] == 0x04 &&
                                       m.second[4] == 0x01;
                              }),
               sent.end());

    // Walk the expected events tick by tick; within a tick any order.
    struct Group {
      int64_t tick;
      std::multiset<Bytes> left;
    };
    std::vector<Group> groups;
    size_t expected_count = 0;
    for (const auto& e : csv.events) {
      if (e.bytes.empty()) continue;
      if (groups.empty() || groups.back().tick != e.tick) groups.push_back({e.tick, {}});
      groups.back().left.insert(e.bytes);
      ++expected_count;
    }
    size_t g = 0;
    int bad_order = 0, bad_time = 0;
    for (size_t k = 0; k < sent.size(); ++k) {
      const Bytes& m = sent[k].second;
      while (g < groups.size() && groups[g].left.empty()) ++g;
      if (g >= groups.size() || groups[g].left.find(m) == groups[g].left.end()) {
        if (++bad_order <= 3)
          ADD_FAILURE() << "message " << k << " (status " << int(m[0]) << ") is not one of tick "
                        << (g < groups.size() ? groups[g].tick : -1);
        continue;
      }
      int64_t tick = groups[g].tick;
      groups[g].left.erase(groups[g].left.find(m));
      int64_t want = tick < schedule.first_note_tick ? 0 : schedule.time_of_tick[tick];
      bool lead_in_at_first_tick =
          tick == schedule.first_note_tick && sent[k].first == 0 && (m[0] & 0xF0) != 0x90;
      if (sent[k].first != want && !lead_in_at_first_tick && ++bad_time <= 3)
        ADD_FAILURE() << "message " << k << " at tick " << tick << " came at " << sent[k].first
                      << " ms, want " << want;
    }
    for (; g < groups.size(); ++g)
      EXPECT_TRUE(groups[g].left.empty()) << "unsent messages at tick " << groups[g].tick;
    EXPECT_EQ(bad_order, 0);
    EXPECT_EQ(bad_time, 0);
    EXPECT_EQ(sent.size(), expected_count);
    if (HasFailure()) break;
  }
}

// The built-in synthesizer rendering offline: a real file gives non-silent audio exactly as long
// as the time the player took.
class OfflinePort : public plat::MidiOutPort {
 public:
  explicit OfflinePort(plat::OfflineSynthOut* synth) : synth_(synth) {}
  int Send(const uint8_t* b, size_t n) override { return synth_->Send(b, n); }
  int Reset() override { return synth_->Reset(); }

 private:
  plat::OfflineSynthOut* synth_;
};

TEST(OfflineRendering, RealFileRendersNonSilentAudioOfTheRightLength) {
  auto files = RealFiles();
  CANTREL_NEED(!files.empty(), "the real MIDI files of planetblupi-music-midi");
  fs::path font = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (!fs::exists(font)) font = plat::FindSoundFont();
  CANTREL_NEED(!font.empty(), "a General MIDI soundfont (fluid-soundfont-gm)");
  ResetPlayThreadModule();
  ResetMidiPlayerModule();
  plat::OfflineSynthOut synth(font, 22050);
  ASSERT_TRUE(synth.Ok()) << synth.Error();
  plat::TestMidiOutBackend backend;
  backend.AddDevice("synth", [&](int) { return std::make_unique<OfflinePort>(&synth); });
  plat::InstallMidiOutBackend(&backend);

  // music004.mid, one of the shortest to render, when it is there.
  fs::path file = files.size() > 4 ? files[4] : files[0];
  Midi0Data song(file, kDefaultMusicCapacity);
  song.ToEventMode();
  int64_t length_ms = song.track->GetSecondsUpTo(0, song.track->GetLength(), song.division) * 1000;
  auto start = cantrel_test::Clock().Now();
  synth.Restart();
  ASSERT_EQ(PlayInThread(song, nullptr), 1);
  ASSERT_TRUE(WaitPlayThreadEnd(60000));
  int64_t played_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(cantrel_test::Clock().Now() - start)
          .count();
  synth.RenderUntilMs(played_ms + 2000);  // the release tail
  plat::InstallMidiOutBackend(nullptr);

  // Each delay is rounded down on its own, so the played time is a little below the exact one.
  EXPECT_LE(played_ms, length_ms + 5);
  EXPECT_GT(played_ms, length_ms * 97 / 100);
  EXPECT_EQ(synth.FrameCount(), (played_ms + 2000) * 22050 / 1000);
  const auto& s = synth.Samples();
  double sum = 0;
  int64_t loud = 0;
  for (int16_t v : s) {
    sum += double(v) * v;
    if (std::abs(v) > 1000) ++loud;
  }
  double rms = std::sqrt(sum / double(s.size()));
  EXPECT_GT(rms, 300.0);
  EXPECT_GT(loud, int64_t(s.size() / 20));

}

}  // namespace
}  // namespace playback_test
