// Song-wide passes of the format-1 song: one track operation applied to every
// track, the drum tracks, the conductor track or the first playing track.
#include "music/midi1_data.h"

namespace {

// A track of meta events only (more than End of Track alone).
bool IsConductorTrack(const Midi1Track& track) { return track.IsMetaOnly() == 1; }

bool InState(const Midi1Data& song, int32_t wanted) {
  if (song.state == wanted) return true;
  Midi1Data::ErrorMsg(kM1dtInternal);
  return false;
}

}  // namespace

int Midi1Data::ClampNoteValues() {
  int repaired = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->CheckNotes()) repaired = 1;
  }
  return repaired;
}

int Midi1Data::DeleteMetaEvents(int32_t type, int all) {
  if (!InState(*this, kSongNotes)) return 0;
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->DeleteMeta(type, all)) return 1;
  }
  return 0;
}

void Midi1Data::MoveGmSystemOnFirst() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsConductorTrack(*tracks[i])) continue;
    tracks[i]->MoveGmSystemOnFirst();
    return;
  }
}

void Midi1Data::TransposeBetween(int32_t start, int32_t end, int32_t semitones) {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->TransposeRange(start, end, semitones);
}

void Midi1Data::TransposeKeySignatures(int32_t start, int32_t end, int32_t semitones) {
  for (int32_t i = 0; i < track_count; ++i) {
    tracks[i]->TransposeKeySignatures(start, end, semitones);
  }
}
