#include "tests/engine/parts/parts_fixture.h"

#include <cstring>
#include <fstream>

#include "engine/compose_info.h"
#include "tests/support/test_support.h"

namespace parts_test {

void SetChords(const std::vector<std::pair<int, const char*>>& chords) {
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  info.chord_timeline.FreeEvents();
  for (const auto& [length, code] : chords) {
    ChordEntry entry;
    entry.length = static_cast<uint16_t>(length);
    std::memcpy(entry.code, code, 4);
    info.AddChordBlock(entry, "00");
    info.chord_timeline.AppendSectionTag(length, "AXXX");
  }
}

void SetChordLengths(const std::vector<int>& lengths) {
  std::vector<std::pair<int, const char*>> chords;
  for (int length : lengths) chords.emplace_back(length, "CMPo");
  SetChords(chords);
}

std::vector<NoteRow> Notes(const MidiTrack& track) {
  std::vector<NoteRow> out;
  int64_t t = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    t += e->delta;
    if (e->status == kStatusNote)
      out.emplace_back(t, e->channel, e->note, e->velocity, e->duration);
  }
  return out;
}

std::vector<EventRow> Events(const MidiTrack& track) {
  std::vector<EventRow> out;
  int64_t t = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    t += e->delta;
    int number = static_cast<int>(e->number);
    if (e->status == kStatusNote || e->status == kStatusPitchBend) number = e->note;
    out.emplace_back(t, e->status, number, e->status == kStatusNote ? e->velocity : e->value);
  }
  return out;
}

std::vector<std::tuple<int64_t, int, int>> Controllers(const MidiTrack& track) {
  std::vector<std::tuple<int64_t, int, int>> out;
  int64_t t = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    t += e->delta;
    if (e->status == kStatusController) out.emplace_back(t, static_cast<int>(e->number), e->value);
  }
  return out;
}

std::vector<std::pair<int64_t, int>> Bends(const MidiTrack& track) {
  std::vector<std::pair<int64_t, int>> out;
  int64_t t = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    t += e->delta;
    if (e->status == kStatusPitchBend) out.emplace_back(t, e->value * 128 + e->note);
  }
  return out;
}

std::filesystem::path WriteJoined(const std::vector<const MidiTrack*>& tracks,
                                  const std::string& name) {
  const std::vector<uint8_t> bytes = JoinPartTracks(tracks);
  const std::filesystem::path path = cantrel_test::TempDir() / name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string RunMido(const std::string& script, const std::filesystem::path& file) {
  const std::string python = cantrel_test::PythonWithMido();
  const std::string wrapped =
      "import sys, mido\ntry:\n" + [&] {
        std::string body;
        size_t start = 0;
        while (start < script.size()) {
          size_t end = script.find('\n', start);
          if (end == std::string::npos) end = script.size();
          body += "    " + script.substr(start, end - start) + "\n";
          start = end + 1;
        }
        return body;
      }() + "except Exception as e:\n    print('ERROR:', e)\n";
  std::string out;
  cantrel_test::RunTool({python, "-c", wrapped, file.string()}, &out);
  return out;
}

std::string RunMidicsv(const std::filesystem::path& file, int* status) {
  std::string out;
  *status = cantrel_test::RunTool({"midicsv", file.string()}, &out);
  return *status == 0 ? out : std::string();
}

}  // namespace parts_test
