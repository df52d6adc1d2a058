#include "engine/file_conversion.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "engine/compose_info.h"
#include "engine/part_helpers.h"
#include "engine/track_melody.h"
#include "export/ringtone/mobile.h"
#include "music/chord_analysis.h"
#include "music/chord_markers.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_loader.h"
#include "music/ticks.h"
#include "music/tune_structure.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/gne_files.h"
#include "util/program_errors.h"

namespace fs = std::filesystem;

namespace {

constexpr ProgramErrorCode kFileOpenError = 0xFF010101u;
constexpr ProgramErrorCode kFileSizeError = 0xFF010102u;
constexpr ProgramErrorCode kUnsupportedFormat = 0xFF010103u;
constexpr ProgramErrorCode kMidiFormatError = 0xFF01016Cu;
constexpr ProgramErrorCode kNoChannels = 0xFF0101E0u;

constexpr int32_t kSmallestDivision = 4;  // a sixteenth grid of at least one tick
constexpr int32_t kLargestDivision = 32767;
constexpr int32_t kSongCapacity = 0x60000;
constexpr int32_t kLowestMelodyNote = 36;
constexpr int32_t kHighestMelodyNote = 108;
constexpr int kTripletBasicBeat = 3;
constexpr int32_t kPercussionChannel = 9;

int NoCallback() { return 0; }

// The file as MidiLoader reads it, run through `change`, written under `name`
// in the temporary folder (to a temporary name, then renamed).
template <typename Change>
bool SaveChangedCopy(fs::path* path, const char* name, Change change) {
  MidiLoader loader(*path);
  if (loader.song == nullptr || loader.file_size <= 0) return false;
  Midi1Data& song = *loader.song;
  change(song);
  const fs::path folder = plat::TempFolder();
  std::error_code error;
  fs::create_directories(folder, error);
  const fs::path target = folder / name;
  song.ToEventMode();
  song.Pack();
  if (song.SaveFile(target) != 1) return false;
  *path = target;
  return true;
}

bool IsNoteEvent(const MidiEvent& e) {
  return e.status == kStatusNote || e.status == kStatusNoteOn || e.status == kStatusNoteOff;
}

}  // namespace

// ---- Conversion into engine input --------------------------------------------

bool LoadMidiFileForConversion(fs::path* path, std::vector<uint8_t>* bytes) {
  if (path->empty()) {
    fs::path chosen;
    if (GneOpenFileDialog("mid", "midi files|*.mid|", &chosen) != 1) return false;
    *path = chosen;
  }
  std::error_code error;
  const auto size = fs::file_size(*path, error);
  if (error || !fs::is_regular_file(*path, error)) {
    ShowErrorByCode(kFileOpenError);
    return false;
  }
  if (size == 0 || size >= kConversionBufferSize) {
    ShowErrorByCode(kFileSizeError);
    return false;
  }
  if (!plat::ReadWholeFile(*path, *bytes)) {
    ShowErrorByCode(kFileOpenError);
    return false;
  }
  if (bytes->empty() || bytes->size() >= kConversionBufferSize) {
    ShowErrorByCode(kFileSizeError);
    return false;
  }
  return true;
}

std::unique_ptr<Midi0Data> ParseMidiForConversion(std::vector<uint8_t>* bytes, int* major,
                                                  int* found) {
  const int32_t size = static_cast<int32_t>(bytes->size());
  std::unique_ptr<Midi0Data> song;
  const int format = GetSmfFormat(bytes->data(), size);
  // The header's division, checked before the song is built from it (a
  // refused header would leave a song of the default division).
  if ((format == 0 || format == 1) &&
      CheckMidiDivision(((*bytes)[12] << 8) | (*bytes)[13]) == 0)
    return nullptr;
  switch (format) {
    case 0:
      song = std::make_unique<Midi0Data>(bytes->data(), size);
      break;
    case 1: {
      Midi1Data format1(bytes->data(), size, 0, kSongCapacity);
      song = std::make_unique<Midi0Data>(kSongNotes, format1.division, kSongCapacity);
      if (format1.state == kSongNotes) format1.MergeToFormat0(*song);
      break;
    }
    default:
      ShowErrorByCode(kMidiFormatError);
      return nullptr;
  }
  int is_major = 1;
  int has_key = 0;
  int32_t tempo = 0;
  if (song->track != nullptr) ReadTempoAndKey(*song->track, &is_major, &has_key, &tempo);
  if (major != nullptr) *major = is_major;
  if (found != nullptr) *found = has_key;
  return song;
}

int CheckMidiDivision(int32_t division) {
  if (division < kSmallestDivision || division > kLargestDivision) {
    ShowErrorByCode(kUnsupportedFormat);
    return 0;
  }
  return 1;
}

int CheckMidiDivision(const Midi0Data& song) {
  if (song.track == nullptr) {
    ShowErrorByCode(kUnsupportedFormat);
    return 0;
  }
  return CheckMidiDivision(song.division);
}

void KeepNotesOnly(int32_t track, Midi1Data& song) {
  Midi1Track* t = song.Track(track);
  if (t == nullptr) return;
  for (int32_t i = 0; i < t->event_count; ++i) {
    MidiEvent& e = *t->events[i];
    const bool end = e.status == kStatusMeta && e.number == 0x2F;
    if (!IsNoteEvent(e) && !end) e.MarkDeleted();
  }
  t->Compact();
}

void DropOutOfRangeNotes(int32_t track, Midi1Data& song) {
  Midi1Track* t = song.Track(track);
  if (t == nullptr) return;
  for (int32_t i = 0; i < t->event_count; ++i) {
    MidiEvent& e = *t->events[i];
    if (IsNoteEvent(e) && (e.note < kLowestMelodyNote || e.note > kHighestMelodyNote))
      e.MarkDeleted();
  }
  t->Compact();
}

void QuantizeToTriplets(int32_t track, Midi1Data& song) {
  Midi1Track* t = song.Track(track);
  if (t == nullptr) return;
  t->Quantize(4, song.division, 0, 0);
  t->ToNoteMode();
  t->ConvertToTriplets(song.division);
  t->ToEventMode();
}

void MergeTracksOfKind5(Midi1Data& song, const TuneStructure& structure) {
  auto kind_of = [&](const Midi1Track& t) {
    const int channel = t.GetChannel();
    return (channel >= 0 && channel < kTuneChannelRoom) ? structure.part_type[channel]
                                                         : static_cast<int32_t>(kPartUndecided);
  };
  int32_t first = -1;
  for (int32_t i = 0; i < song.track_count; ++i) {
    Midi1Track* t = song.tracks[i];
    if (t == nullptr || kind_of(*t) != kPartSecondMelody) continue;
    if (first < 0) {
      first = i;
      continue;
    }
    Midi1Track& into = *song.tracks[first];
    const int channel =
        into.GetChannel() != kNoChannel ? into.GetChannel() : t->GetChannel();
    into.Merge(*t);
    if (channel >= 0 && channel <= 15) into.SetChannel(channel);
    // An empty track takes the merged one's place.
    auto* empty = new Midi1Track(t->mode, 0, t->capacity);
    delete t;
    song.tracks[i] = empty;
  }
}

void ConvertSongForEngine(const Midi0Data& song, const BarWindow& window,
                          std::vector<char>* chord_names, int32_t slot_count) {
  const int32_t division = song.division;
  Midi1Data split(song, kSongCapacity);
  split.MergeTracksByChannel();

  // The chord slots of the window (two per bar) move to the front.
  const bool whole = window.bar_count <= 0;
  const int64_t first_slot = whole ? 0 : std::max<int64_t>(0, int64_t{window.first_bar} * 2);
  int64_t count = whole ? slot_count : int64_t{window.bar_count} * 2;
  count = std::max<int64_t>(0, std::min<int64_t>(count, slot_count - first_slot));
  if (first_slot > 0 && count > 0) {
    std::memmove(chord_names->data(),
                 chord_names->data() + first_slot * kChordNameBytes,
                 static_cast<size_t>(count * kChordNameBytes));
  }

  EventList& melody = VocalMelodyList();
  melody.FreeEvents();
  Midi1Track* track = split.Track(0);
  if (track != nullptr && track->GetNoteCount() > 0) {
    KeepNotesOnly(0, split);
    track->KeepTopNotes(kNoChannel, 0);
    track->ToEventMode();
    if (CurrentStyle().basic_beat == kTripletBasicBeat) {
      QuantizeToTriplets(0, split);
    } else {
      track->Quantize(4, division, 0, 0);
    }
    track->ToNoteMode();
    track->KeepTopNotes(kNoChannel, 0);
    DropOutOfRangeNotes(0, split);
    const int64_t bar = int64_t{4} * division;
    if (!whole) {
      split.TrimTrackStart(0, static_cast<int32_t>(std::min<int64_t>(
                                  window.first_bar * bar, INT32_MAX)));
      split.TruncateTrack(0, static_cast<int32_t>(std::min<int64_t>(
                                 window.bar_count * bar, INT32_MAX)));
    }
    ConvertTrackToEventList(split, 0, division);
    MelodyInputCopy().CopyFrom(melody);
  }

  ComposeInformation& info = ComposeInfo();
  info.ClearChordInput();
  ChordNameList chords(static_cast<int32_t>(count), 2 * division, chord_names->data(),
                       kChordNameBytes);
  chords.WriteChordCodes(ticks::kQuarter, division, info.chord_input,
                         static_cast<int32_t>(kChordInputSize));
}

int ConvertMidiFileToEngineInput(fs::path path, BarWindow window) {
  std::vector<uint8_t> bytes;
  if (!LoadMidiFileForConversion(&path, &bytes)) return 0;
  int major = 1;
  int found = 0;
  std::unique_ptr<Midi0Data> song = ParseMidiForConversion(&bytes, &major, &found);
  if (song == nullptr || CheckMidiDivision(*song) == 0) return 0;
  if (song->state != kSongNotes) song->ToNoteMode();
  TuneStructure structure;
  structure.Analyse(*song, song->division);
  std::vector<char> names(static_cast<size_t>(kChordCountSlots) * kChordNameBytes, 0);
  uint8_t key[2] = {};
  char tone_weights[kToneWeightTextBytes + 1] = {};
  int32_t slot_length = 0;
  const int32_t slots = AnalyseChords(*song, names.data(), kChordCountSlots, key, found, major,
                                      tone_weights, song->division, structure, NoCallback,
                                      NoCallback, &slot_length);
  ConvertSongForEngine(*song, window, &names, slots);
  return 1;
}

// ---- Inspection copies ---------------------------------------------------------

bool SaveSixteenChannelCopy(fs::path* path) {
  return SaveChangedCopy(path, kSixteenChannelCopyName, [](Midi1Data& song) {
    int second_port = 0;
    if (song.CountChannels(&second_port) > 16) song.FitTo16Channels();
  });
}

bool SaveBendFreeCopy(fs::path* path) {
  return SaveChangedCopy(path, kBendFreeCopyName, [](Midi1Data& song) { song.BendsToNotes(); });
}

// ---- Mobile channel limits -------------------------------------------------------

// The devices' channel limits are the pattern code table's values, read by device type.
int MobileChannelLimit(int device_type) { return PatternStepValue(device_type); }

void LimitMobileChannels(MobileData& song, int device_type) {
  const int n = MobileChannelLimit(device_type);
  if (n == 0) {
    ShowErrorByCode(kNoChannels);
    return;
  }
  if (n >= song.voice_count) return;
  int kept = 0;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    MobileChannel* channel = song.Voice(i);
    if (channel == nullptr || channel->active != 1) continue;
    if (kept < n) {
      ++kept;
    } else {
      channel->active = 0;
    }
  }
}

void LimitMobilePolyphony(MobileData& song, int device_type) {
  const int n = MobileChannelLimit(device_type);
  if (n == 0) {
    ShowErrorByCode(kNoChannels);
    return;
  }
  if (song.GetMaxPolyphony() <= n) return;
  int sum = 0;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    MobileChannel* channel = song.Voice(i);
    if (channel == nullptr || channel->active != 1) continue;
    const int voices = channel->index == kPercussionChannel ? channel->CountDistinctNotes()
                                                            : channel->GetMaxPolyphony();
    if (sum + voices <= n) {
      sum += voices;
    } else {
      channel->active = 0;
    }
  }
}

// ---- Run settings and file filters -------------------------------------------------

bool RunSettingsDefaults(RunSettings* settings) {
  RunSettings& s = *settings;
  s.melody_from_input = 1;
  s.conductor_options = 1;
  s.part_header_options = 1;
  s.lead_in = 1;
  s.program_folder = plat::ProgramFolder() / "";
  s.program_folder_copy = s.program_folder;
  s.temp_folder = plat::TempFolder();
  s.user_name = "OVX User";
  s.numbers[0] = 2;
  s.numbers[1] = 24;
  s.numbers[2] = 18000;
  return false;
}

bool LookupFileFilter(int format_id, std::string* text) {
  struct Row {
    int id;
    const char* filter;
  };
  static const Row kFileFilterTable[] = {
      {0, "midi files|*.mid|"},
      {1, "midi files|*.mid|"},
      {2, "midi files|*.mid|"},
      {22, "wave files|*.wav|"},
      {21, "aiff files|*.aiff|"},
      {26, "NTT DoCoMo 着メロファイル|*.mld|"},
      {27, "Softbank 着メロファイル|*.mmf|"},
      {5, "au 16和音 files (pmd)|*.pmd|"},
      {28, "au 着メロファイル|*.mmf|"},
      {20, "MFM files|*.mfm|"},
      {10, "DOCOMO 16和音 Melody Mail files|*.txt|"},
      {12, "DOCOMO 4和音 Melody Mail files|*.txt|"},
      {8, "MA1 files|*.ma1|"},
      {25, "DOCOMO 着うたfiles|*.mld|"},
  };
  for (const Row& row : kFileFilterTable) {
    if (row.id == format_id) {
      *text = row.filter;
      return true;
    }
  }
  return false;
}
