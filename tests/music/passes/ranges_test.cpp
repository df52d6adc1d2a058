// Keeping tick ranges of format-1 tracks and songs.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "music/midi1_data.h"
#include "music/midi_loader.h"
#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

struct Row {
  int64_t tick;
  uint32_t status;
  int channel;
  int a;  // note or controller number
  int b;  // velocity or value
  bool operator==(const Row& o) const {
    return tick == o.tick && status == o.status && channel == o.channel && a == o.a && b == o.b;
  }
};

std::vector<Row> Rows(const MidiTrack& track) {
  std::vector<Row> rows;
  const std::vector<int64_t> ticks = track.EventTicks();
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    int a = e.note;
    int b = e.velocity;
    if (e.status == kStatusController) {
      a = static_cast<int>(e.number);
      b = e.value;
    } else if (e.status == kStatusProgram || e.status == kStatusMeta) {
      a = static_cast<int>(e.number);
      b = e.value;
    }
    rows.push_back({ticks[static_cast<size_t>(i)], e.status, e.channel, a, b});
  }
  return rows;
}

}  // namespace

TEST(KeepRanges, NotesAcrossTheCutsAndTheStateAtTheStart) {
  // Notes 300-500 and 700-800, a note from 500 to 900, volume 90 at 100.
  auto t = Make(kTrackEvents, {Cc(100, 0, 7, 90), On(200, 0, 60, 80), Off(200, 0, 60),
                               On(0, 0, 62, 70), On(200, 0, 64, 60), Off(100, 0, 64),
                               Off(100, 0, 62), End(100)});
  const int32_t ranges[] = {384, 768};
  t->KeepRanges(ranges, 1);
  EXPECT_EQ(Rows(*t), (std::vector<Row>{{0, kStatusController, 0, 7, 90},
                                        {0, kStatusNoteOn, 0, 60, 80},
                                        {116, kStatusNoteOff, 0, 60, 0},
                                        {116, kStatusNoteOn, 0, 62, 70},
                                        {316, kStatusNoteOn, 0, 64, 60},
                                        {384, kStatusNoteOff, 0, 62, 0},
                                        {384, kStatusNoteOff, 0, 64, 0},
                                        {384, kStatusMeta, kNoChannel, 0x2F, 0}}));
}

TEST(KeepRanges, ANoteStruckInAGapSoundsAgainAtTheNextRange) {
  auto t = Make(kTrackEvents, {On(500, 3, 65, 90), Off(400, 3, 65), End(600)});
  const int32_t ranges[] = {0, 384, 768, 1200};
  t->KeepRanges(ranges, 2);
  EXPECT_EQ(Rows(*t), (std::vector<Row>{{384, kStatusNoteOn, 3, 65, 90},
                                        {516, kStatusNoteOff, 3, 65, 0},
                                        {816, kStatusMeta, kNoChannel, 0x2F, 0}}));
}

TEST(KeepRanges, BankBeforeProgramAndParameterBeforeData) {
  // Inside the removed span: bank 1/2, program 5, bend range RPN 0/0 = 12.
  auto t = Make(kTrackEvents, {Program(0, 1, 0), Cc(10, 1, 0, 1), Cc(0, 1, 32, 2), Program(0, 1, 5),
                               Cc(0, 1, 101, 0), Cc(0, 1, 100, 0), Cc(0, 1, 6, 12),
                               On(100, 1, 60, 100), Off(100, 1, 60), End(100)});
  const int32_t ranges[] = {100, 400};
  t->KeepRanges(ranges, 1);
  std::vector<std::pair<uint32_t, int>> order;
  for (const Row& r : Rows(*t)) {
    if (r.tick != 0) continue;
    order.push_back({r.status, r.status == kStatusController ? r.a : -1});
  }
  const std::vector<std::pair<uint32_t, int>> want = {
      {kStatusController, 0}, {kStatusController, 32}, {kStatusProgram, -1},
      {kStatusController, 101}, {kStatusController, 100}, {kStatusController, 6}};
  EXPECT_EQ(order, want);
}

TEST(KeepRanges, RefusesRangesOutOfOrderOrOverlapping) {
  for (const std::vector<int32_t>& ranges :
       {std::vector<int32_t>{384, 768, 0, 100}, std::vector<int32_t>{0, 500, 400, 900},
        std::vector<int32_t>{500, 500}, std::vector<int32_t>{-5, 10}}) {
    cantrel_test::Sink().Clear();
    auto t = Make(kTrackEvents, {On(0, 0, 60, 80), Off(1000, 0, 60), End(0)});
    const std::vector<Row> before = Rows(*t);
    t->KeepRanges(ranges.data(), static_cast<int32_t>(ranges.size() / 2));
    EXPECT_EQ(Rows(*t), before);
    EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  }
}

TEST(RemoveDuplicateMixControllers, TheLastChangeOfATickIsInForcePerChannel) {
  auto t = Make(kTrackEvents, {Cc(0, 0, 7, 100), Cc(0, 0, 7, 80), Cc(0, 1, 7, 50), Cc(10, 0, 7, 80),
                               Cc(10, 1, 7, 50), Cc(0, 1, 7, 60), End(0)});
  t->RemoveDuplicateMixControllers();
  t->Compact();
  EXPECT_EQ(Rows(*t), (std::vector<Row>{{0, kStatusController, 0, 7, 80},
                                        {0, kStatusController, 1, 7, 50},
                                        {20, kStatusController, 1, 7, 60},
                                        {20, kStatusMeta, kNoChannel, 0x2F, 0}}));
}

TEST(SplitBarAt, SixteenthsAroundTheCut) {
  auto t = Make(kTrackEvents, {Meta(0, 0x58, std::string("\x04\x02\x18\x08", 4)), End(9600)});
  t->events[0]->value = 0x404;
  EXPECT_EQ(t->SplitBarAt(480, 2400), 1);
  std::vector<std::pair<int64_t, std::string>> metres;
  const std::vector<int64_t> ticks = Ticks(*t);
  for (int32_t i = 0; i < t->event_count; ++i) {
    const MidiEvent& e = *t->events[i];
    if (e.status == kStatusMeta && e.number == 0x58) {
      metres.push_back({ticks[static_cast<size_t>(i)], std::to_string(e.GetDataByte(0)) + "/" +
                                                           std::to_string(1 << e.GetDataByte(1))});
    }
  }
  EXPECT_EQ(metres, (std::vector<std::pair<int64_t, std::string>>{
                        {0, "4/4"}, {1920, "4/16"}, {2400, "12/16"}, {3840, "4/4"}}));
  // On a bar line nothing happens; under a sixteenth the split is refused.
  const int32_t count = t->event_count;
  EXPECT_EQ(t->SplitBarAt(480, 3840), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(t->SplitBarAt(480, 3900), 0);
  EXPECT_EQ(t->event_count, count);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  EXPECT_NE(cantrel_test::Sink().Texts()[0].find("0D00001C"), std::string::npos);
}

TEST(CloseGap, MovesTheNextEventBack) {
  auto t = Make(kTrackEvents, {On(50, 0, 60, 1), Off(250, 0, 60), End(0)});
  t->CloseGap(100, 200);
  EXPECT_EQ(Ticks(*t), (std::vector<int64_t>{50, 200, 200}));
}

namespace {

// Two ranges of a real file kept, the result read back by mido.
void CheckKeptRanges(int n) {
  SCOPED_TRACE(n);
  const std::filesystem::path dir = cantrel_test::TempDir();
  MidiLoader loader(BlupiFile(n));
  ASSERT_NE(loader.song, nullptr);
  const int32_t bar = 4 * loader.song->division;
  const int32_t ranges[] = {8 * bar, 12 * bar, 20 * bar + bar / 2, 26 * bar};
  loader.song->KeepRanges(ranges, 2);
  ASSERT_EQ(loader.song->SaveFile(dir / "kept.mid"), 1);
  EXPECT_EQ(MidoError(dir / "kept.mid"), "");

  // The original as mido plays it: notes (channel, pitch, velocity, start, end) and
  // the program and controllers in force.
  struct Note {
    int channel, pitch, velocity;
    int64_t start, end;
  };
  auto parse = [](const std::vector<std::string>& lines, std::vector<Note>* notes,
                  std::vector<std::pair<int64_t, std::string>>* state) {
    std::map<std::pair<int, int>, std::pair<int64_t, int>> open;
    for (const std::string& line : lines) {
      std::istringstream in(line);
      int64_t tick;
      std::string type;
      in >> tick >> type;
      std::map<std::string, int> f;
      std::string kv;
      while (in >> kv) {
        const size_t eq = kv.find('=');
        if (eq != std::string::npos) f[kv.substr(0, eq)] = std::atoi(kv.c_str() + eq + 1);
      }
      if (type == "note_on") {
        open[{f["channel"], f["note"]}] = {tick, f["velocity"]};
      } else if (type == "note_off") {
        auto it = open.find({f["channel"], f["note"]});
        if (it == open.end()) continue;
        notes->push_back({f["channel"], f["note"], it->second.second, it->second.first, tick});
        open.erase(it);
      } else if (type == "control_change" || type == "program_change") {
        state->push_back({tick, line.substr(line.find(' ') + 1)});
      }
    }
  };
  std::vector<Note> original;
  std::vector<std::pair<int64_t, std::string>> original_state;
  parse(MidoMessages(BlupiFile(n)), &original, &original_state);
  std::vector<Note> kept;
  std::vector<std::pair<int64_t, std::string>> kept_state;
  parse(MidoMessages(dir / "kept.mid"), &kept, &kept_state);
  ASSERT_FALSE(original.empty());

  // Every original note that sounds inside a range is there, moved back, struck
  // again at the range start when it began before it, ended at the range end.
  std::multiset<std::tuple<int, int, int, int64_t, int64_t>> want;
  int64_t offset = 0;
  for (int r = 0; r < 2; ++r) {
    const int64_t a = ranges[2 * r];
    const int64_t b = ranges[2 * r + 1];
    for (const Note& n : original) {
      if (n.end <= a || n.start >= b) continue;
      want.insert({n.channel, n.pitch, n.velocity, std::max(n.start, a) - a + offset,
                   std::min(n.end, b) - a + offset});
    }
    offset += b - a;
  }
  std::multiset<std::tuple<int, int, int, int64_t, int64_t>> got;
  for (const Note& n : kept) got.insert({n.channel, n.pitch, n.velocity, n.start, n.end});
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);

  // Replayed up to each range start, the kept song has the original's programs and
  // controllers in force there.
  auto in_force = [](const std::vector<std::pair<int64_t, std::string>>& s, int64_t tick) {
    std::map<std::string, std::string> now;
    for (const auto& [t, text] : s) {
      if (t > tick) break;
      // "channel=c control=n value=v" or "channel=c program=p"
      const size_t v = text.rfind(' ');
      now[text.substr(0, v)] = text.substr(v + 1);
    }
    return now;
  };
  offset = 0;
  for (int r = 0; r < 2; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(in_force(kept_state, offset), in_force(original_state, ranges[2 * r]));
    offset += ranges[2 * r + 1] - ranges[2 * r];
  }
}

}  // namespace

TEST(KeepRanges, RealSongsInMido) {
  CANTREL_NEED(std::filesystem::exists(BlupiFile(4)), "planetblupi-music-midi");
  CANTREL_NEED(HaveMido(), "python3 with mido (python3-mido)");
  for (int n : {4, 6}) CheckKeptRanges(n);
}
