// Text dumps of tracks (one line per event) for inspection, the songs' dump file
// "DumpData.txt" in the user data folder, and a track saved alone as a Standard MIDI
// File. Files are written whole under a temporary name and renamed into place.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi1_track.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"

namespace {

constexpr uint32_t kDumpFileError = 0x03000005;
constexpr char kDumpTitle[] = "Midi Track Data\r";
constexpr char kDumpFileName[] = "DumpData.txt";

enum class DumpKind { kDelta, kDivision, kAbsolute };

// A number in lower-case hexadecimal (as an unsigned 32-bit value), one digit with a
// leading "0".
std::string Hex(int64_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x", static_cast<unsigned>(static_cast<uint32_t>(v)));
  return text;
}

std::string AbsoluteLine(const MidiEvent& e, int64_t tick) {
  char time[24];
  std::snprintf(time, sizeof time, "%02" PRId64, tick);
  return std::string("DeltaTime :") + time + ",MsgType :" + Hex(e.status) + ",Note :" +
         Hex(e.note) + ",Velocity :" + Hex(e.velocity) + ",Duration :" + Hex(e.duration) +
         ",Command :" + Hex(e.number) + "\r\n";
}

std::string DumpText(const MidiTrack& track, DumpKind kind, int32_t division) {
  std::string text = kDumpTitle;
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    tick += e.delta;
    switch (kind) {
      case DumpKind::kDelta:
        text += MusicEventDumpLine(e) + "\r\n";
        break;
      case DumpKind::kDivision:
        text += MusicEventDumpLineWithDivision(e, division) + "\r\n";
        break;
      case DumpKind::kAbsolute:
        text += AbsoluteLine(e, tick);
        break;
    }
  }
  return text;
}

void WriteText(std::FILE* file, const std::string& text) {
  if (file != nullptr) std::fwrite(text.data(), 1, text.size(), file);
}

// Writes the whole text or, when the file cannot be made, reports and writes nothing.
bool WriteWhole(const std::filesystem::path& path, const std::string& text,
                void (*report)(uint32_t), uint32_t code) {
  if (plat::WriteFileAtomic(path, text)) return true;
  report(code);
  return false;
}

std::filesystem::path DumpFilePath() { return plat::UserDataFolder() / kDumpFileName; }

}  // namespace

void MidiTrack::WriteDump(std::FILE* file) const {
  WriteText(file, DumpText(*this, DumpKind::kDelta, 0));
}

void MidiTrack::WriteDumpWithDivision(std::FILE* file, int32_t division) const {
  WriteText(file, DumpText(*this, DumpKind::kDivision, division));
}

void MidiTrack::WriteDumpAbsolute(std::FILE* file) const {
  WriteText(file, DumpText(*this, DumpKind::kAbsolute, 0));
}

int MidiTrack::DumpToFile(const std::filesystem::path& path) const {
  return WriteWhole(path, DumpText(*this, DumpKind::kDelta, 0), ErrorMsg, kDumpFileError) ? 1 : 0;
}

int MidiTrack::DumpToFileWithDivision(const std::filesystem::path& path, int32_t division) const {
  return WriteWhole(path, DumpText(*this, DumpKind::kDivision, division), ErrorMsg, kDumpFileError)
             ? 1
             : 0;
}

int MidiTrack::DumpToFileAbsolute(const std::filesystem::path& path) const {
  return WriteWhole(path, DumpText(*this, DumpKind::kAbsolute, 0), ErrorMsg, kDumpFileError) ? 1
                                                                                             : 0;
}

int MidiTrack::SaveAsSmf(const std::filesystem::path& path) const {
  if (mode != kTrackNotes && mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  // The song saves an event-mode copy: the track itself stays as it is.
  auto* copy = new Midi1Track(kTrackEmpty, 0x60000);
  if (mode == kTrackNotes) {
    copy->CopyNoteModeEvents(*this);
    copy->ToEventMode();
  } else {
    copy->CopyEventModeEvents(*this);
  }
  Midi1Data song(960, 0x60000);
  song.state = kSongEvents;
  song.AddTrack(copy);
  return song.SaveFile(path);
}

int Midi0Data::DumpToFile() const {
  if (track == nullptr) {
    ErrorMsg(kM0dtInternal);
    return 0;
  }
  return WriteWhole(DumpFilePath(), DumpText(*track, DumpKind::kDelta, 0), ErrorMsg,
                    kM0dtFileOpen)
             ? 1
             : 0;
}

int Midi1Data::DumpToFile() const {
  std::string text;
  for (int32_t t = 0; t < track_count; ++t) text += DumpText(*tracks[t], DumpKind::kDelta, 0);
  return WriteWhole(DumpFilePath(), text, ErrorMsg, kM1dtFileOpen) ? 1 : 0;
}
