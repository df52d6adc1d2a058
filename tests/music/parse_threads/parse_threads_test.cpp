// Songs loaded on two threads at once: each parse keeps its running status and
// report flags to itself. Built in the ThreadSanitizer build as well, where any
// state the parses share without a guard is reported.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_track.h"
#include "util/byte_cursor.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutChunk(Bytes& file, const char* id, const Bytes& body) {
  const size_t at = file.size();
  file.resize(at + 8 + body.size());
  ByteWriter out(file.data() + at, 8 + body.size());
  out.Bytes(id, 4);
  out.U32Be(static_cast<uint32_t>(body.size()));
  out.Bytes(body.data(), body.size());
}

Bytes Header(int format, int tracks, int division) {
  Bytes file(kSmfHeaderSize);
  ByteWriter out(file.data(), file.size());
  out.Bytes("MThd", 4);
  out.U32Be(6);
  out.U16Be(static_cast<uint32_t>(format));
  out.U16Be(static_cast<uint32_t>(tracks));
  out.U16Be(static_cast<uint32_t>(division));
  return file;
}

// A track of `notes` notes on the channel written with running status: one status
// byte, then data bytes only, a meta event in the middle (running status goes on
// across it).
Bytes RunningStatusTrack(int channel, int notes) {
  Bytes body = {0x00, static_cast<uint8_t>(0x90 | channel), 60, 100};
  for (int i = 1; i < notes; ++i) {
    body.insert(body.end(), {0x10, static_cast<uint8_t>(60 + (i - 1) % 12), 0});  // the last one off
    if (i == notes / 2) body.insert(body.end(), {0x00, 0xFF, 0x01, 0x01, 'x'});
    body.insert(body.end(), {0x00, static_cast<uint8_t>(60 + i % 12), 100});
  }
  body.insert(body.end(),
              {0x10, static_cast<uint8_t>(60 + (notes - 1) % 12), 0, 0x00, 0xFF, 0x2F, 0x00});
  return body;
}

struct Load {
  int32_t tracks = 0;
  std::vector<int32_t> notes_of_channel;
};

// Loads the bytes as a format-1 song in event mode and counts the note-ons of each channel.
Load LoadFormat1(const Bytes& file) {
  Midi1Data song(file.data(), static_cast<int32_t>(file.size()), 0, kDefaultMusicCapacity);
  song.ToEventMode();
  Load out;
  out.tracks = song.track_count;
  out.notes_of_channel.assign(16, 0);
  for (int32_t t = 0; t < song.track_count; ++t) {
    const MidiTrack& track = *song.tracks[t];
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      if (e.status == kStatusNoteOn) ++out.notes_of_channel[static_cast<size_t>(e.channel)];
    }
  }
  return out;
}

TEST(ParseThreads, TwoThreadsLoadSongsWithRunningStatusAtOnce) {
  // Two files whose tracks rely on running status on different channels: a
  // running status shared between the parses would put notes on the wrong one.
  Bytes a = Header(1, 3, 96), b = Header(1, 2, 480);
  for (int c : {0, 1, 2}) PutChunk(a, "MTrk", RunningStatusTrack(c, 200 + 50 * c));
  for (int c : {9, 5}) PutChunk(b, "MTrk", RunningStatusTrack(c, 300));
  const Load want_a = LoadFormat1(a), want_b = LoadFormat1(b);
  ASSERT_EQ(want_a.tracks, 3);
  ASSERT_EQ(want_a.notes_of_channel[2], 300);
  ASSERT_EQ(want_b.notes_of_channel[9], 300);

  std::atomic<int> wrong{0};
  std::atomic<bool> go{false};
  auto run = [&](const Bytes& file, const Load& want) {
    while (!go.load()) std::this_thread::yield();
    for (int round = 0; round < 40; ++round) {
      const Load got = LoadFormat1(file);
      if (got.tracks != want.tracks || got.notes_of_channel != want.notes_of_channel) ++wrong;
    }
  };
  std::thread first(run, std::cref(a), std::cref(want_a));
  std::thread second(run, std::cref(b), std::cref(want_b));
  go.store(true);
  first.join();
  second.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(ParseThreads, EachParseStartsWithoutRunningStatus) {
  // A chunk that begins with a data byte has no status to run on, whatever an
  // earlier load left: the byte is stepped over, not read as a note.
  Bytes first = Header(0, 1, 96);
  PutChunk(first, "MTrk", RunningStatusTrack(3, 4));
  Midi0Data earlier(first.data(), static_cast<int32_t>(first.size()));
  Bytes second = Header(0, 1, 96);
  PutChunk(second, "MTrk", {0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00});
  const Bytes bytes = second;
  MidiTrack track(static_cast<int64_t>(bytes.size()), kSmfHeaderSize, bytes.data(), 0,
                  kDefaultMusicCapacity);
  EXPECT_EQ(track.CountEvents(kStatusNoteOn), 0);
}

TEST(ParseThreads, RunningStatusGoesOnAcrossTheChunksOfOneParse) {
  MidiParseContext parse;
  Bytes file = Header(1, 2, 96);
  PutChunk(file, "MTrk", RunningStatusTrack(4, 3));
  const size_t second_at = file.size();
  PutChunk(file, "MTrk", {0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00});
  MidiTrack one(static_cast<int64_t>(file.size()), kSmfHeaderSize, file.data(), 0,
                kDefaultMusicCapacity, &parse);
  MidiTrack two(static_cast<int64_t>(file.size()), static_cast<int64_t>(second_at), file.data(),
                0, kDefaultMusicCapacity, &parse);
  ASSERT_EQ(two.CountEvents(kStatusNoteOn), 1);
  EXPECT_EQ(two.events[0]->channel, 4);
}

}  // namespace
