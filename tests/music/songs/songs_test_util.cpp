#include "tests/music/songs/songs_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/support/test_support.h"

namespace songs_test {

MidiEvent* Note(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity,
                int32_t duration) {
  auto* e = new MidiEvent(delta);
  e->SetNote(channel, pitch, velocity, duration);
  return e;
}

MidiEvent* NoteOn(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusNoteOn;
  e->channel = channel;
  e->note = pitch;
  e->velocity = velocity;
  return e;
}

MidiEvent* NoteOff(int32_t delta, int32_t channel, int32_t pitch) {
  auto* e = new MidiEvent(delta);
  e->SetNoteOff(channel, pitch);
  e->velocity = 64;
  return e;
}

MidiEvent* Controller(int32_t delta, int32_t channel, int32_t number, int32_t value) {
  auto* e = new MidiEvent(delta);
  e->SetControlChange(channel, number, value);
  return e;
}

MidiEvent* Bend(int32_t delta, int32_t channel, int32_t bend) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusPitchBend;
  e->channel = channel;
  e->SetPitchBend(bend);
  return e;
}

MidiEvent* Meta(int32_t delta, uint32_t type, const std::string& data) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusMeta;
  e->number = type;
  if (!data.empty()) e->SetData(data.data(), static_cast<int32_t>(data.size()));
  return e;
}

MidiEvent* TimeSignature(int32_t delta, int32_t numerator, int32_t power) {
  const char bytes[4] = {static_cast<char>(numerator), static_cast<char>(power), 0x18, 0x08};
  MidiEvent* e = Meta(delta, 0x58, std::string(bytes, 4));
  e->value = numerator * 256 + (1 << power);
  return e;
}

MidiEvent* SysEx(int32_t delta, const Bytes& message, uint32_t kind, int32_t channel) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusSysEx;
  e->number = kind;
  e->channel = channel;
  e->SetData(message.data(), static_cast<int32_t>(message.size()));
  return e;
}

MidiEvent* EndOfTrack(int32_t delta) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusMeta;
  e->number = 0x2F;
  return e;
}

MidiTrack* MakeTrack(int32_t mode, const std::vector<MidiEvent*>& events, int32_t capacity) {
  auto* track = new MidiTrack(mode, capacity);
  for (MidiEvent* e : events) track->AddEvent(e);
  return track;
}

std::vector<int64_t> Ticks(const MidiTrack& track) {
  std::vector<int64_t> ticks;
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    at += track.events[i]->delta;
    ticks.push_back(at);
  }
  return ticks;
}

std::vector<int64_t> TicksOf(const MidiTrack& track, uint32_t status) {
  std::vector<int64_t> ticks;
  int64_t at = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    at += track.events[i]->delta;
    if (track.events[i]->status == status) ticks.push_back(at);
  }
  return ticks;
}

Bytes Header(int format, int tracks, int division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format),
          static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
          static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
}

Bytes Chunk(const Bytes& body) {
  Bytes out = {'M', 'T', 'r', 'k'};
  const size_t n = body.size();
  out.push_back(static_cast<uint8_t>(n >> 24));
  out.push_back(static_cast<uint8_t>(n >> 16));
  out.push_back(static_cast<uint8_t>(n >> 8));
  out.push_back(static_cast<uint8_t>(n));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes LongDelayFile() {
  // 0x1555556 as a variable-length number: 8A D5 AA 56.
  return Join({Header(0, 1, 1), Chunk({0x8A, 0xD5, 0xAA, 0x56, 0x90, 0x3C, 0x40, 0x01, 0x80, 0x3C,
                                       0x40, 0x00, 0xFF, 0x2F, 0x00})});
}

bool HaveMido() { return !cantrel_test::PythonWithMido().empty(); }

namespace {

const char kCanonicalScript[] = R"PY(
import sys, mido
m = mido.MidiFile(sys.argv[1])
out = []
for t in m.tracks:
    tick = 0
    on = {}
    for msg in t:
        tick += msg.time
        if msg.type == 'note_on' and msg.velocity > 0:
            on.setdefault((msg.channel, msg.note), []).append((tick, msg.velocity))
        elif msg.type in ('note_on', 'note_off'):
            k = (msg.channel, msg.note)
            if on.get(k):
                s, v = on[k].pop(0)
                if tick > s:
                    out.append('N %d %d %d %d %d' % (s, tick, k[0], k[1], v))
        elif msg.type == 'end_of_track':
            pass
        elif msg.type == 'sysex':
            out.append('X %d %s' % (tick, msg.hex()))
        elif msg.is_meta:
            d = msg.dict()
            d.pop('time', None)
            d.pop('type', None)
            out.append('M %d %s %s' % (tick, msg.type, sorted(d.items())))
        else:
            out.append('C %d %s' % (tick, msg.hex()))
print('H %d %d %d' % (m.type, len(m.tracks), m.ticks_per_beat))
for line in sorted(out):
    print(line)
)PY";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace

std::vector<std::string> MidoCanonical(const std::filesystem::path& path, std::string* error) {
  const std::string python = cantrel_test::PythonWithMido();
  std::string out;
  const int rc = cantrel_test::RunTool({python, "-c", kCanonicalScript, path.string()}, &out);
  if (rc != 0) {
    if (error) *error = "mido refused " + path.string();
    ADD_FAILURE() << "mido refused " << path;
    return {};
  }
  std::vector<std::string> lines = Lines(out);
  if (!lines.empty() && lines.front().rfind("H ", 0) == 0) lines.erase(lines.begin());
  return lines;
}

std::string MidoHeader(const std::filesystem::path& path) {
  const std::string python = cantrel_test::PythonWithMido();
  std::string out;
  cantrel_test::RunTool({python, "-c", kCanonicalScript, path.string()}, &out);
  std::vector<std::string> lines = Lines(out);
  return lines.empty() ? std::string() : lines.front().substr(2);
}

int MidicsvStatus(const std::filesystem::path& path, std::string* csv) {
  std::string out;
  const int rc = cantrel_test::RunTool({"midicsv", path.string()}, &out);
  if (csv) *csv = out;
  return rc;
}

std::vector<std::string> Missing(const std::vector<std::string>& a,
                                 const std::vector<std::string>& b) {
  std::map<std::string, int> count;
  for (const auto& s : b) ++count[s];
  std::vector<std::string> missing;
  for (const auto& s : a) {
    auto it = count.find(s);
    if (it == count.end() || it->second == 0) {
      missing.push_back(s);
    } else {
      --it->second;
    }
  }
  return missing;
}

}  // namespace songs_test
