#include "tests/accomp/patterns/pattern_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "style/style_table.h"

namespace pattern_test {

using parts_test::NoteRow;

void PatternTest::SetUp() {
  EngineTest::SetUp();
  StyleRecord& s = CurrentStyle();
  s.basic_beat = 0;
  s.metre = 0;
  s.triple_metre_kind = 0;
  s.instrument[2] = 33;
  s.instrument[kChannel] = 24;
  s.octave[kChannel] = 0;
  ComposeInfo().FreeChordBlocks();
  BuildChordToneTable();
}

void PatternTest::SetBlocks(const std::vector<BlockSpec>& blocks) {
  ComposeInfo().FreeChordBlocks();
  for (const BlockSpec& b : blocks) {
    ChordEntry entry;
    entry.length = static_cast<uint16_t>(b.length);
    std::copy(b.code, b.code + 4, entry.code);
    ComposeInfo().AddChordBlock(entry, nullptr);
  }
}

void PatternTest::SetRepeated(const char* code, int length, int n) {
  SetBlocks(std::vector<BlockSpec>(static_cast<size_t>(n), BlockSpec{code, length}));
}

ChordBlock& PatternTest::Block(int i) { return *ComposeInfo().chord_block(i); }

void PatternTest::SetTones(int i, int root, int third, int fifth, int seventh, int bass) {
  ChordBlock& b = Block(i);
  b.root = static_cast<uint8_t>(root);
  b.third = static_cast<uint8_t>(third);
  b.fifth = static_cast<uint8_t>(fifth);
  b.seventh = static_cast<uint8_t>(seventh);
  b.bass = static_cast<uint8_t>(bass);
}

void PatternTest::SetGrid(bool triplet) { CurrentStyle().basic_beat = triplet ? 3 : 0; }

void PatternTest::SetMetre(int metre, bool six_eight) {
  CurrentStyle().metre = metre;
  CurrentStyle().triple_metre_kind = static_cast<int16_t>(six_eight ? 2 : (metre == 1 ? 1 : 0));
}

void PatternTest::SetBassPart(bool present) { CurrentStyle().instrument[2] = present ? 33 : 256; }

void PatternTest::SetSections(const std::vector<const char*>& tags) {
  EventList& timeline = ComposeInfo().chord_timeline;
  timeline.FreeEvents();
  for (int i = 0; i < static_cast<int>(tags.size()); ++i)
    timeline.AppendSectionTag(Block(i).length, tags[i]);
}

void PatternTest::SetLeadingRest(int ticks) {
  for (EventList* list : {&VocalMelodyList(), &InstrumentalMelodyList()}) {
    list->FreeEvents();
    if (ticks > 0) list->AppendNote(ticks, 0);
    list->AppendNote(96, 67);
  }
}

int64_t PatternTest::BlockStart(int i) {
  int64_t t = 0;
  for (int k = 0; k < i; ++k) t += Block(k).length;
  return t;
}

std::vector<NoteRow> Rows(const MidiTrack& track) { return parts_test::Notes(track); }

std::vector<NoteRow> Sounding(const MidiTrack& track) {
  std::vector<NoteRow> out;
  for (const NoteRow& r : Rows(track))
    if (std::get<2>(r) > 0 && std::get<3>(r) > 0) out.push_back(r);
  return out;
}

std::vector<NoteRow> SoundingIn(const MidiTrack& track, int64_t from, int64_t to) {
  std::vector<NoteRow> out;
  for (const NoteRow& r : Sounding(track))
    if (std::get<0>(r) >= from && std::get<0>(r) < to) out.push_back(r);
  return out;
}

NoteRow OnlyNoteIn(const std::vector<NoteRow>& rows, int64_t from, int64_t to) {
  std::vector<NoteRow> notes;
  for (const NoteRow& r : rows) {
    const int64_t at = std::get<0>(r);
    if (std::get<2>(r) > 0 && std::get<3>(r) > 0 && at >= from && at < to) notes.push_back(r);
  }
  if (notes.size() == 1) return notes[0];
  ADD_FAILURE() << notes.size() << " notes start in " << from << ".." << to << ", not one";
  return NoteRow{};
}

std::vector<int64_t> Onsets(const std::vector<NoteRow>& rows) {
  std::set<int64_t> s;
  for (const NoteRow& r : rows) s.insert(std::get<0>(r));
  return {s.begin(), s.end()};
}

std::vector<int> PitchesAt(const std::vector<NoteRow>& rows, int64_t tick) {
  std::vector<int> out;
  for (const NoteRow& r : rows)
    if (std::get<0>(r) == tick) out.push_back(std::get<2>(r));
  std::sort(out.begin(), out.end());
  return out;
}

Watchdog::Watchdog(std::string what) : what_(std::move(what)), thread_([this] { Watch(); }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  woken_.notify_one();
  thread_.join();
}

void Watchdog::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!woken_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
    std::fprintf(stderr, "generator still running after 60 s: %s\n", what_.c_str());
    std::abort();
  }
}

}  // namespace pattern_test
