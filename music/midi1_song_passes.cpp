// Song-wide passes and queries of the format-1 song: one track operation applied
// to every track, the drum tracks, the conductor track or the first playing track,
// and the answers of the tracks combined.
#include <algorithm>

#include "music/controllers.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"

namespace {

// A track of meta events only (more than End of Track alone).
bool IsConductorTrack(const Midi1Track& track) { return track.IsMetaOnly() == 1; }

bool InState(const Midi1Data& song, int32_t wanted) {
  if (song.state == wanted) return true;
  Midi1Data::ErrorMsg(kM1dtInternal);
  return false;
}

bool InState12(const Midi1Data& song) {
  if (song.state == kSongEvents || song.state == kSongNotes) return true;
  Midi1Data::ErrorMsg(kM1dtInternal);
  return false;
}

// "2 per track": a track in another mode is passed over (quietly: each track checks
// its own mode).
bool TrackInNoteMode(const Midi1Track& track) { return track.mode == kTrackNotes; }

Midi1Track* FirstConductor(const Midi1Data& song) {
  for (int32_t i = 0; i < song.track_count; ++i) {
    if (IsConductorTrack(*song.tracks[i])) return song.tracks[i];
  }
  return nullptr;
}

Midi1Track* FirstPlayingTrack(const Midi1Data& song) {
  for (int32_t i = 0; i < song.track_count; ++i) {
    if (!IsConductorTrack(*song.tracks[i])) return song.tracks[i];
  }
  return nullptr;
}

// The last track of the channel, or null.
Midi1Track* LastTrackOfChannel(const Midi1Data& song, int32_t channel) {
  for (int32_t i = song.track_count - 1; i >= 0; --i) {
    if (song.tracks[i]->GetChannel() == channel) return song.tracks[i];
  }
  return nullptr;
}

}  // namespace

// ---- song-wide passes ----

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
  if (Midi1Track* t = FirstPlayingTrack(*this)) t->MoveGmSystemOnFirst();
}

void Midi1Data::TransposeBetween(int32_t start, int32_t end, int32_t semitones) {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->TransposeRange(start, end, semitones);
}

void Midi1Data::TransposeKeySignatures(int32_t start, int32_t end, int32_t semitones) {
  for (int32_t i = 0; i < track_count; ++i) {
    tracks[i]->TransposeKeySignatures(start, end, semitones);
  }
}

void Midi1Data::SetDivision(int32_t new_division) {
  // Ticks cannot be scaled from or to a division of 0.
  if (division <= 0 || new_division <= 0) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->ConvertDivision(division, new_division);
  division = new_division;
}

void Midi1Data::ScaleNoteLengths(int32_t percent) {
  if (!InState(*this, kSongNotes)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->ScaleDurations(percent);
}

void Midi1Data::ShortenRepeatedNotes() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i)) tracks[i]->ShortenRepeatedNotes();
  }
}

int Midi1Data::LimitDrumNotes(int warn) {
  if (!InState(*this, kSongNotes)) return 0;
  int result = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    if (!IsDrumTrack(i)) continue;
    if (warn == 1 && tracks[i]->GetFirstNonZeroProgramAny() > 0) ErrorMsg(kM1dtDrumProgram);
    if (tracks[i]->LimitDrumNotes(1)) result = 1;
  }
  return result;
}

void Midi1Data::RemapDrumKit(int32_t bank_lsb, const int8_t (*table)[128], int zero_bank) {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    Midi1Track& t = *tracks[i];
    if (!IsDrumTrack(i) || IsConductorTrack(t) || !TrackInNoteMode(t)) continue;
    t.RemapDrumKit(bank_lsb, table, zero_bank);
  }
}

int Midi1Data::FoldNotesIntoRange(int32_t lowest, int32_t highest) {
  int outside = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i) || !TrackInNoteMode(*tracks[i])) continue;
    if (tracks[i]->LimitNoteRange(-1, lowest, highest, 1)) outside = 1;
  }
  return outside;
}

void Midi1Data::BendsToNotes() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i)) continue;
    const int range = tracks[i]->GetBendRange();
    if (range != 0) tracks[i]->BendsToNotes(range);
  }
}

void Midi1Data::KeepFirstTrackName() {
  bool named = false;
  for (int32_t i = 0; i < track_count; ++i) {
    if (named) {
      tracks[i]->DeleteAllTrackNames();
    } else if (tracks[i]->CountMeta(3) > 0) {
      tracks[i]->KeepFirstTrackName();
      named = true;
    }
  }
}

int Midi1Data::DeleteControlChanges(int32_t controller) {
  int any = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->DeleteControlChange(controller)) any = 1;
  }
  return any;
}

void Midi1Data::DeleteDrumPrograms() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i)) tracks[i]->DeleteProgramChanges(tracks[i]->GetChannel());
  }
}

void Midi1Data::DeleteKitNotes(int32_t bank_lsb, int32_t program, int32_t note, int equal) {
  if (!InState12(*this)) return;
  for (int32_t i = 0; i < track_count; ++i) {
    Midi1Track& t = *tracks[i];
    if (!IsDrumTrack(i) || !TrackInNoteMode(t)) continue;
    const int lsb = std::max(t.GetFirstControllerValue(cc::kBankLsb), 0);
    const int first_program = std::max(t.GetFirstNonZeroProgramAny(), 0);
    if (lsb == bank_lsb && first_program == program) t.DeleteNotesByPitch(note, equal == 1 ? 1 : 0);
  }
}

int Midi1Data::DeleteSysExOfKind(uint32_t kind) {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->DeleteSysEx(kind)) return 1;
  }
  return 0;
}

int Midi1Data::DeleteChannelSysEx(int32_t channel, uint32_t kind) {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->DeleteSysExOfChannel(channel, kind)) return 1;
  }
  return 0;
}

int Midi1Data::DeleteFirstSysEx() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->DeleteFirstF0()) return 1;
  }
  return 0;
}

int Midi1Data::DeleteFirstEndSysEx() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->DeleteFirstF7()) return 1;
  }
  return 0;
}

void Midi1Data::DeleteEventsAfter(int32_t tick, uint32_t status_value) {
  for (int32_t i = 0; i < track_count; ++i) {
    if (TrackInNoteMode(*tracks[i])) tracks[i]->DeleteStatusAfter(tick, status_value);
  }
}

void Midi1Data::RemoveDuplicateBankPrograms() {
  if (!InState12(*this)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->RemoveRedundantBankProgram();
}

void Midi1Data::RemoveRedundantControllers(const int32_t* exempt, int32_t count) {
  if (!InState12(*this)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->RemoveUnheardControllers(exempt, count);
}

void Midi1Data::CloseOverlaps(int split) {
  if (!InState(*this, kSongNotes)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->FixOverlappingNotes(split);
}

void Midi1Data::RemoveRedundantBends() {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->RemoveRedundantBends();
}

void Midi1Data::RemoveRepeatedPrograms() {
  if (!InState12(*this)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->RemoveRedundantProgramChanges();
}

void Midi1Data::RemoveRepeatedMixerValues() {
  if (!InState12(*this)) return;
  for (int32_t i = 0; i < track_count; ++i) {
    tracks[i]->RemoveDuplicateMixControllers();
    tracks[i]->Compact();
  }
}

void Midi1Data::RemoveUnusedPans() {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->MergeConsecutivePans();
}

void Midi1Data::BakeVolumes() {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->FoldVolumeIntoVelocity();
}

void Midi1Data::CombineVolumeExpression() {
  if (!InState12(*this)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->MergeExpressionIntoVolume();
}

void Midi1Data::ConvertTexts(int latin, int kana, uint32_t status_value, uint32_t type) {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->ConvertTexts(latin, kana, status_value, type);
}

int32_t Midi1Data::CutTime(int32_t start, int32_t end) {
  if (start < 0) {
    ErrorMsg(kM1dtBadStart);
    return start;
  }
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->CutRange(start, end);
  return start;
}

void Midi1Data::InsertTime(int32_t tick, int32_t ticks) {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->AddDeltaAt(tick, ticks);
}

void Midi1Data::DeleteMarkersBetween(int32_t start, int32_t end) {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsConductorTrack(*tracks[i])) tracks[i]->DeleteMarkersInRange(start, end);
  }
}

void Midi1Data::QuantizeNonDrum(int32_t grid) {
  for (int32_t i = 0; i < track_count; ++i) {
    Midi1Track& t = *tracks[i];
    if (IsDrumTrack(i) || t.GetChannel() == kNoChannel) continue;
    t.QuantizeAll(grid);
    t.QuantizeDurations(grid);
  }
}

void Midi1Data::QuantizeRange(int32_t start, int32_t end, int32_t grid, int skip_drums,
                              int rule) {
  for (int32_t i = 0; i < track_count; ++i) {
    Midi1Track& t = *tracks[i];
    if (t.GetChannel() == kNoChannel || (skip_drums == 1 && IsDrumTrack(i))) continue;
    t.QuantizeRange(start, end, grid);
    t.QuantizeDurationsBetween(start, end, grid, rule);
  }
}

void Midi1Data::QuantizeTrack(int32_t index, int32_t steps_per_quarter, int32_t from,
                              int32_t to) {
  Midi1Track* t = Track(index);
  if (t == nullptr) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  t->Quantize(steps_per_quarter, division, from, to);
}

void Midi1Data::SetMinimumLength(int32_t index, int32_t ticks) {
  Midi1Track* t = Track(index);
  if (t == nullptr) {
    ErrorMsg(kM1dtInternal);
    return;
  }
  if (TrackInNoteMode(*t)) t->SetMinimumDuration(ticks);
}

void Midi1Data::SetMinimumDrumLength() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i)) tracks[i]->SetMinimumDuration60(-1);
  }
}

void Midi1Data::ReduceVoices(int32_t channel, int32_t voices) {
  ReduceDrumVoices(channel, voices, nullptr, 0);
}

void Midi1Data::ReduceDrumVoices(int32_t channel, int32_t voices, const int32_t* notes,
                                 int32_t count) {
  for (int32_t i = 0; i < track_count; ++i) {
    Midi1Track& t = *tracks[i];
    if (t.GetChannel() != channel || IsConductorTrack(t) || !TrackInNoteMode(t)) continue;
    if (IsDrumTrack(i)) {
      if (t.CountAllDistinctPitches() > voices) t.ReducePitchCount(voices, notes, count);
    } else if (t.GetMaxPolyphonyOf() > voices) {
      t.ThinToVoices(voices);
    }
  }
}

void Midi1Data::RetypeMeta(int32_t type, int32_t new_type) {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->RenumberMetaType(type, new_type);
}

void Midi1Data::ReplaceMetaText(int32_t type, const char* old_text, int32_t new_type,
                                const char* new_text) {
  for (int32_t i = 0; i < track_count; ++i) {
    tracks[i]->ReplaceMetaText(type, old_text, new_type, new_text);
  }
}

void Midi1Data::ReplaceSysExData(const uint8_t* message, uint32_t new_type,
                                 const uint8_t* bytes) {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->ReplaceSysEx(message, new_type, bytes);
}

void Midi1Data::EndNotesAt(int32_t tick) {
  for (int32_t i = 0; i < track_count; ++i) {
    if (TrackInNoteMode(*tracks[i])) tracks[i]->CutNotesAt(tick);
  }
}

void Midi1Data::CutAfter(int32_t tick) {
  if (!InState(*this, kSongNotes)) return;
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->TruncateFrom(tick);
}

void Midi1Data::FadeOut(int32_t ticks) {
  const int32_t end = GetLength();
  const int32_t start = std::max(end - ticks, 0);
  for (int32_t i = 0; i < track_count; ++i) {
    if (TrackInNoteMode(*tracks[i])) tracks[i]->FadeVelocities(start, end);
  }
}

void Midi1Data::FadeOutWithController(int32_t ticks, int32_t controller) {
  const int32_t end = GetLength();
  const int32_t start = std::max(end - ticks, 0);
  for (int32_t i = 0; i < track_count; ++i) {
    if (TrackInNoteMode(*tracks[i])) {
      tracks[i]->FadeController(start, end, division / 2, controller);
    }
  }
}

void Midi1Data::FoldFineTuningIntoBends() {
  for (int32_t i = 0; i < track_count; ++i) tracks[i]->FoldFineTuningIntoBends();
}

void Midi1Data::InsertMetaTextInConductor(int32_t type, const char* text) {
  if (Midi1Track* t = FirstConductor(*this)) t->InsertMetaTextAtStart(type, text);
}

void Midi1Data::SetConductorTitle(const char* text) {
  if (Midi1Track* t = FirstConductor(*this)) t->SetMetaTextAll(3, text);
}

void Midi1Data::SetTimeSignature(int32_t numerator, int32_t denominator) {
  Midi1Track* t = FirstConductor(*this);
  if (t == nullptr) return;
  const int32_t before = t->event_count;
  t->AddTimeSignatureFraction(numerator, denominator);
  if (t->event_count != before + 1 || before == 0) return;
  // The new metre governs the song from its start, not from after End of Track.
  MidiEvent* metre = t->events[before];
  t->events[before] = nullptr;
  t->event_count = before;
  metre->delta = 0;
  t->InsertEvent(0, 2, metre);
}

void Midi1Data::AddMetaText(int32_t type, const char* text) {
  if (Midi1Track* t = Track(0)) t->InsertMetaAtStart(type, text);
}

void Midi1Data::InsertMetaTextAt(int32_t tick, int32_t type, const char* text) {
  if (Midi1Track* t = Track(0)) t->InsertMetaAtTime(tick, type, text, 0);
}

void Midi1Data::CheckMasterVolumeOnFirst() {
  if (Midi1Track* t = FirstPlayingTrack(*this)) t->CheckMasterVolumeAfterReset(1);
}

int Midi1Data::ReplaceGsResetWithGmOn() {
  Midi1Track* t = FirstPlayingTrack(*this);
  return t != nullptr ? t->ReplaceGsResetWithGmOn() : 0;
}

int Midi1Data::ReplaceXgOnWithGmOn() {
  Midi1Track* t = FirstPlayingTrack(*this);
  return t != nullptr ? t->ReplaceXgOnWithGmOn() : 0;
}

// ---- queries over the tracks ----

int32_t Midi1Data::CountNotes() const {
  int32_t n = 0;
  for (int32_t i = 0; i < track_count; ++i) n += tracks[i]->GetNoteCount();
  return n;
}

int32_t Midi1Data::CountControlChanges(int32_t controller) const {
  int32_t n = 0;
  for (int32_t i = 0; i < track_count; ++i) n += tracks[i]->CountController(controller);
  return n;
}

int32_t Midi1Data::CountMetaEvents(uint32_t type) const {
  int32_t n = 0;
  for (int32_t i = 0; i < track_count; ++i) n += tracks[i]->CountMeta(type);
  return n;
}

int32_t Midi1Data::CountSysEx(uint32_t kind) const {
  int32_t n = 0;
  for (int32_t i = 0; i < track_count; ++i) n += tracks[i]->CountSysExKind(kind);
  return n;
}

int32_t Midi1Data::CountEventsBetween(int32_t start, int32_t end) const {
  int32_t n = 0;
  for (int32_t i = 0; i < track_count; ++i) n += tracks[i]->CountEventsBetween(start, end);
  return n;
}

int32_t Midi1Data::CountEvents() const { return CountEventsBetween(0, GetLength()); }

int32_t Midi1Data::CountVoices() const {
  int32_t n = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    n += IsDrumTrack(i) ? tracks[i]->CountAllDistinctPitches() : tracks[i]->GetMaxPitchPolyphony();
  }
  return n;
}

int32_t Midi1Data::CountChannelVoices(int32_t channel) const {
  for (int32_t i = track_count - 1; i >= 0; --i) {
    if (tracks[i]->GetChannel() != channel) continue;
    return IsDrumTrack(i) ? tracks[i]->CountAllDistinctPitches() : tracks[i]->GetMaxPolyphonyOf();
  }
  return 0;
}

int32_t Midi1Data::GetMaxPolyphony() const {
  Midi0Data merged(kDefaultMusicCapacity);
  MergeToFormat0(merged);
  return merged.track != nullptr ? merged.track->GetMaxPolyphonyOf() : 0;
}

int Midi1Data::HasOverlappingNotes() {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->HasOverlappingNotes()) return 1;
  }
  return 0;
}

int Midi1Data::HasShortDrumNote() const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i) && tracks[i]->HasShortNote(-1)) return 1;
  }
  return 0;
}

int Midi1Data::HasTrackWithSeveralPrograms() const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->HasSeveralProgramChanges()) return 1;
  }
  return 0;
}

int Midi1Data::HasDrumProgram() const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsDrumTrack(i) && tracks[i]->CountProgramChanges() > 0) return 1;
  }
  return 0;
}

int Midi1Data::HasEventBetween(uint32_t status_value, int32_t start, int32_t end) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->HasStatusBetween(status_value, start, end)) return 1;
  }
  return 0;
}

int Midi1Data::IsOnGrid(int32_t start, int32_t end, int32_t grid, int skip_drums) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (skip_drums == 1 && IsDrumTrack(i)) continue;
    if (!tracks[i]->IsOnGridBetween(start, end, grid)) return 0;
  }
  return 1;
}

int Midi1Data::IsChannelOnGrid(int32_t start, int32_t end, int32_t channel, int32_t grid,
                               int skip_drums) const {
  for (int32_t i = 0; i < track_count; ++i) {
    if (tracks[i]->GetChannel() != channel || (skip_drums == 1 && IsDrumTrack(i))) continue;
    if (!tracks[i]->IsOnGridBetween(start, end, grid)) return 0;
  }
  return 1;
}

int Midi1Data::MasterVolumeFollowsReset(int insert_flag) {
  int all = 1;
  for (int32_t i = 0; i < track_count; ++i) {
    if (!tracks[i]->CheckMasterVolumeAfterReset(insert_flag)) all = 0;
  }
  return all;
}

int Midi1Data::CheckBankOrder(int32_t* index) const {
  if (!InState12(*this)) return 0;
  for (int32_t i = 0; i < track_count; ++i) {
    if (IsConductorTrack(*tracks[i])) continue;
    if (!tracks[i]->CheckBankProgramOrder()) {
      if (index != nullptr) *index = i;
      return 0;
    }
  }
  return 1;
}

int Midi1Data::HasMetaAt(int32_t tick, uint32_t type) const {
  const Midi1Track* t = FirstConductor(*this);
  return t != nullptr ? t->HasMetaAt(tick, type) : 1;
}

int Midi1Data::HasMetaValueAt(int32_t tick, uint32_t type, int32_t value) const {
  const Midi1Track* t = FirstConductor(*this);
  return t != nullptr ? t->HasMetaValueAt(tick, type, value) : 1;
}

int Midi1Data::TemposWithin(int32_t start, int32_t end, int32_t lowest_bpm,
                            int32_t highest_bpm) const {
  const Midi1Track* t = FirstConductor(*this);
  return t != nullptr ? t->TempoWithinBetween(start, end, lowest_bpm, highest_bpm) : 1;
}

int Midi1Data::TempoRangeCheck(int32_t lowest_bpm, int32_t highest_bpm) const {
  const Midi1Track* t = FirstConductor(*this);
  return t != nullptr ? t->TempoWithin(lowest_bpm, highest_bpm) : 1;
}

int32_t Midi1Data::GetChannelAverageNote(int32_t channel) const {
  const Midi1Track* t = LastTrackOfChannel(*this, channel);
  return t != nullptr ? t->AveragePitch() : 64;
}

int32_t Midi1Data::GetLastNoteOffTick() const {
  int64_t last = 0;
  for (int32_t i = 0; i < track_count; ++i) {
    const Midi1Track& t = *tracks[i];
    if (t.mode == kTrackEvents) {
      last = std::max<int64_t>(last, t.GetLastNoteOffTime());
    } else if (t.mode == kTrackNotes) {
      // A note's end is where the event-mode copy has its note-off.
      int64_t tick = 0;
      for (int32_t k = 0; k < t.event_count; ++k) {
        const MidiEvent& e = *t.events[k];
        tick += e.delta;
        if (e.status == kStatusNote) last = std::max<int64_t>(last, tick + e.duration);
      }
    }
  }
  return SaturatedDelta(last);
}
