// SMAF for MA-3 and later devices: layout by generation and contents code, the sequence code,
// thinning, and round trips of a 16-channel song.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "smaf_fixture.h"

using smaf_test::CountBoxes;
using smaf_test::HasBox;
using smaf_test::Walk;

namespace {

// A song of 16 voices indexed by MIDI channel (9 the drums) at one tempo: notes on a grid of
// 12 ticks with varying velocities, and per channel a program, volume, pan, expression,
// modulation and a pitch bend at staggered times.
std::unique_ptr<MobileData> ChannelSong(int tempo) {
  auto song = std::make_unique<MobileData>();
  song->division = 96;
  song->tempo = tempo;
  song->title = "channels";
  for (int c = 0; c < 16; ++c) {
    auto v = std::make_unique<MobileChannel>(c, c == 9 ? 1 : 2);
    v->AddControl(0, kKindTempo, tempo);
    int pending = 24 * c;
    if (c != 9) {
      v->AddControl(pending, kKindProgram, (c * 7) % 128);
      pending = 0;
    }
    v->AddControl(pending, kKindVolume, 100 - c);
    v->AddControl(12, kKindPan, 10 + c * 7);
    v->AddControl(12, kKindExpression, 120 - c);
    v->AddControl(12, kKindModulation, c * 3);
    pending = 12;
    for (int n = 0; n < 8; ++n) {
      if (n == 4) {
        v->AddControl(pending, kKindPitchBend, 40 + c);
        v->events.back()->note = c * 5;
        pending = 0;
      }
      const int note = c == 9 ? 35 + (n * 7) % 47 : 24 + (c * 5 + n * 11) % 90;
      const int velocity = n % 3 == 0 ? 100 : 30 + c + n;
      v->AddNote(pending, note, 36 + 12 * (n % 3), velocity);
      pending = 36 + 12 * (n % 3) + 12 * ((n + c) % 4);
    }
    v->AddControl(pending, kKindEndOfTrack, 0);
    song->AppendVoice(std::move(v));
  }
  return song;
}

struct Item {
  int kind, note, value;  // kind 0: a note (note, velocity)
  bool operator==(const Item& o) const {
    return std::tie(kind, note, value) == std::tie(o.kind, o.note, o.value);
  }
};

std::ostream& operator<<(std::ostream& os, const Item& i) {
  return os << "{" << i.kind << " " << i.note << " " << i.value << "}";
}

// Per channel, in order, the notes with velocities and the controls that the code carries. The
// reader calls the controllers 11 and 1 kinds 42 and 57.
std::map<int, std::vector<Item>> ChannelItems(const MobileData& song) {
  std::map<int, std::vector<Item>> out;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    const MobileChannel& v = *song.voices[i];
    for (const auto& e : v.events) {
      if (e->IsNote()) out[v.index].push_back({0, e->note, e->velocity});
      if (e->status != kMobileControl) continue;
      switch (e->number) {
        case kKindProgram: case kKindVolume: case kKindPan: case kKindExpression:
          out[v.index].push_back({static_cast<int>(e->number), 0, e->value});
          break;
        case kKindModulation: out[v.index].push_back({57, 0, e->value}); break;
        case kKindPitchBend: out[v.index].push_back({39, e->note, e->value}); break;
        default: break;
      }
    }
  }
  return out;
}

std::map<int, std::vector<Item>> TrackItems(const MobileTrack& t) {
  std::map<int, std::vector<Item>> out;
  for (const auto& e : t.events) {
    if (e->IsNote()) out[e->voice].push_back({0, e->note, e->velocity});
    if (e->status != kMobileControl || e->voice == kAllVoices) continue;
    switch (e->number) {
      case kKindProgram: case kKindVolume: case kKindPan: case kKindExpression: case 57:
        out[e->voice].push_back({static_cast<int>(e->number), 0, e->value});
        break;
      case kKindPitchBend: out[e->voice].push_back({39, e->note, e->value}); break;
      default: break;
    }
  }
  return out;
}

// Note onsets in milliseconds per channel.
std::map<int, std::vector<double>> NoteTimes(const MobileData& song, int tempo) {
  std::map<int, std::vector<double>> out;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    int64_t t = 0;
    for (const auto& e : song.voices[i]->events) {
      t += e->delta;
      if (e->IsNote())
        out[song.voices[i]->index].push_back(static_cast<double>(t) * tempo / song.division / 1000.0);
    }
  }
  return out;
}

std::vector<uint8_t> WriteMa3(const MobileData& song, int code, int generation) {
  SmafMa3Data data(song, code, generation);
  EXPECT_TRUE(data.Pack(code));
  return data.Bytes();
}

bool Contains(const std::vector<uint8_t>& hay, const std::vector<uint8_t>& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

std::unique_ptr<MobileTrack> Track(std::initializer_list<std::tuple<int, int, int, int>> notes) {
  auto track = std::make_unique<MobileTrack>(kMobileCapacity);  // (delta, channel, note, velocity)
  MobileTrack& t = *track;
  for (const auto& [delta, channel, note, velocity] : notes) t.AddNote(delta, channel, note, 10, velocity);
  t.AddControl(0, kAllVoices, kKindEndOfTrack, 0);
  return track;
}

}  // namespace

TEST(SmafMa3, LayoutByGenerationAndCode) {
  struct Case {
    int code, generation;
    uint8_t track_number, type, code_type;
    std::vector<uint8_t> setup;
    bool seek_phrase, length_chunk;
  };
  const std::vector<uint8_t> setup3 = {0xF0, 0x06, 0x43, 0x79, 0x06, 0x7F, 0x7F, 0xF7};
  const std::vector<uint8_t> setup5 = {0xF0, 0x06, 0x03, 0x09, 0x06, 0x0F, 0x0F, 0xF7, 0xF0,
                                       0x07, 0x03, 0x09, 0x06, 0x0F, 0x07, 0x00, 0xF7};
  const Case cases[] = {{32, 3, 5, 0x32, 1, setup3, true, false},
                        {32, 5, 6, 0x34, 1, setup5, true, true},
                        {33, 3, 5, 0x32, 0, setup3, false, false},
                        {33, 5, 6, 0x34, 0, {}, false, true},
                        {32, 4, 5, 0x32, 1, setup5, true, false}};
  auto song = ChannelSong(500000);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " generation " << c.generation);
    const auto f = WriteMa3(*song, c.code, c.generation);
    ASSERT_GT(f.size(), 40u);
    EXPECT_EQ(SmafCrc(static_cast<int32_t>(f.size() - 2), f.data()),
              static_cast<uint16_t>(f[f.size() - 2] << 8 | f.back()));
    ByteReader in(f.data() + 4, 4);
    EXPECT_EQ(in.U32Be(), f.size() - 8);
    EXPECT_EQ(f[17], c.type);
    EXPECT_EQ(f[18], c.code_type);
    const auto top = Walk(f, 8, f.size() - 2);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0].id, "CNTI");
    EXPECT_EQ(top[0].size, 5u);
    EXPECT_EQ(top[1].id, "OPDA");
    EXPECT_EQ(top[2].id, "MTR" + std::to_string(c.track_number));
    const auto opda = Walk(f, top[1].offset, top[1].offset + top[1].size);
    std::vector<std::string> opda_ids;
    for (const auto& o : opda) opda_ids.push_back(o.id);
    std::vector<std::string> want_opda = c.code == 33 ? std::vector<std::string>{"Dch0"}
                                                      : std::vector<std::string>{"Dch128", "Dch255"};
    if (c.length_chunk) want_opda.push_back("Pro5");
    EXPECT_EQ(opda_ids, want_opda);
    // The tag entries of each data chunk fill it exactly: tag, 2-byte length, value.
    for (const auto& o : opda) {
      if (o.id.compare(0, 3, "Dch") != 0) continue;
      size_t at = o.offset;
      int entries = 0;
      while (at + 4 <= o.offset + o.size) {
        ByteReader entry(f.data() + at + 2, 2);
        at += 4 + entry.U16Be();
        ++entries;
      }
      EXPECT_EQ(at, o.offset + o.size) << o.id;
      EXPECT_EQ(entries, o.id == "Dch0" ? 7 : 1) << o.id;
    }
    const auto subs = Walk(f, top[2].offset + 20, top[2].offset + top[2].size);
    std::vector<std::string> ids;
    for (const auto& s : subs) ids.push_back(s.id);
    std::vector<std::string> want = {"Mtsu"};
    if (c.seek_phrase) want.push_back("MspI");
    want.push_back("Mtsq");
    EXPECT_EQ(ids, want);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + static_cast<long>(subs[0].offset),
                                   f.begin() + static_cast<long>(subs[0].offset + subs[0].size)),
              c.setup);
    EXPECT_EQ(f[top[2].offset], 2);  // format type
    EXPECT_EQ(f[top[2].offset + 2], 3);
    // The exclusive of the generation first in the sequence.
    const auto& q = subs.back();
    const std::vector<uint8_t> exclusive = {0x00, 0xF0, 0x07, 0x43, 0x79,
                                            static_cast<uint8_t>(c.generation < 5 ? 6 : 7),
                                            0x7F, 0x00, 0x7F, 0xF7};
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + static_cast<long>(q.offset),
                                   f.begin() + static_cast<long>(q.offset + exclusive.size())),
              exclusive);
    const std::vector<uint8_t> end = {0x00, 0xFF, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + static_cast<long>(q.offset + q.size - 7),
                                   f.begin() + static_cast<long>(q.offset + q.size)),
              end);
    SmafMa3Data back(f.data(), static_cast<int32_t>(f.size()));
    ASSERT_TRUE(back.ma3 && back.ma3->optional);
    std::string title;
    EXPECT_EQ(back.ma3->optional->FindTag("ST", &title), 8);
    EXPECT_EQ(title, "channels");
    if (c.length_chunk) {
      // The playing length in units, as the last four bytes of "Pro" + 5.
      const auto& pro = opda.back();
      ByteReader len(f.data() + pro.offset + 8, 4);
      EXPECT_EQ(len.U32Be(), back.ma3->track->sequence->track->GetLength());
    }
    if (c.seek_phrase) {
      ASSERT_TRUE(back.ma3->track->seek_phrase);
      EXPECT_EQ(back.ma3->track->seek_phrase->stop, static_cast<int32_t>(q.size - 4));
    }
  }
}

TEST(SmafMa3, RoundTripKeepsEveryChannel) {
  for (int tempo : {500000, 750000}) {
    for (int code : {32, 33}) {
      for (int generation : {3, 5}) {
        SCOPED_TRACE(testing::Message() << tempo << " " << code << " " << generation);
        auto song = ChannelSong(tempo);
        cantrel_test::Sink().Clear();
        const auto f = WriteMa3(*song, code, generation);
        EXPECT_FALSE(HasBox("S3SC", kSmcdAverageRate)) << "thinned";
        EXPECT_FALSE(HasBox("S3SC", kSmcdPeakRate)) << "thinned";
        SmafLoader loader(f.data(), static_cast<int32_t>(f.size()));
        ASSERT_TRUE(loader.ma3);
        // The parsed sequence keeps velocities, programs, controllers and bends per channel.
        const auto want = ChannelItems(*song);
        const auto got = TrackItems(*loader.ma3->ma3->track->sequence->track);
        EXPECT_EQ(got, want);
        // Converted to a song: each channel's notes at their times within 10 ms.
        std::unique_ptr<SmafFileChunk> chunk;
        int32_t read_code = 0;
        loader.ma3->ToSmafChunk(chunk, &read_code);
        EXPECT_EQ(read_code, 32);
        ASSERT_EQ(chunk->track_count(), 4);
        EXPECT_TRUE(chunk->tracks[2]->sequence->track->IsDrumVoice(1));
        MobileData back;
        loader.ma3->ToMobileData(*chunk, back);
        EXPECT_EQ(back.division, 96);
        EXPECT_EQ(back.tempo, 500000);
        const auto want_times = NoteTimes(*song, tempo);
        const auto got_times = NoteTimes(back, 500000);
        ASSERT_EQ(got_times.size(), want_times.size());
        for (const auto& [channel, times] : want_times) {
          SCOPED_TRACE(channel);
          ASSERT_EQ(got_times.at(channel).size(), times.size());
          for (size_t i = 0; i < times.size(); ++i)
            EXPECT_LE(std::fabs(got_times.at(channel)[i] - times[i]), 10.0) << i;
        }
        for (int32_t i = 0; i < back.voice_count; ++i)
          EXPECT_EQ(back.voices[i]->kind, back.voices[i]->index == 9 ? 1 : 2);
        // And the converted chunk packs as SMAF data.
        SmafData smaf(kSmafFileCapacity);
        smaf.file = std::move(chunk);
        smaf.contents_code = 16;
        EXPECT_TRUE(smaf.Pack());
      }
    }
  }
}

TEST(SmafMa3, NoteVelocities) {
  SmafMa3SequenceData seq(*Track({{0, 2, 60, 100}, {5, 2, 62, 100}, {5, 3, 64, 64}, {5, 2, 65, 30}}));
  int32_t a, b, avg, peak;
  ASSERT_TRUE(seq.Encode(200, &a, &b, &avg, &peak));
  EXPECT_TRUE(Contains(seq.data, {0x00, 0x92, 60, 100, 10}));
  EXPECT_TRUE(Contains(seq.data, {0x05, 0x82, 62, 10}));
  EXPECT_TRUE(Contains(seq.data, {0x05, 0x83, 64, 10}));
  EXPECT_TRUE(Contains(seq.data, {0x05, 0x92, 65, 30, 10}));
  // Read back: an 0x8n note takes the channel's last velocity (64 first).
  SmafMa3SequenceData back(seq.data.data(), seq.data_size());
  std::vector<int> velocities;
  for (const auto& e : back.track->events)
    if (e->IsNote()) velocities.push_back(e->velocity);
  EXPECT_EQ(velocities, (std::vector<int>{100, 100, 64, 30}));
}

TEST(SmafMa3, EncodingEdges) {
  cantrel_test::Sink().Clear();
  MobileTrack t(kMobileCapacity);
  t.AddNote(20000, 0, 200, 9000, 300);  // long delta and gate, data bytes over 127
  t.AddNote(0, 17, 60, 10, 100);        // no such channel
  t.AddControl(0, 1, kKindMarker, 0);   // no message of its own
  t.AddControl(0, 1, kKindVolume, 90);
  t.AddControl(0, kAllVoices, kKindEndOfTrack, 0);
  SmafMa3SequenceData seq(t);
  int32_t a, b, avg, peak;
  ASSERT_TRUE(seq.Encode(200, &a, &b, &avg, &peak));
  EXPECT_TRUE(HasBox("SMCD", kSmcdBadBend));
  EXPECT_TRUE(HasBox("SMCD", kSmcdBadChannel));
  EXPECT_TRUE(HasBox("SMCD", kSmcdBadSystemEvent));
  SmafMa3SequenceData back(seq.data.data(), seq.data_size());
  std::vector<std::tuple<int64_t, int, int, int, int>> notes;
  int64_t tick = 0;
  for (const auto& e : back.track->events) {
    tick += e->delta;
    if (e->IsNote()) notes.push_back({tick, e->voice, e->note, e->duration, e->velocity});
    if (e->IsControl(kKindVolume)) {
      EXPECT_EQ(tick, 20000);
    }
  }
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], std::make_tuple(int64_t{20000}, 0, 127, 8191, 127));
}

TEST(SmafMa3, ReadingEdges) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t kind;
    int value;
    uint32_t code;
  };
  const Case cases[] = {
      {"controller 7", {0x00, 0xB3, 7, 99}, kKindVolume, 99, 0},
      {"controller 10", {0x00, 0xB3, 10, 20}, kKindPan, 20, 0},
      {"controller 0", {0x00, 0xB3, 0, 1}, kKindBankSelect, 1, 0},
      {"controller 64", {0x00, 0xB3, 64, 127}, 58, 127, 0},
      {"unknown controller", {0x00, 0xB3, 90, 5}, 0, 5, kSmcdBadControl},
      {"program", {0x00, 0xC3, 12}, kKindProgram, 12, 0},
      {"no row: skipped", {0x00, 0xA3, 0x00, 0xC3, 12}, kKindProgram, 12, kSmcdBadBend},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    cantrel_test::Sink().Clear();
    SmafMa3SequenceData seq(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    bool found = false;
    for (const auto& e : seq.track->events)
      if (e->status == kMobileControl && e->number == c.kind && e->voice == 3) {
        EXPECT_EQ(e->value, c.value);
        found = true;
      }
    EXPECT_TRUE(found);
    if (c.code) {
      EXPECT_TRUE(HasBox("SMCD", c.code));
    }
  }
  // Cut messages at the end stay inside the data.
  for (const std::vector<uint8_t>& cut :
       {std::vector<uint8_t>{0x80}, std::vector<uint8_t>{0x00, 0x90, 60},
        std::vector<uint8_t>{0x00, 0xF0, 0x43, 0x79}, std::vector<uint8_t>{0x00, 0xFF, 0x2F},
        std::vector<uint8_t>{0x00, 0x90, 60, 100, 0x81}}) {
    SmafMa3SequenceData seq(cut.data(), static_cast<int32_t>(cut.size()));
    EXPECT_LE(seq.read_position, static_cast<int32_t>(cut.size()));
    for (const auto& e : seq.track->events) EXPECT_FALSE(e->IsNote());
  }
}

TEST(SmafMa3, Thinning) {
  // Twelve notes starting together on channel 2, then one more event: n = 10 leaves nine.
  MobileTrack t(kMobileCapacity);
  t.AddNote(5, 2, 60, 10, 100);
  for (int i = 1; i < 12; ++i) t.AddNote(0, 2, 60 + i, 10, 100);
  t.AddNote(10, 2, 40, 10, 100);
  t.AddControl(0, kAllVoices, kKindEndOfTrack, 0);
  SmafMa3SequenceData seq(t);
  seq.Thin(10);
  int notes = 0;
  for (const auto& e : seq.track->events) notes += e->IsNote();
  EXPECT_EQ(notes, 9 + 1);
  // Channels 1, 3, 9, 14 and 15 are never thinned.
  for (int channel : {1, 3, 9, 14, 15}) {
    MobileTrack p(kMobileCapacity);
    p.AddNote(5, channel, 60, 10, 100);
    for (int i = 1; i < 12; ++i) p.AddNote(0, channel, 60 + i, 10, 100);
    p.AddNote(10, channel, 40, 10, 100);
    SmafMa3SequenceData s(p);
    s.Thin(4);
    int n = 0;
    for (const auto& e : s.track->events) n += e->IsNote();
    EXPECT_EQ(n, 13) << channel;
  }
}

TEST(SmafMa3, DenseSongsAreThinnedOnACopyAndWarnOnce) {
  // Chords of 12 notes every 10 ms on channel 2 and protected notes on channel 1.
  auto song = std::make_unique<MobileData>();
  auto v = std::make_unique<MobileChannel>(2, 2);
  auto w = std::make_unique<MobileChannel>(1, 2);
  for (int step = 0; step < 200; ++step) {
    for (int i = 0; i < 12; ++i) v->AddNote(i == 0 && step ? 2 : 0, 40 + i, 2, 90);
    w->AddNote(step ? 2 : 0, 70, 2, 90);
  }
  v->AddEndOfTrack();
  w->AddEndOfTrack();
  song->AppendVoice(std::move(v));
  song->AppendVoice(std::move(w));
  cantrel_test::Sink().Clear();
  SmafMa3Data data(*song, 32, 3);
  ASSERT_TRUE(data.Pack(32));
  const auto first = data.Bytes();
  EXPECT_EQ(CountBoxes("S3SC", kSmcdAverageRate) + CountBoxes("S3SC", kSmcdPeakRate), 1);
  ASSERT_TRUE(data.Pack(32));
  EXPECT_EQ(data.Bytes(), first);
  // The file holds the encoding after six thinnings (n = 10 down to 5): three notes of each
  // chord of channel 2 are left, and every note of channel 1.
  SmafMa3Data back(first.data(), static_cast<int32_t>(first.size()));
  std::map<int, int> per_channel;
  for (const auto& e : back.ma3->track->sequence->track->events)
    if (e->IsNote()) ++per_channel[e->voice];
  EXPECT_EQ(per_channel[1], 200);
  EXPECT_LT(per_channel[2], 200 * 12);
  EXPECT_GE(per_channel[2], 200 * 4);
}

TEST(SmafMa3, StatusChannelsAndMarkers) {
  auto song = ChannelSong(500000);
  const auto f = WriteMa3(*song, 32, 3);
  EXPECT_EQ(SmafMa3Data::HasMtr5Or6(f.data(), static_cast<int32_t>(f.size())), 1);
  const auto g = WriteMa3(*song, 32, 5);
  EXPECT_EQ(SmafMa3Data::HasMtr5Or6(g.data(), static_cast<int32_t>(g.size())), 1);
  const uint8_t none[] = {'M', 'T', 'R', 4, 'M', 'T', 'R'};
  EXPECT_EQ(SmafMa3Data::HasMtr5Or6(none, 7), 0);
  EXPECT_EQ(SmafMa3Data::HasMtr5Or6(nullptr, 10), 0);
  SmafMa3Data back(f.data(), static_cast<int32_t>(f.size()));
  EXPECT_EQ(back.FindStatus10Channel(), -1);
  EXPECT_EQ(back.FindStatus20Channel(), -1);
  auto h = f;
  const auto top = Walk(f, 8, f.size() - 2);
  h[top[2].offset + 4 + 6] = 0x30;
  SmafMa3Data status(h.data(), static_cast<int32_t>(h.size()));
  EXPECT_EQ(status.FindStatus10Channel(), 6);
  EXPECT_EQ(status.FindStatus20Channel(), 6);
}

TEST(SmafMa3, FilesWithoutOptionalDataRead) {
  auto song = ChannelSong(500000);
  const auto f = WriteMa3(*song, 32, 3);
  const auto top = Walk(f, 8, f.size() - 2);
  std::vector<uint8_t> g(f.begin(), f.begin() + static_cast<long>(top[1].offset - 8));
  g.insert(g.end(), f.begin() + static_cast<long>(top[2].offset - 8), f.end() - 2);
  const uint32_t size = static_cast<uint32_t>(g.size() - 8 + 2);
  g[4] = static_cast<uint8_t>(size >> 24), g[5] = static_cast<uint8_t>(size >> 16);
  g[6] = static_cast<uint8_t>(size >> 8), g[7] = static_cast<uint8_t>(size);
  const uint16_t crc = SmafCrc(static_cast<int32_t>(g.size()), g.data());
  g.push_back(static_cast<uint8_t>(crc >> 8));
  g.push_back(static_cast<uint8_t>(crc));
  SmafMa3Data back(g.data(), static_cast<int32_t>(g.size()));
  ASSERT_TRUE(back.ma3->track);
  EXPECT_FALSE(back.ma3->optional);
  EXPECT_EQ(TrackItems(*back.ma3->track->sequence->track), ChannelItems(*song));
}
