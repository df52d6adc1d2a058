// The mobile song and Standard MIDI songs: the MIDI-channel form of the song.
#include <algorithm>

#include "export/ringtone/mobile.h"

MidiMobileData::~MidiMobileData() = default;

void MidiMobileData::AddFourChannelsByChannel(const MobileTrack& track) {
  AddFourVoices(track, true);
}

#include "music/midi1_data.h"
#include "music/play_thread.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& ConversionReporter() {
  static ModuleErrorReporter reporter(
      "MMDT", "携帯用トラックデータでエラーが発生しました。",
      {{kMmdtDrumProgram, "ドラムにプログラムチェンジが設定されていました。"},
       {kMmdtRpn, "RPNに０以外の数値が設定されていました。"},
       {kMmdtRpnTuning, "RPNに1が設定されていました。携帯でチューニングの変更はできません。"}});
  return reporter;
}

// A MIDI event of the mobile event's time and fields, deleted until given a status.
MidiEvent* NewMidiEvent(const MobileEvent& m) {
  auto* e = new MidiEvent(m.delta);
  e->note = m.note;
  e->duration = m.duration;
  e->velocity = m.velocity;
  e->value = m.value;
  if (m.data && m.data_length > 0) e->SetDataQuietly(m.data, m.data_length);
  e->status = kStatusDeleted;
  return e;
}

void SetMeta(MidiEvent& e, int type) {
  e.status = kStatusMeta;
  e.number = static_cast<uint32_t>(type);
  e.channel = kNoChannel;
}

// The control kinds both track forms write alike: volume, pan, tempo, End of Track and
// bend; any other kind is reported (once per conversion) and the event stays deleted.
void SetCommonKind(MidiEvent& e, const MobileEvent& m) {
  switch (m.number) {
    case kKindVolume:
    case kKindPan:
      e.status = kStatusController;
      e.number = m.number == kKindVolume ? 7 : 10;
      break;
    case kKindTempo:
      SetMeta(e, 0x51);
      e.SetTempo(m.value);
      break;
    case kKindEndOfTrack:
      SetMeta(e, 0x2F);
      break;
    case kKindPitchBend:
      e.status = kStatusPitchBend;
      break;
    default:
      if (RingtoneReports().Once(kMbtkUndefinedCommand))
        MobileTrack::ErrorMsg(kMbtkUndefinedCommand);
      break;
  }
}

void Finish(Midi0Data& song) {
  MidiTrack& track = *song.track;
  track.Compact();
  if (!track.LastIsEndOfTrack()) track.AddEndOfTrack();
  track.mode = kTrackNotes;
  song.state = kSongNotes;
}

}  // namespace

void MidiMobileData::ErrorMsg(uint32_t code) { ConversionReporter().ErrorMsg(code); }

// ---- master volumes ----

MasterVolumeList ExtractMasterVolumes(Midi1Data& song) {
  MasterVolumeList list;
  for (int32_t t = 0; t < song.track_count; ++t) {
    MidiTrack& track = *song.tracks[t];
    int64_t tick = 0;
    bool found = false;
    for (int32_t i = 0; i < track.event_count; ++i) {
      MidiEvent& e = *track.events[i];
      tick += e.delta;
      if (e.status != kStatusSysEx || e.number != 1) continue;
      // The list keeps 256 pairs; later ones are taken out all the same.
      if (list.size() < 256) list.emplace_back(SaturatedDelta(tick), e.value);
      e.MarkDeleted();
      found = true;
    }
    if (found) track.Compact();
  }
  return list;
}

void InsertMasterVolumes(MidiTrack& track, const MasterVolumeList& list) {
  for (const auto& [tick, value] : list) {
    auto* e = new MidiEvent(0);
    e->SetMasterVolume(value);
    track.InsertEventAtTime(tick, e, 2);
  }
}

// ---- mobile to MIDI ----

void MobileData::ToMidiSong(Midi1Data& song) {
  while (voice_count < 10) AppendVoice(std::make_unique<MobileChannel>(voice_count, 0, kMobileCapacity));
  if (voices[9]->kind != 1) {
    for (int32_t i = voice_count - 1; i >= 0; --i)
      if (i != 9 && voices[i]->kind == 1) {
        std::swap(voices[i], voices[9]);
        break;
      }
  }
  if (voice_count > 16) ErrorMsg(kMbdtTooManyToPlay);  // channels for the first 16 only
  for (int32_t p = 0; p < std::min(voice_count, 16); ++p) {
    const MobileChannel& v = *voices[p];
    auto* track = new Midi1Track(kTrackNotes, kMobileCapacity);
    for (const auto& m : v.events) {
      auto* e = new MidiEvent(m->delta);
      e->SetFromMobileEvent(*m, p, v.kind == 1 ? 1 : 0);
      track->AddEvent(e);
    }
    track->AddEndOfTrack();
    track->Compact();
    song.AddTrack(track);
  }
}

void MobileTrack::ToMidi0Data(Midi0Data& song, int32_t division, int32_t metre, int32_t tempo) {
  song.division = division;
  song.metre_override = metre;
  MidiTrack& out = *song.track;
  std::vector<int32_t> channels;
  bool used[16] = {};
  for (const auto& e : events) {
    if (e->IsControl(kKindVoiceType) && e->value == 1 &&
        std::find(channels.begin(), channels.end(), e->voice) == channels.end())
      channels.push_back(e->voice);
    if (e->voice >= 0 && e->voice < 16) used[e->voice] = true;
  }
  for (int32_t c = 0; c < 16; ++c)
    if (!used[c]) channels.push_back(c);
  out.AddTempoOrDefault(tempo);
  bool drum[kMobileVoiceSlots] = {};
  int32_t drum_note[kMobileVoiceSlots];
  std::fill(std::begin(drum_note), std::end(drum_note), -1);
  for (const auto& m : events) {
    MidiEvent* e = NewMidiEvent(*m);
    const int32_t v = m->voice;
    const bool voice_ok = v >= 0 && v < kMobileVoiceSlots;
    int32_t channel = kNoChannel;
    bool keep = true;
    if (v == kAllVoices) {
      channel = kNoChannel;
    } else if (voice_ok && drum[v]) {
      channel = 9;
      if (m->IsNote() && drum_note[v] >= 0) e->note = drum_note[v];
    } else if (v == 9 && channels.empty()) {
      WarnOnce(kMbtkVoiceNotPlayed);
      keep = false;
    } else if (v == 9) {
      channel = channels.front();
    } else {
      channel = v;
    }
    e->channel = channel;
    if (keep && m->status == kMobileNote) {
      e->status = kStatusNote;
    } else if (keep && m->status == kMobileControl) {
      switch (m->number) {
        case kKindProgram:
          if (voice_ok && drum[v]) {
            drum_note[v] = m->value;
          } else {
            e->status = kStatusProgram;
          }
          break;
        case kKindVoiceType:
          if (voice_ok) drum[v] = m->value == 1;
          break;
        case kKindMasterVolume:
          out.InsertMasterVolume(m->value, 0);
          break;
        default:
          SetCommonKind(*e, *m);
          break;
      }
    } else if (keep && m->status != kMobileEmpty) {
      if (RingtoneReports().Once(kMbtkUndefinedEvent)) ErrorMsg(kMbtkUndefinedEvent);
    }
    out.AddEvent(e);
  }
  Finish(song);
}

void MobileTrack::ToMidiTrack(Midi0Data& song, int32_t division, int32_t metre, int32_t tempo) {
  song.division = division;
  song.metre_override = metre;
  MidiTrack& out = *song.track;
  out.AddTempoOrDefault(tempo);
  int64_t carry = 0;
  for (const auto& m : events) {
    const int32_t channel = m->voice == kAllVoices ? kNoChannel : m->voice;
    if (m->IsControl(kKindBendRange) && channel != kNoChannel) {
      out.AddBendSensitivity(SaturatedDelta(m->delta + carry), channel, m->value);
      carry = 0;
      continue;
    }
    MidiEvent* e = NewMidiEvent(*m);
    e->delta = SaturatedDelta(m->delta + carry);
    carry = 0;
    e->channel = channel;
    if (m->status == kMobileNote) {
      e->status = kStatusNote;
    } else if (m->status == kMobileControl) {
      switch (m->number) {
        case kKindProgram:
          e->status = kStatusProgram;
          break;
        case kKindVoiceType:
          ErrorMsg(0);
          break;
        case kKindModulation:
          e->status = kStatusController;
          e->number = 1;
          break;
        case kKindStartStop:
        case kKindExpression:
        case kKindMidiMasterVolume:
        case kKindMfiBendRange:
          break;
        case kKindMasterVolume:
          if (m->delta != 0) ErrorMsg(kMbtkMasterVolumePlace);
          out.InsertMasterVolume(m->value, 0);
          break;
        default:
          SetCommonKind(*e, *m);
          break;
      }
    } else if (m->status != kMobileEmpty) {
      if (RingtoneReports().Once(kMbtkUndefinedEvent)) ErrorMsg(kMbtkUndefinedEvent);
    }
    out.AddEvent(e);
  }
  Finish(song);
}

std::unique_ptr<MobileTrack> MobileTrack::FromChannelsByMidiChannel(MobileChannel* const* voices,
                                                                    int32_t count,
                                                                    int32_t capacity) {
  auto track = std::make_unique<MobileTrack>(capacity);
  for (int32_t i = 0; i < count; ++i) {
    if (voices[i] == nullptr) continue;
    const bool drum = voices[i]->kind == 1;
    const int32_t number = drum ? 9 : voices[i]->index;
    if (number < 0 || number > 15) {
      ErrorMsg(kMbtkBadVoice);
      continue;
    }
    track->voice_kinds[number] = drum ? 1 : 2;
    MobileChannel copy(*voices[i], capacity);
    track->MergeChannel(number, copy.events);
  }
  WarnOnce(0);
  if (track->events.empty()) track->AddControl(0, kAllVoices, kKindEndOfTrack, 0);
  return track;
}

// ---- preview ----

int MobileData::PlayVoices(const std::vector<MobileChannel*>& list, bool by_channel,
                           std::unique_ptr<Midi0Data>& target, std::function<void()> done) {
  if (list.size() > 16) {
    ErrorMsg(kMbdtTooManyToPlay);
    return 0;
  }
  std::unique_ptr<MobileTrack> track;
  if (by_channel) {
    track = MobileTrack::FromChannelsByMidiChannel(list.data(), static_cast<int32_t>(list.size()),
                                                  kMobileCapacity);
  } else {
    track = std::make_unique<MobileTrack>(list.data(), static_cast<int32_t>(list.size()),
                                          kMobileCapacity);
  }
  StopPreview();  // the song of a previous preview is replaced below
  target = std::make_unique<Midi0Data>(kMobileCapacity);
  if (tempo == 0) ErrorMsg(kMbdtBadTempo);
  if (by_channel) {
    track->ToMidiTrack(*target, division, metre, tempo);
  } else {
    track->ToMidi0Data(*target, division, metre, tempo);
  }
  target->SetDivision(96);
  target->ToEventMode();
  target->CutLeadIn();
  return target->PlayInThread(std::move(done));
}

int MobileData::PlayPreview(std::function<void()> done) {
  return PlayVoices(ActiveVoices(), false, preview, std::move(done));
}

int MobileData::PlayPreviewRange(std::function<void()> done, int32_t start_tick, int32_t end_tick) {
  std::vector<std::unique_ptr<MobileChannel>> parts;
  std::vector<MobileChannel*> list;
  for (MobileChannel* v : ActiveVoices()) {
    parts.push_back(std::make_unique<MobileChannel>(*v, start_tick, end_tick, kMobileCapacity));
    list.push_back(parts.back().get());
  }
  std::unique_ptr<Midi0Data> song;
  const int started = PlayVoices(list, false, song, std::move(done));
  // The play thread plays its own copy; the excerpt song is not kept.
  return started;
}

int MobileData::StopPreview() {
  Midi0Data any(kMobileCapacity);
  StopPlay(any);
  return 1;
}

int MidiMobileData::PlayPreview(std::function<void()> done) {
  return PlayVoices(ActiveVoices(), true, midi_preview, std::move(done));
}

int MidiMobileData::PlayPreviewRange(std::function<void()> done, int32_t start_tick,
                                     int32_t end_tick) {
  MidiMobileData excerpt(*this, start_tick, end_tick);
  std::unique_ptr<Midi0Data> song;
  return excerpt.PlayVoices(excerpt.ActiveVoices(), true, song, std::move(done));
}

int MidiMobileData::HasSamePitchOverlap() const {
  for (int32_t i = 0; i < voice_count; ++i)
    if (voices[i]->HasSamePitchOverlap()) return 1;
  return 0;
}

std::unique_ptr<Midi0Data> MidiMobileData::ToMidi0() const {
  const auto list = ActiveVoices();
  auto track = MobileTrack::FromChannelsByMidiChannel(list.data(), static_cast<int32_t>(list.size()),
                                                      kMobileCapacity);
  auto song = std::make_unique<Midi0Data>(capacity);
  track->ToMidiTrack(*song, division, metre, tempo);
  return song;
}
