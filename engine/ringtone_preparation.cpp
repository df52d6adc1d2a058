#include "engine/ringtone_preparation.h"

#include <algorithm>

#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "export/ringtone/mfi.h"
#include "export/ringtone/mobile.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

constexpr ProgramErrorCode kFileOpenError = 0xFF010101u;
constexpr ProgramErrorCode kFileSizeError = 0xFF010102u;
constexpr ProgramErrorCode kMidiFormatError = 0xFF01016Cu;
constexpr int32_t kMergeStartDivision = 480;
constexpr int32_t kPolyphonyLimitedType = 9;
constexpr int32_t kRingtoneVoices = 16;
constexpr int32_t kSixteenVoiceMFi = 254;
constexpr int32_t kMobileRoom = 0x60000;
// The tempo a song without one plays at (120 beats per minute).
constexpr int32_t kDefaultTempo = 500000;

// An MFi file states its ticks per quarter only in its tempo events; without one it is read at
// 48. The song read from MFi is at 96 ticks per quarter, so one that has no tempo gets the
// default one at its start, and the file written from it is read back at 96.
void StateTimebase(MobileData& song) {
  MobileChannel* first = nullptr;
  for (int32_t i = 0; i < song.voice_count; ++i) {
    MobileChannel* voice = song.Voice(i);
    if (voice == nullptr) continue;
    if (voice->CountKind(kMobileControl, kKindTempo) > 0) return;
    if (first == nullptr && voice->active == 1) first = voice;
  }
  if (first != nullptr) first->InsertTempoAtStart(kDefaultTempo);
}

}  // namespace

int RingtoneDivision(unsigned phone_kind) {
  switch (phone_kind) {
    case 2: case 13: case 21: case 22: case 23: case 24: return 48;
    default: return 96;
  }
}

int RingtoneLengthPercent(int output_type, int percent) {
  if (output_type == 6 || output_type == 7) return 95;
  if (output_type == 32) return 100;
  return percent;
}

void PrepareSongForRingtone(std::unique_ptr<Midi1Data>* song, int output_type, int percent,
                            unsigned phone_kind) {
  if (song == nullptr || *song == nullptr || (*song)->state != kSongNotes ||
      (*song)->division <= 0) {
    ShowErrorByCode(kMidiFormatError);
    return;
  }
  const Midi1Data& original = **song;
  // The work happens on a copy: the caller's song stays as it was until the
  // prepared one is complete.
  Midi1Data work(original, original.capacity);
  work.ShortenRepeatedNotes();
  work.KeepFirstTrackName();

  // The merged track gets the room of all the tracks it takes.
  int64_t room = 0;
  for (int32_t i = 0; i < work.track_count; ++i) room += work.tracks[i]->capacity;
  room = std::clamp<int64_t>(room, TrackCapacity, INT32_MAX / 2);
  Midi0Data merged(kSongNotes, kMergeStartDivision, static_cast<int32_t>(room));
  if (merged.track == nullptr) {
    ShowErrorByCode(kMidiFormatError);
    return;
  }
  merged.division = work.division;
  for (int32_t i = work.track_count - 1; i >= 0; --i) merged.track->MergeTrack(*work.tracks[i]);

  merged.ApplySustainPedal();
  merged.RemoveEarlyTempos();
  merged.ChangeDivision(RingtoneDivision(phone_kind), 0);
  if (merged.CutBeforeStartMarker() == 0) merged.CutLeadIn();
  merged.CutAfterStopMarker();
  merged.InsertTempoAtFirstNote(kRingtoneTempo);

  auto prepared = std::make_unique<Midi1Data>(merged, original.capacity);
  if (prepared->state != kSongNotes || prepared->track_count == 0) {
    ShowErrorByCode(kMidiFormatError);
    return;
  }
  prepared->ScaleNoteLengths(RingtoneLengthPercent(output_type, percent));
  prepared->CheckDrumTracks();
  if (output_type == kPolyphonyLimitedType) prepared->LimitPolyphony(kRingtoneVoices);
  *song = std::move(prepared);
}

void ReencodeMFiRingtone(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0) {
    ShowErrorByCode(kFileSizeError);
    return;
  }
  const RingtoneOutputPaths& paths = RingtoneOutput();
  const std::filesystem::path& target = ComposeMode() == 3 ? paths.rendering : paths.other;
  if (target.empty()) {
    ShowErrorByCode(kFileOpenError);
    return;
  }
  MobileData mobile(kMobileRoom);
  {
    MFiData parsed(data, size);
    // The header module has said why bytes are no MFi file.
    if (parsed.header == nullptr || parsed.device_type == kMfiUnknownId ||
        parsed.track_count == 0)
      return;
    parsed.ToMobileData(mobile);
  }
  StateTimebase(mobile);
  MFiData encoded(mobile, kSixteenVoiceMFi, kMobileRoom);
  encoded.BuildFile();
  // Written to a temporary name and renamed; a failure is reported.
  encoded.Save(target);
}
