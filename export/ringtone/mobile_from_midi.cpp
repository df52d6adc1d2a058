// Standard MIDI songs into the mobile song: the voice-allocating form (every voice
// monophonic, a voice per drum sound) and the one-voice-per-track form.
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "export/ringtone/mfi.h"
#include "export/ringtone/mobile.h"
#include "music/midi1_data.h"

namespace {

int32_t Clamped(int64_t ticks) { return static_cast<int32_t>(std::clamp<int64_t>(ticks, 0, INT32_MAX)); }

// Every tempo change of the song into every voice at its tick; the first one is the
// song's tempo. Notes of no length are dropped afterwards.
void TemposInto(MobileData& mobile, const Midi1Data& song) {
  const auto records = std::make_unique<int32_t[][2]>(kMaxTempoRecords);
  const int32_t n = song.CollectTempos(records.get());
  std::vector<std::pair<int32_t, int32_t>> tempos;
  for (int32_t i = 0; i < n; ++i) tempos.emplace_back(records[i][0], records[i][1]);
  mobile.InsertTempos(tempos);
  if (n > 0) mobile.tempo = records[0][1];
  mobile.DeleteZeroLengthNotes();
}

int32_t MarkerTick(const Midi1Data& song, const char* text) {
  for (int32_t t = 0; t < song.track_count; ++t) {
    const int32_t tick = song.tracks[t]->FindMetaText(6, text);
    if (tick >= 0) return tick;
  }
  return -1;
}

bool MarkerIs(const MidiEvent& e, const char* text) {
  const size_t n = std::strlen(text);
  return e.status == kStatusMeta && e.number == 6 && e.data != nullptr &&
         e.data_length == static_cast<int32_t>(n) && std::memcmp(e.data, text, n) == 0;
}

// A report shown at most once in a conversion.
void ReportOnce(uint32_t code, void (*show)(uint32_t)) {
  if (RingtoneReports().Once(code)) show(code);
}

// A conversion starts from a song in note mode with an empty voice list.
bool StartConversion(MobileData& mobile, Midi1Data& song) {
  RingtoneReports().Reset();
  if (song.state != kSongNotes) {
    MobileData::ErrorMsg(kMbdtInternal);
    return false;
  }
  MobileData::WarnOnce(0);
  return true;
}

// Drum parts: their sounds are those of the phones' drum table, 35 to 81. Notes outside
// are brought in, and reported once.
void FitDrumNotes(Midi1Data& song) {
  bool moved = false;
  for (int32_t t = 0; t < song.track_count; ++t) {
    if (!song.IsDrumTrack(t)) continue;
    MidiTrack& track = *song.tracks[t];
    if (track.GetChannel() != 9) ReportOnce(kMbdtDrumNotTen, &MobileData::ErrorMsg);
    for (int32_t i = 0; i < track.event_count; ++i) {
      MidiEvent& e = *track.events[i];
      if (e.status != kStatusNote) continue;
      const int32_t n = std::clamp(e.note, 35, 81);
      moved |= n != e.note;
      e.note = n;
    }
  }
  if (moved) MobileData::WarnOnce(kMbdtDrumRange);
}

// Shares the notes of the song's tracks out among monophonic voices, track after track:
// a melodic note goes to a silent voice of its track, a drum note to its sound's voice,
// and a new voice opens when none fits.
class VoiceAllocator {
 public:
  explicit VoiceAllocator(MobileData& mobile)
      : mobile_(mobile), remaining_(kMobileVoiceSlots, 0), acc_(kMobileVoiceSlots, 0) {}

  void AddTrack(const MidiTrack& track) {
    first_ = mobile_.voice_count;
    kind_ = track.GetChannel() == 9 ? 1 : 2;
    last_program_ = -1;
    last_volume_ = 127;
    track_tick_ = 0;
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      Advance(std::max<int32_t>(0, e.delta));
      if (e.status == kStatusNote) {
        AddNote(e);
      } else if (e.status == kStatusController && e.number == 7) {
        last_volume_ = e.value;
        ControlAll(kKindVolume, e.value, 0);
      } else if (e.status == kStatusProgram) {
        last_program_ = e.value;
        if (e.value > 127) ReportOnce(kMbdtInternal, &MobileData::ErrorMsg);
        ControlAll(kKindProgram, e.value, 0);
      } else if (e.status == kStatusPitchBend) {
        ControlAll(kKindPitchBend, e.value, e.note);
      } else if (e.status == kStatusMeta && e.number == 0x2F) {
        ControlAll(kKindEndOfTrack, e.value, 0);
      }
    }
  }

 private:
  // Only this track's voices move: the others are closed.
  void Advance(int64_t delta) {
    track_tick_ += delta;
    for (int32_t v = first_; v < mobile_.voice_count; ++v) {
      acc_[v] += delta;
      remaining_[v] = std::max<int64_t>(0, remaining_[v] - delta);
    }
  }

  // A control event for every voice of the track, each at its own distance.
  void ControlAll(uint32_t event_kind, int32_t value, int32_t low) {
    for (int32_t v = first_; v < mobile_.voice_count; ++v) {
      mobile_.voices[v]->AddControl(Clamped(acc_[v]), event_kind, value);
      if (event_kind == kKindPitchBend) mobile_.voices[v]->events.back()->note = low;
      acc_[v] = 0;
    }
  }

  // The voice of the track the note goes to, -1 when none fits. A drum voice still
  // sounding is cut where the new note starts.
  int32_t FittingVoice(const MidiEvent& e) {
    int32_t chosen = -1;
    if (kind_ == 2) {
      // The silent voice holding the most events (the first of equals).
      for (int32_t v = first_; v < mobile_.voice_count; ++v) {
        const MobileChannel& voice = *mobile_.voices[v];
        if (voice.kind == 2 && remaining_[v] == 0 &&
            (chosen < 0 || voice.event_count() > mobile_.voices[chosen]->event_count())) {
          chosen = v;
        }
      }
      return chosen;
    }
    for (int32_t v = first_; v < mobile_.voice_count; ++v) {
      if (mobile_.voices[v]->kind == 1 && mobile_.voices[v]->GetKindValue(kKindProgram) == e.note) {
        chosen = v;
      }
    }
    if (chosen >= 0 && remaining_[chosen] > 0) {
      mobile_.voices[chosen]->SetLastNoteLength(Clamped(acc_[chosen]));
    }
    return chosen;
  }

  // A new voice for the note, set up as the track stands, starting at the track's tick;
  // -1 (reported once) when every voice slot is taken.
  int32_t OpenVoice(const MidiEvent& e) {
    if (mobile_.voice_count >= kMobileVoiceSlots) {
      ReportOnce(kMbdtTooManyVoices, &MobileData::ErrorMsg);
      return -1;
    }
    auto voice = std::make_unique<MobileChannel>(mobile_.voice_count, kind_, kMobileCapacity);
    if (kind_ == 2) {
      voice->AddControl(0, kKindVoiceType, 0);
      if (last_program_ >= 0) voice->AddControl(0, kKindProgram, last_program_);
    } else {
      int32_t drum = e.note;
      if (drum < 35 || drum > 81) {
        ReportOnce(kMbdtInternal, &MobileData::ErrorMsg);
        drum = 35;
      }
      voice->AddControl(0, kKindVoiceType, 1);
      voice->AddControl(0, kKindProgram, drum);
    }
    voice->AddControl(0, kKindVolume, last_volume_);
    const int32_t opened = mobile_.voice_count;
    acc_[opened] = track_tick_;
    remaining_[opened] = 0;
    mobile_.AppendVoice(std::move(voice));
    return opened;
  }

  void AddNote(const MidiEvent& e) {
    int32_t chosen = FittingVoice(e);
    // No voice for the note: it is left out, its time stays with the others.
    if (chosen < 0) chosen = OpenVoice(e);
    if (chosen < 0) return;
    mobile_.voices[chosen]->AddNote(Clamped(acc_[chosen]), e.note, e.duration, e.velocity);
    acc_[chosen] = 0;
    remaining_[chosen] = std::max<int32_t>(0, e.duration);
  }

  MobileData& mobile_;
  // Per voice: the time it still sounds and the time since its last event.
  std::vector<int64_t> remaining_, acc_;
  // The track being shared out: its first voice, kind (1 drums, 2 melodic), program and
  // volume so far, and tick.
  int32_t first_ = 0;
  int32_t kind_ = 2;
  int32_t last_program_ = -1, last_volume_ = 127;
  int64_t track_tick_ = 0;  // a voice made now starts this far into the track
};

}  // namespace

bool MobileData::TakeSongInfo(const Midi1Data& song) {
  char text[256] = {};
  title = song.FindMetaText(3, text, sizeof text) ? std::string(text) : "Untitled";
  std::memset(text, 0, sizeof text);
  copyright = song.FindMetaText(2, text, sizeof text) ? std::string(text) : "No Copyright Info";
  int32_t found = 0;
  const bool has = song.GetMetre(&found) == 1;
  metre = has ? found : 0x0404;
  return has;
}

MobileData::MobileData(Midi1Data& song, MobileMarks* marks, int32_t capacity_value)
    : capacity(capacity_value) {
  FromMidiSong(song, marks);
}

void MobileData::FromMidiSong(Midi1Data& song, MobileMarks* marks) {
  if (!StartConversion(*this, song)) return;
  FitDrumNotes(song);
  TakeSongInfo(song);
  division = song.division;
  tempo = 500000;
  ClearVoices();
  if (marks) {
    marks->start = MarkerTick(song, "START");
    marks->stop = MarkerTick(song, "STOP");
  }
  VoiceAllocator allocator(*this);
  for (int32_t t = 0; t < song.track_count; ++t) allocator.AddTrack(*song.tracks[t]);
  TemposInto(*this, song);
}

MidiMobileData::MidiMobileData(Midi1Data& song, int check_drum_programs, int expression)
    : MobileData(song.capacity > 0 ? song.capacity : kMobileCapacity) {
  FromMidiSong(song, check_drum_programs, expression);
}

MidiMobileData::MidiMobileData(const MidiMobileData& source)
    : MobileData(source, source.capacity) {}

void MidiMobileData::FromMidiSong(Midi1Data& song, int check, int expression) {
  if (!StartConversion(*this, song)) return;
  const MasterVolumeList master = ExtractMasterVolumes(song);
  TakeSongInfo(song);
  division = song.division;
  tempo = 500000;
  ClearVoices();
  bool master_given = false;
  for (int32_t t = 0; t < song.track_count; ++t) {
    MidiTrack& track = *song.tracks[t];
    const int channel = track.GetChannel();
    if (channel < 0 || channel > 15) continue;  // conductor tracks and the second port
    auto voice = std::make_unique<MobileChannel>(channel, channel == 9 ? 1 : 2, capacity);
    if (!master_given) {
      master_given = true;
      InsertMasterVolumes(track, master);
    }
    // Dropped events hand their time to the next event made.
    int64_t carry = 0;
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      const int64_t delta = std::max<int32_t>(0, e.delta) + carry;
      carry = delta;
      auto make = [&](uint32_t kind, int32_t value) {
        voice->AddControl(Clamped(delta), kind, value);
        carry = 0;
      };
      const bool controller = e.status == kStatusController;
      if (e.status == kStatusNote) {
        voice->AddNote(Clamped(delta), e.note, e.duration, e.velocity);
        carry = 0;
      } else if (controller && e.number == 1) {
        make(kKindModulation, e.value);
      } else if (controller && e.number == 6) {
        make(kKindBendRange, e.value);
      } else if (controller && e.number == 7) {
        make(kKindVolume, e.value);
      } else if (controller && e.number == 10) {
        make(kKindPan, e.value);
      } else if (controller && e.number == 11 && expression == 1) {
        make(kKindExpression, e.value);
      } else if (controller && e.number == 100) {
        if (e.value != 0 && e.value != 1) ReportOnce(kMmdtRpn, &MidiMobileData::ErrorMsg);
      } else if (controller && e.number == 101) {
        if (e.value != 0) ReportOnce(kMmdtRpn, &MidiMobileData::ErrorMsg);
      } else if (e.status == kStatusProgram && channel == 9) {
        if (e.value != 0 && check == 1) ReportOnce(kMmdtDrumProgram, &MidiMobileData::ErrorMsg);
      } else if (e.status == kStatusProgram) {
        make(kKindProgram, e.value);
      } else if (e.status == kStatusPitchBend) {
        make(kKindPitchBend, e.value);
        voice->events.back()->note = e.note;
      } else if (e.status == kStatusSysEx && e.number == 1) {
        make(kKindMidiMasterVolume, e.value);
      } else if (MarkerIs(e, "START")) {
        make(kKindStartStop, 0);
      } else if (MarkerIs(e, "STOP")) {
        make(kKindStartStop, 1);
      } else if (e.status == kStatusMeta && e.number == 0x2F) {
        make(kKindEndOfTrack, e.value);
      }
    }
    if (!AppendVoice(std::move(voice))) break;
  }
  TemposInto(*this, song);
}

int MidiMobileData::GetMaxPolyphony(int mode) const {
  if (ActiveVoices().size() > 16) {
    MobileData::ErrorMsg(kMbdtTooManyToPlay);
    return 0;
  }
  return ToMidi0()->track->GetMaxPolyphony(mode);
}

void FuzzMobileFromMidiBytes(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0 || size > static_cast<size_t>(kMobileCapacity)) return;
  const auto length = static_cast<int32_t>(size);
  for (int form = 0; form < 2; ++form) {
    Midi1Data song(data, length, 0, kMobileCapacity);
    if (song.state != kSongNotes) return;
    std::unique_ptr<MobileData> mobile;
    if (form == 0) {
      mobile = std::make_unique<MobileData>(song, nullptr, kMobileCapacity);
    } else {
      auto midi = std::make_unique<MidiMobileData>(song);
      midi->GetMaxPolyphony();
      mobile = std::move(midi);
    }
    for (int32_t type : {4, 254}) {
      MFiData file(*mobile, type, kMfiFileCapacity);
      file.BuildFile();
    }
    Midi1Data back(mobile->division > 0 ? mobile->division : 96, kMobileCapacity);
    mobile->ToMidiSong(back);
  }
}
