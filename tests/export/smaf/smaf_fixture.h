// Fixture songs and helpers of the SMAF tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "export/ringtone/smaf.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"

namespace smaf_test {

inline bool HasBox(const std::string& tag, uint32_t code) {
  char head[16];
  std::snprintf(head, sizeof head, "%s%08X", tag.c_str(), code);
  for (const auto& t : cantrel_test::Sink().Texts())
    if (t.rfind(head, 0) == 0) return true;
  return false;
}

inline int CountBoxes(const std::string& tag, uint32_t code) {
  char head[16];
  std::snprintf(head, sizeof head, "%s%08X", tag.c_str(), code);
  int n = 0;
  for (const auto& t : cantrel_test::Sink().Texts()) n += t.rfind(head, 0) == 0;
  return n;
}

struct GridNote {
  int voice, tick, pitch, duration;
};

// A song at one tempo on an eighth-note grid (division 96): `voices` voices with indexes
// 0.., every fourth one (3, 7, 11, 15) a drum voice whose program is its drum note (35-81),
// the others melodic with programs and volumes and notes spread over 0-127. Each voice is
// monophonic. The notes it holds come back in `notes` (drums with their drum note).
inline std::unique_ptr<MobileData> GridSong(int voices, int tempo, std::vector<GridNote>* notes,
                                            int notes_per_voice = 10) {
  auto song = std::make_unique<MobileData>();
  song->division = 96;
  song->tempo = tempo;
  song->title = "grid";
  int melodic_pitch = 0;
  for (int v = 0; v < voices; ++v) {
    const bool drum = v % 4 == 3;
    auto ch = std::make_unique<MobileChannel>(v, drum ? 1 : 2);
    ch->AddControl(0, kKindTempo, tempo);
    ch->AddControl(0, kKindVoiceType, drum ? 1 : 0);
    const int program = drum ? 35 + (v * 13) % 47 : (v * 11) % 128;
    ch->AddControl(0, kKindProgram, program);
    ch->AddControl(0, kKindVolume, 100 - v);
    int tick = 0, pending = 48 * (v % 3);
    for (int n = 0; n < notes_per_voice; ++n) {
      const int eighths = 1 + (n + v) % 3;
      const int duration = 48 * eighths;
      int pitch;
      if (drum) {
        pitch = program;
      } else {
        pitch = (melodic_pitch * 37) % 128;
        ++melodic_pitch;
      }
      tick += pending;
      ch->AddNote(pending, pitch, duration, 100);
      if (notes) notes->push_back({v, tick, pitch, duration});
      pending = duration + 48 * (n % 2);
    }
    ch->AddControl(pending, kKindEndOfTrack, 0);
    song->AppendVoice(std::move(ch));
  }
  return song;
}

inline std::vector<GridNote> NotesOfSong(const MobileData& song) {
  std::vector<GridNote> out;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    const MobileChannel& v = *song.voices[i];
    int64_t t = 0;
    for (const auto& e : v.events) {
      t += e->delta;
      if (e->IsNote()) out.push_back({v.index, static_cast<int>(t), e->note, e->duration});
    }
  }
  return out;
}

struct Chunk {
  std::string id;
  size_t offset, size;  // offset of the data
};

// The chunks found in the bytes [from, to) one after another; fails the test when a size does
// not end exactly at `to`.
inline std::vector<Chunk> Walk(const std::vector<uint8_t>& b, size_t from, size_t to) {
  std::vector<Chunk> out;
  size_t at = from;
  while (at + 8 <= to) {
    ByteReader in(b.data() + at, to - at);
    char id[5] = {};
    in.Bytes(id, 4);
    const uint32_t size = in.U32Be();
    std::string name(id, 4);
    if (name.compare(0, 3, "MTR") == 0 || name.compare(0, 3, "Dch") == 0 ||
        name.compare(0, 3, "Pro") == 0) {
      char digits[8];
      std::snprintf(digits, sizeof digits, "%d", static_cast<uint8_t>(id[3]));
      name = name.substr(0, 3) + digits;
    }
    out.push_back({name, at + 8, size});
    at += 8 + size;
  }
  EXPECT_EQ(at, to) << "chunk sizes do not add up";
  return out;
}

}  // namespace smaf_test
