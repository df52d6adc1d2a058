#include "music/midi_state.h"

#include "music/midi0_data.h"
#include "music/midi_track.h"
#include "util/gne_music.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter r("MDSS", "Midiの状態把握処理でエラーが発生しました。",
                                     {{kMdssBadTimeSignature, "拍子が異常です。"}});
  return r;
}

bool IsChannel(int32_t channel) { return channel >= 0 && channel < 16; }

MidiEvent* NewController(int channel, int number, int value) {
  auto* e = new MidiEvent(0);
  e->SetControlChange(channel, number, value);
  return e;
}

}  // namespace

MidiState::MidiState() { e_.fill(-1); }

void MidiState::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MidiState::ApplyEvent(const MidiEvent& ev) {
  switch (ev.status) {
    case kStatusController:
      if (IsChannel(ev.channel) && ev.number < 128)
        e_[kControllerBase + ev.channel * 128 + ev.number] = ev.value;
      break;
    case kStatusProgram:
      if (IsChannel(ev.channel)) e_[kProgramBase + ev.channel] = ev.value;
      break;
    case kStatusPitchBend:
      if (IsChannel(ev.channel)) {
        e_[kBendBase + ev.channel * 2] = ev.value;
        e_[kBendBase + ev.channel * 2 + 1] = ev.note;
      }
      break;
    case kStatusMeta:
      if (ev.number == 0x51) e_[kTempoIndex] = ev.value;
      if (ev.number == 0x58) e_[kTimeSignatureIndex] = ev.value;
      break;
    default: break;
  }
}

int MidiState::RunTo(const Midi0Data& song, int tick, int* elapsed) {
  if (!song.track) {
    if (elapsed) *elapsed = 0;
    return 0;
  }
  return RunTo(*song.track, tick, elapsed);
}

int MidiState::RunTo(const MidiTrack& track, int tick, int* elapsed) {
  int64_t time = 0;
  int64_t last_applied = 0;
  int i = 0;
  for (; i < track.event_count; ++i) {
    const MidiEvent* ev = track.events[i];
    if (!ev) continue;
    time += ev->delta;
    if (time >= tick) break;
    ApplyEvent(*ev);
    last_applied = time;
  }
  if (elapsed) *elapsed = static_cast<int>(last_applied);
  return i;
}

int MidiState::MakeEvents(MidiEvent** out) const {
  int n = 0;
  for (int ch = 0; ch < 16; ++ch) {
    for (int bank : {0, 32}) {
      int v = Controller(ch, bank);
      if (v != -1) out[n++] = NewController(ch, bank, v);
    }
    if (Program(ch) != -1) {
      auto* e = new MidiEvent(0);
      e->SetProgramChange(ch, Program(ch));
      out[n++] = e;
    }
    if (BendMsb(ch) != -1) {
      auto* e = new MidiEvent(0);
      e->status = kStatusPitchBend;
      e->channel = ch;
      e->value = BendMsb(ch);
      e->note = BendLsb(ch) == -1 ? 0 : BendLsb(ch);
      out[n++] = e;
    }
    for (int c = 0; c < 128; ++c) {
      if (c == 0 || c == 32) continue;
      int v = Controller(ch, c);
      if (v != -1) out[n++] = NewController(ch, c, v);
    }
  }
  if (Tempo() != -1) {
    auto* e = new MidiEvent(0);
    e->SetTempo(Tempo());
    out[n++] = e;
  }
  int metre = TimeSignature();
  if (metre != -1) {
    if (metre == 0 || (metre & 0xFF) < 2) {
      // No valid time-signature event exists for it: reported, and none is made.
      ErrorMsg(kMdssBadTimeSignature);
    } else {
      auto* e = new MidiEvent(0);
      e->status = kStatusMeta;
      e->channel = kNoChannel;
      e->number = 0x58;
      e->value = metre;
      uint8_t record[8] = {};
      int length = 0;
      GneMakeTimeSignature(metre, record, &length);
      e->SetData(record, length);
      out[n++] = e;
    }
  }
  return n;
}

void MidiState::TakeChanges(const MidiState& before, const MidiState& after) {
  for (int ch = 0; ch < 16; ++ch) {
    int p = kProgramBase + ch;
    if (before.e_[p] != after.e_[p]) e_[p] = after.e_[p];
    for (int c = 0; c < 128; ++c) {
      int k = kControllerBase + ch * 128 + c;
      if (before.e_[k] != after.e_[k]) e_[k] = after.e_[k];
    }
    int b = kBendBase + ch * 2;
    if (before.e_[b] != after.e_[b] || before.e_[b + 1] != after.e_[b + 1]) {
      e_[b] = after.e_[b];
      e_[b + 1] = after.e_[b + 1];
    }
  }
  for (int k : {kTempoIndex, kTimeSignatureIndex})
    if (before.e_[k] != after.e_[k]) e_[k] = after.e_[k];
}
