// Pinned digests of the track's conversions over many seeded inputs: reading chunk
// bytes into events, writing events into chunk bytes, and notes into note-on/note-off
// events. The numbers were taken from the code before it was split into named steps;
// a change of any output (or of the boxes shown) changes them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "music/midi_track.h"
#include "tests/support/test_support.h"
#include "track_test_util.h"
#include "util/gne.h"

using track_test::Bytes;

namespace {

// FNV-1a, 64 bits.
struct Fnv {
  uint64_t h = 0xcbf29ce484222325ull;
  void Byte(uint8_t b) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  void Int(int64_t v) {
    for (int i = 0; i < 8; ++i) Byte(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
  }
};

int R(int a, int b) { return GneRandomRange(a, b); }

void HashEvents(const MidiTrack& t, Fnv& f) {
  f.Int(t.mode);
  f.Int(t.event_count);
  for (int32_t i = 0; i < t.event_count; ++i) {
    const MidiEvent& e = *t.events[i];
    f.Int(e.status);
    f.Int(e.delta);
    f.Int(e.channel);
    f.Int(e.note);
    f.Int(e.duration);
    f.Int(e.velocity);
    f.Int(e.number);
    f.Int(e.value);
    f.Int(e.data_length);
    const uint8_t* p = e.GetDataPointer();
    const int32_t n = p == nullptr ? 0 : std::min(e.data_length, e.DataBlockSize());
    for (int32_t k = 0; k < n; ++k) f.Byte(p[k]);
  }
}

void VarLen(Bytes& b, uint32_t v) {
  uint8_t tmp[5];
  int n = 0;
  tmp[n++] = v & 0x7F;
  while ((v >>= 7) != 0) tmp[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
  while (n > 0) b.push_back(tmp[--n]);
}

// A chunk body of random events: every status kind, running status, stray data
// bytes, messages without their F7, meta lengths running past the chunk, a cut end.
Bytes RandomBody() {
  Bytes b;
  const int n = R(0, 60);
  for (int i = 0; i < n; ++i) {
    VarLen(b, static_cast<uint32_t>(R(0, 3) == 0 ? R(0, 20000) : R(0, 200)));
    const int kind = R(0, 13);
    const uint8_t ch = static_cast<uint8_t>(R(0, 15));
    auto data = [&] { b.push_back(static_cast<uint8_t>(R(0, 9) == 0 ? R(128, 255) : R(0, 127))); };
    switch (kind) {
      case 0: case 1: b.push_back(0x90 | ch); data(); data(); break;
      case 2: b.push_back(0x80 | ch); data(); data(); break;
      case 3: data(); data(); break;  // running status
      case 4: b.push_back(0xA0 | ch); data(); data(); break;
      case 5: b.push_back(0xB0 | ch); data(); data(); break;
      case 6: b.push_back(0xC0 | ch); data(); break;
      case 7: b.push_back(0xD0 | ch); data(); break;
      case 8: b.push_back(0xE0 | ch); data(); data(); break;
      case 9: {
        b.push_back(0xF0);
        const int len = R(0, 12);
        VarLen(b, static_cast<uint32_t>(len));
        for (int k = 0; k < len; ++k) b.push_back(static_cast<uint8_t>(R(0, 127)));
        if (R(0, 4) != 0) b.push_back(0xF7);
        break;
      }
      case 10: {
        b.push_back(0xF7);
        const int len = R(0, 6);
        VarLen(b, static_cast<uint32_t>(len + R(0, 1)));
        for (int k = 0; k < len; ++k) b.push_back(static_cast<uint8_t>(R(0, 127)));
        break;
      }
      case 11: case 12: {
        static const uint8_t kTypes[] = {0x00, 0x01, 0x03, 0x06, 0x09, 0x20, 0x21, 0x2F,
                                         0x51, 0x54, 0x58, 0x59, 0x7F, 0x10};
        b.push_back(0xFF);
        b.push_back(kTypes[R(0, 13)]);
        const int len = R(0, 7);
        VarLen(b, static_cast<uint32_t>(len + (R(0, 6) == 0 ? R(1, 9) : 0)));
        for (int k = 0; k < len; ++k) b.push_back(static_cast<uint8_t>(R(0, 255)));
        break;
      }
      default: b.push_back(static_cast<uint8_t>(R(0, 255))); break;
    }
  }
  if (!b.empty() && R(0, 3) == 0) b.resize(b.size() - static_cast<size_t>(R(0, 3)) % b.size());
  return b;
}

// A note-mode track made by code: notes (some without length or loudness, some
// negative), controllers, programs, texts, End of Track anywhere; deltas mostly 0
// or small, and negative ones in a tenth of the tracks.
std::unique_ptr<MidiTrack> RandomNoteTrack() {
  auto t = std::make_unique<MidiTrack>(kTrackNotes, kDefaultMusicCapacity);
  const bool negative = R(0, 9) == 0;
  const int n = R(0, 80);
  for (int i = 0; i < n; ++i) {
    int32_t delta = R(0, 2) == 0 ? 0 : R(1, 60);
    if (negative && R(0, 5) == 0) delta = -R(1, 40);
    MidiEvent* e = new MidiEvent(delta);
    const int kind = R(0, 9);
    if (kind <= 5) {
      int32_t duration = R(0, 8) == 0 ? 0 : R(1, 200);
      if (R(0, 30) == 0) duration = -R(1, 20);
      e->SetNote(R(0, 3), R(58, 66), R(0, 12) == 0 ? 0 : R(1, 127), duration);
    } else if (kind == 6) {
      e->SetControlChange(R(0, 3), R(0, 127), R(0, 127));
    } else if (kind == 7) {
      e->SetProgramChange(R(0, 3), R(0, 127));
    } else if (kind == 8) {
      e->status = kStatusMeta;
      e->number = 0x2F;
    } else {
      e->status = kStatusMeta;
      e->number = 0x06;
      const char text[] = "mark";
      e->SetData(text, 4);
    }
    t->AddEvent(e);
  }
  if (R(0, 1) == 0) t->AddEndOfTrack();
  return t;
}

}  // namespace

TEST(PinnedDigest, ReadingChunks) {
  cantrel_test::QuietBoxes quiet;
  Fnv f;
  int64_t events = 0;
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    GneSeedRandomWith(seed);
    const Bytes body = RandomBody();
    auto t = track_test::ParseBody(body);
    HashEvents(*t, f);
    events += t->event_count;
  }
  EXPECT_GT(events, 10000);
  EXPECT_EQ(f.h, 9044487774082390844ull);
}

TEST(PinnedDigest, ReadingChunksShowsTheSameBoxes) {
  Fnv f;
  size_t boxes = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    const Bytes body = RandomBody();
    cantrel_test::Sink().Clear();
    ResetMidiTrackModule();
    auto t = track_test::ParseBody(body);
    boxes += cantrel_test::Sink().Count();
    for (const std::string& text : cantrel_test::Sink().Texts()) {
      for (char c : text) f.Byte(static_cast<uint8_t>(c));
      f.Byte(0);
    }
  }
  EXPECT_GT(boxes, 100u);
  EXPECT_EQ(f.h, 17090927269479386163ull);
}

TEST(PinnedDigest, WritingChunks) {
  cantrel_test::QuietBoxes quiet;
  Fnv f;
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    GneSeedRandomWith(seed);
    const Bytes body = RandomBody();
    auto t = track_test::ParseBody(body);
    if (t->mode != kTrackEvents) continue;
    // Events the reader never makes: channels and notes out of range, long texts,
    // messages cut short, a metre without data.
    for (int k = R(0, 4); k > 0; --k) {
      MidiEvent* e = new MidiEvent(R(0, 30));
      switch (R(0, 5)) {
        case 0: e->status = kStatusNoteOn; e->channel = R(0, 40); e->note = R(-5, 140);
                e->velocity = R(0, 300); break;
        case 1: e->status = kStatusController; e->channel = R(0, 40); e->number = R(0, 300);
                e->value = R(0, 300); break;
        case 2: { e->status = kStatusSysEx; const uint8_t m[] = {0xF0, 0x03, 0x41, 0xC5, 0x10};
                  e->SetData(m, R(1, 5)); break; }
        case 3: e->status = kStatusMeta; e->number = 0x58; break;
        case 4: { e->status = kStatusMeta; e->number = 0x01; std::vector<uint8_t> text(R(0, 300), 'a');
                  if (!text.empty()) e->SetDataQuietly(text.data(), static_cast<int32_t>(text.size()));
                  e->data_length = static_cast<int32_t>(text.size()); break; }
        default: e->status = static_cast<uint32_t>(R(0, 255)); e->channel = R(0, 15); break;
      }
      f.Int(MidiTrack::EventByteSize(*e));
      t->InsertEvent(t->event_count > 0 ? R(0, t->event_count - 1) : 0, 2, e);
    }
    if (!t->LastIsEndOfTrack()) t->AddEndOfTrack();
    t->ToChunk("MTrk");
    f.Int(t->mode);
    for (uint8_t b : track_test::ChunkBytes(*t)) f.Byte(b);
  }
  EXPECT_EQ(f.h, 18000586206929172383ull);
}

TEST(PinnedDigest, NotesToEvents) {
  cantrel_test::QuietBoxes quiet;
  Fnv f;
  for (uint32_t seed = 1; seed <= 800; ++seed) {
    GneSeedRandomWith(seed);
    auto t = RandomNoteTrack();
    f.Int(t->ToEventMode());
    HashEvents(*t, f);
    t->ToNoteMode();
    HashEvents(*t, f);
    t->ToEventMode();
    HashEvents(*t, f);
  }
  EXPECT_EQ(f.h, 7397886853695400794ull);
}
