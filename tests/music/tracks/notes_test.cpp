// Note mode and back, note-off order, re-struck notes; the one-pass conversions are
// checked against the event-by-event procedure on many random tracks.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "music/midi_track.h"
#include "tests/support/test_support.h"
#include "track_test_util.h"
#include "util/gne.h"

namespace {

struct Ev {
  uint32_t status;
  int32_t delta, channel, note, velocity, duration;
  bool operator==(const Ev& o) const {
    return status == o.status && delta == o.delta && channel == o.channel && note == o.note &&
           (status != kStatusNote || duration == o.duration) &&
           (status == kStatusNoteOff || velocity == o.velocity);
  }
};

std::ostream& operator<<(std::ostream& os, const Ev& e) {
  return os << "{" << std::hex << e.status << std::dec << " d" << e.delta << " c" << e.channel
            << " n" << e.note << " v" << e.velocity << " l" << e.duration << "}";
}

Ev Note(int32_t delta, int32_t channel, int32_t note, int32_t duration, int32_t velocity = 100) {
  return {kStatusNote, delta, channel, note, velocity, duration};
}
Ev On(int32_t delta, int32_t channel, int32_t note, int32_t velocity = 100) {
  return {kStatusNoteOn, delta, channel, note, velocity, 0};
}
Ev Off(int32_t delta, int32_t channel, int32_t note) {
  return {kStatusNoteOff, delta, channel, note, 64, 0};
}
Ev Cc(int32_t delta) { return {kStatusController, delta, 0, 0, 0, 0}; }
Ev End(int32_t delta) { return {kStatusMeta, delta, kNoChannel, 0x2F, 0, 0}; }

std::unique_ptr<MidiTrack> Build(const std::vector<Ev>& evs, int32_t mode) {
  auto t = std::make_unique<MidiTrack>(mode, 0x1000);
  for (const Ev& x : evs) {
    MidiEvent* e = new MidiEvent(x.delta);
    e->status = x.status;
    e->channel = x.channel;
    e->note = x.note;
    e->velocity = x.velocity;
    e->duration = x.duration;
    if (x.status == kStatusMeta) e->number = static_cast<uint32_t>(x.note);
    t->AddEvent(e);
  }
  return t;
}

std::vector<Ev> Events(const MidiTrack& t) {
  std::vector<Ev> out;
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent& e = *t.events[i];
    Ev x{e.status, e.delta, e.channel, e.note, e.velocity, e.duration};
    if (e.status == kStatusMeta) x.note = static_cast<int32_t>(e.number);
    out.push_back(x);
  }
  return out;
}

bool IsEnd(const Ev& e) { return e.status == kStatusMeta && e.note == 0x2F; }

void CompactRef(std::vector<Ev>& v) {
  std::vector<Ev> out;
  int64_t carry = 0;
  for (Ev e : v) {
    if (e.status == 0) {
      carry += e.delta;
      continue;
    }
    e.delta += static_cast<int32_t>(carry);
    carry = 0;
    out.push_back(e);
  }
  v = out;
}

void MoveOffsBeforeOnsRef(std::vector<Ev>& v) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i].status != kStatusNoteOff) continue;
    size_t head = i;
    while (head > 0 && v[head].delta == 0) --head;
    for (size_t j = i; j-- > head;) {
      if (v[j].status == kStatusNoteOn) {
        std::swap(v[i], v[j]);
        std::swap(v[i].delta, v[j].delta);
        break;
      }
    }
  }
}

// Event mode, one note at a time, inserting each note-off into the growing list.
std::vector<Ev> ToEventModeRef(std::vector<Ev> v) {
  for (Ev& e : v) {
    if (e.status == kStatusNote && (e.duration == 0 || e.velocity == 0)) e.status = 0;
  }
  CompactRef(v);
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i].status != kStatusNote) continue;
    int64_t d = v[i].duration < 0 ? 0 : v[i].duration;
    v[i].status = kStatusNoteOn;
    v[i].duration = 0;
    Ev off = Off(0, v[i].channel, v[i].note);
    int64_t sum = 0;
    size_t j = i + 1;
    for (; j < v.size(); ++j) {
      sum += v[j].delta;
      if (sum >= d) break;
    }
    if (j < v.size()) {
      off.delta = static_cast<int32_t>(v[j].delta - (sum - d));
      v[j].delta = static_cast<int32_t>(sum - d);
      v.insert(v.begin() + static_cast<long>(j), off);
    } else {
      off.delta = static_cast<int32_t>(d - sum);
      v.push_back(off);
    }
  }
  for (size_t i = 0; i < v.size(); ++i) {
    if (!IsEnd(v[i])) continue;
    if (i + 1 < v.size()) {
      Ev end = v[i];
      v[i + 1].delta += end.delta;
      v.erase(v.begin() + static_cast<long>(i));
      end.delta = 0;
      v.push_back(end);
    }
    break;
  }
  MoveOffsBeforeOnsRef(v);
  return v;
}

// Note mode, searching forward from every note-on.
std::vector<Ev> ToNoteModeRef(std::vector<Ev> v) {
  for (Ev& e : v) {
    if (e.status == kStatusNoteOn && e.velocity == 0) e.status = kStatusNoteOff;
  }
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i].status != kStatusNoteOn) continue;
    v[i].status = kStatusNote;
    v[i].duration = 0;
    int64_t sum = 0;
    for (size_t j = i + 1; j < v.size(); ++j) {
      sum += v[j].delta;
      if (v[j].status == kStatusNoteOff && v[j].channel == v[i].channel && v[j].note == v[i].note) {
        v[i].duration = static_cast<int32_t>(sum);
        if (j + 1 < v.size()) v[j + 1].delta += v[j].delta;
        v.erase(v.begin() + static_cast<long>(j));
        break;
      }
    }
  }
  for (Ev& e : v) {
    if (e.status == kStatusNoteOff) e.status = 0;
    if (e.status == kStatusNote && e.duration == 0) e.status = 0;
  }
  CompactRef(v);
  return v;
}

std::vector<Ev> RandomNotes(int n) {
  std::vector<Ev> v;
  for (int i = 0; i < n; ++i) {
    int32_t delta = GneRandomRange(0, 3) == 0 ? GneRandomRange(1, 30) : 0;
    if (GneRandomRange(0, 5) == 0) {
      v.push_back(Cc(delta));
    } else {
      v.push_back(Note(delta, GneRandomRange(0, 1), GneRandomRange(60, 62), GneRandomRange(0, 40) - 2,
                       GneRandomRange(0, 8) == 0 ? 0 : 90));
    }
    if (GneRandomRange(0, 30) == 0) v.push_back(End(GneRandomRange(0, 5)));
  }
  v.push_back(End(GneRandomRange(0, 20)));
  return v;
}

// Notes among bare note-ons and note-offs (a track being built, or damaged input), some
// notes of negative length.
std::vector<Ev> RandomMixedNotes(int n) {
  std::vector<Ev> v;
  for (int i = 0; i < n; ++i) {
    const int32_t delta = GneRandomRange(0, 2) == 0 ? GneRandomRange(1, 30) : 0;
    const int32_t ch = GneRandomRange(0, 1), note = GneRandomRange(60, 62);
    switch (GneRandomRange(0, 5)) {
      case 0: v.push_back(On(delta, ch, note)); break;
      case 1: v.push_back(Off(delta, ch, note)); break;
      default: v.push_back(Note(delta, ch, note, GneRandomRange(0, 40) - 4)); break;
    }
  }
  v.push_back(End(GneRandomRange(0, 20)));
  return v;
}

std::vector<Ev> RandomEvents(int n) {
  std::vector<Ev> v;
  for (int i = 0; i < n; ++i) {
    int32_t delta = GneRandomRange(0, 2) == 0 ? GneRandomRange(1, 20) : 0;
    int32_t ch = GneRandomRange(0, 1), note = GneRandomRange(60, 62);
    switch (GneRandomRange(0, 4)) {
      case 0: case 1: v.push_back(On(delta, ch, note, GneRandomRange(0, 6) == 0 ? 0 : 80)); break;
      case 2: case 3: v.push_back(Off(delta, ch, note)); break;
      default: v.push_back(Cc(delta)); break;
    }
  }
  v.push_back(End(GneRandomRange(0, 20)));
  return v;
}

}  // namespace

TEST(NoteMode, OneNoteThereAndBack) {
  auto t = Build({On(0, 0, 60), Off(96, 0, 60), End(0)}, kTrackEvents);
  t->ToNoteMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{Note(0, 0, 60, 96), End(96)}));
  t->ToEventMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{On(0, 0, 60), Off(96, 0, 60), End(0)}));
  EXPECT_EQ(t->events[1]->velocity, 64);
}

TEST(NoteMode, ReStruckNotesPairFirstComeFirstServed) {
  auto t = Build({On(0, 0, 60), On(48, 0, 60), Off(48, 0, 60), Off(48, 0, 60), End(0)}, kTrackEvents);
  t->ToNoteMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{Note(0, 0, 60, 96), Note(48, 0, 60, 96), End(96)}));
  EXPECT_EQ(t->HasOverlappingNotes(), 1);
  EXPECT_EQ(t->FixOverlappingNotes(1), 1);
  EXPECT_EQ(Events(*t), (std::vector<Ev>{Note(0, 0, 60, 48), Note(48, 0, 60, 48), End(96)}));
  EXPECT_EQ(t->HasOverlappingNotes(), 0);
  EXPECT_EQ(t->FixOverlappingNotes(1), 0);
}

TEST(NoteMode, FixWithoutInsertDropsTheSecondStrike) {
  auto t = Build({Note(0, 0, 60, 96), Note(48, 0, 60, 96), End(200)}, kTrackNotes);
  EXPECT_EQ(t->FixOverlappingNotes(0), 1);
  EXPECT_EQ(Events(*t), (std::vector<Ev>{Note(0, 0, 60, 96), End(248)}));
}

TEST(NoteMode, NoteOffComesBeforeTheNoteOnOfItsTick) {
  auto t = Build({Note(0, 0, 60, 96), Note(96, 0, 60, 96), End(96)}, kTrackNotes);
  t->ToEventMode();
  EXPECT_EQ(Events(*t),
            (std::vector<Ev>{On(0, 0, 60), Off(96, 0, 60), On(0, 0, 60), Off(96, 0, 60), End(0)}));
}

TEST(NoteMode, NoteOnWithoutNoteOffDisappears) {
  auto t = Build({On(0, 0, 60), On(10, 0, 64), Off(10, 0, 64), End(5)}, kTrackEvents);
  t->ToNoteMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{Note(10, 0, 64, 10), End(15)}));
}

TEST(NoteMode, NotesOutsideTheChannelAndNoteTablePairAmongThemselves) {
  // Damaged input: channels past both ports and notes past 127. A note-on there is ended by
  // its own note-off only, and nothing else in the track (here the first note) is taken for it.
  auto t = Build({On(0, 0, 60), On(10, 40, 60), On(0, 3, 200), Off(10, 40, 60), Off(5, 3, 200),
                  On(5, 40, 60), Off(5, 0, 60), End(0)},
                 kTrackEvents);
  t->ToNoteMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{Note(0, 0, 60, 35), Note(10, 40, 60, 10),
                                         Note(0, 3, 200, 15), End(25)}));
}

TEST(NoteMode, NoteOutlastingEndOfTrackMovesIt) {
  auto t = Build({Note(0, 0, 60, 500), End(100)}, kTrackNotes);
  EXPECT_EQ(t->GetLength(), 500);
  t->ToEventMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{On(0, 0, 60), Off(500, 0, 60), End(0)}));
}

TEST(NoteMode, WrongModesAreRefused) {
  MidiTrack t(kTrackChunk, 0x100);
  t.ToNoteMode();
  EXPECT_EQ(t.ToEventMode(), 0);
  EXPECT_EQ(t.mode, kTrackChunk);
  EXPECT_EQ(cantrel_test::Sink().Count(), 2u);
}

TEST(NoteMode, EventModeMatchesInsertingNoteByNote) {
  GneSeedRandomWith(7);
  for (int round = 0; round < 400; ++round) {
    std::vector<Ev> notes = RandomNotes(GneRandomRange(1, 40));
    auto t = Build(notes, kTrackNotes);
    t->ToEventMode();
    ASSERT_EQ(Events(*t), ToEventModeRef(notes)) << "round " << round;
  }
}

TEST(NoteMode, EventModeOfNotesAmongBareNoteOnsAndOffsMatchesInsertingNoteByNote) {
  GneSeedRandomWith(19);
  for (int round = 0; round < 400; ++round) {
    std::vector<Ev> notes = RandomMixedNotes(GneRandomRange(1, 40));
    auto t = Build(notes, kTrackNotes);
    t->ToEventMode();
    ASSERT_EQ(Events(*t), ToEventModeRef(notes)) << "round " << round;
  }
}

TEST(NoteMode, NoteModeMatchesSearchingForward) {
  GneSeedRandomWith(11);
  for (int round = 0; round < 400; ++round) {
    std::vector<Ev> events = RandomEvents(GneRandomRange(1, 50));
    auto t = Build(events, kTrackEvents);
    t->ToNoteMode();
    ASSERT_EQ(Events(*t), ToNoteModeRef(events)) << "round " << round;
  }
}

TEST(NoteMode, NoteOffsMoveBeforeNoteOnsOfTheirGroup) {
  auto t = Build({On(0, 0, 60), On(10, 0, 62), On(0, 0, 64), Off(0, 0, 60), Off(0, 0, 61), End(0)},
                 kTrackEvents);
  t->MoveNoteOffsBeforeNoteOns();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{On(0, 0, 60), On(10, 0, 62), Off(0, 0, 60), Off(0, 0, 61),
                                         On(0, 0, 64), End(0)}));
}

// ---- order inside a tick of tracks read from a file ----

namespace {

using track_test::Bytes;

// Chunk-body events: delta, then the bytes of the message.
struct Raw {
  uint32_t delta;
  Bytes bytes;
};
Bytes Body(const std::vector<Raw>& raws) {
  Bytes b;
  for (const Raw& r : raws) {
    uint8_t tmp[5];
    int n = 0;
    uint32_t v = r.delta;
    tmp[n++] = v & 0x7F;
    while ((v >>= 7) != 0) tmp[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    while (n > 0) b.push_back(tmp[--n]);
    b.insert(b.end(), r.bytes.begin(), r.bytes.end());
  }
  return b;
}
Raw RawOn(uint32_t delta, int note) { return {delta, {0x90, static_cast<uint8_t>(note), 100}}; }
Raw RawOff(uint32_t delta, int note) { return {delta, {0x80, static_cast<uint8_t>(note), 64}}; }
Raw RawCc(uint32_t delta, int value) { return {delta, {0xB0, 7, static_cast<uint8_t>(value)}}; }
Raw RawProgram(uint32_t delta, int program) { return {delta, {0xC1, static_cast<uint8_t>(program)}}; }
Raw RawEnd(uint32_t delta) { return {delta, {0xFF, 0x2F, 0x00}}; }

}  // namespace

TEST(NoteModeReadOrder, ATrackReadFromItsChunkComesBackInItsOrder) {
  struct Case {
    const char* what;
    std::vector<Raw> body;
  };
  const std::vector<Case> cases = {
      {"a note-off behind another key's note-on and before a controller",
       {RawOn(0, 60), RawOn(96, 62), RawOff(0, 60), RawCc(0, 90), RawOff(96, 62), RawEnd(0)}},
      {"a key struck again before its old note ends at the same tick",
       {RawOn(0, 60), RawOn(96, 60), RawOff(0, 60), RawOff(96, 60), RawEnd(0)}},
      {"note-offs of one tick in the file's order, the earlier note's first",
       {RawOn(0, 60), RawOn(10, 64), RawOff(86, 60), RawOff(0, 64), RawEnd(0)}},
      {"note-offs behind a program change and a note of another channel",
       {RawOn(0, 60), RawProgram(48, 5), {0, {0x91, 40, 90}}, RawOff(0, 60), {30, {0x81, 40, 0}},
        RawEnd(0)}},
      {"note-offs at the track's last tick after its other events",
       {RawOn(0, 60), RawOn(0, 67), RawCc(50, 1), RawOff(0, 67), RawCc(0, 2), RawOff(0, 60),
        RawEnd(0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto t = track_test::ParseBody(Body(c.body));
    ASSERT_EQ(t->mode, kTrackEvents);
    const std::vector<Ev> read = Events(*t);
    t->ToNoteMode();
    t->ToEventMode();
    EXPECT_EQ(Events(*t), read);
    // Twice over: the note-offs made from notes keep the places they stood at.
    t->ToNoteMode();
    t->ToEventMode();
    EXPECT_EQ(Events(*t), read);
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(NoteModeReadOrder, EventsMovedFromTheirTicksGetTheUsualOrder) {
  // Struck again before the old note ends at tick 96; once the track starts a tick later,
  // the note-off goes before the note-on of its tick, as for notes the program makes.
  auto t = track_test::ParseBody(
      Body({RawOn(0, 60), RawOn(96, 60), RawOff(0, 60), RawOff(96, 60), RawEnd(0)}));
  t->ToNoteMode();
  t->events[0]->delta += 1;
  t->ToEventMode();
  EXPECT_EQ(Events(*t), (std::vector<Ev>{On(1, 0, 60), Off(96, 0, 60), On(0, 0, 60),
                                         Off(96, 0, 60), End(0)}));
}

TEST(NoteModeReadOrder, OnlyEventsOfOneReadAreOrderedByIt) {
  // Chunk B strikes C at 96, chunk A holds a C from 0 to 96. Read as one file, B before A,
  // the file plays B's note-on first; read apart, the two reads tell nothing of their
  // order, and the note-off goes first.
  const Bytes b = track_test::Chunk(Body({RawOn(96, 60), RawOff(96, 60), RawEnd(0)}));
  const Bytes a = track_test::Chunk(Body({RawOn(0, 60), RawOff(96, 60), RawEnd(0)}));
  Bytes file = b;
  file.insert(file.end(), a.begin(), a.end());
  for (bool one_file : {true, false}) {
    SCOPED_TRACE(one_file);
    MidiParseContext parse;
    MidiParseContext* context = one_file ? &parse : nullptr;
    MidiTrack tb(static_cast<int64_t>(file.size()), 0, file.data(), 0, 0x1000, context);
    MidiTrack ta(static_cast<int64_t>(file.size()), static_cast<int64_t>(b.size()), file.data(), 0,
                 0x1000, context);
    tb.ToNoteMode();
    ta.ToNoteMode();
    const MidiTrack* sources[] = {&tb, &ta};
    MidiTrack out(kTrackNotes, 0x1000);
    out.MergeTracks(2, sources);
    out.ToEventMode();
    if (one_file) {
      EXPECT_EQ(Events(out), (std::vector<Ev>{On(0, 0, 60), On(96, 0, 60), Off(0, 0, 60),
                                              Off(96, 0, 60), End(0)}));
    } else {
      EXPECT_EQ(Events(out), (std::vector<Ev>{On(0, 0, 60), Off(96, 0, 60), On(0, 0, 60),
                                              Off(96, 0, 60), End(0)}));
    }
  }
}

TEST(NoteModeReadOrder, RandomReadTracksComeBackEventForEvent) {
  // Random tracks whose every note-on is ended later by a note-off of its key (first come,
  // first served), with controllers between, each tick's events in random order.
  GneSeedRandomWith(23);
  for (int round = 0; round < 300; ++round) {
    std::vector<Raw> raws;
    std::vector<std::vector<int>> open(4);  // start ticks of the open notes of four keys
    uint32_t delta = 0;
    const int ticks = GneRandomRange(1, 30);
    for (int tick = 0; tick <= ticks; ++tick) {
      const bool last = tick == ticks;
      for (int k = GneRandomRange(0, 5); k > 0 || (last && !std::all_of(open.begin(), open.end(),
                                                                      [](auto& o) { return o.empty(); }));
           --k) {
        const int key = GneRandomRange(0, 3);
        const int what = last ? 1 : GneRandomRange(0, 2);
        if (what == 1 && !open[key].empty() && open[key].front() < tick) {
          raws.push_back(RawOff(delta, 60 + key));
          open[key].erase(open[key].begin());
        } else if (what == 0 && !last) {
          raws.push_back(RawOn(delta, 60 + key));
          open[key].push_back(tick);
        } else if (what == 2) {
          raws.push_back(RawCc(delta, GneRandomRange(0, 127)));
        } else {
          continue;
        }
        delta = 0;
      }
      delta += static_cast<uint32_t>(GneRandomRange(1, 3));
    }
    raws.push_back(RawEnd(0));
    auto t = track_test::ParseBody(Body(raws));
    const std::vector<Ev> read = Events(*t);
    t->ToNoteMode();
    t->ToEventMode();
    ASSERT_EQ(Events(*t), read) << "round " << round;
  }
}
