// Controller, program and pitch-bend passes: redundant bank and program changes,
// volume and expression folded into velocities, fades, fine tuning made into bends,
// and setting, scaling and deleting controller, program and tempo events.
#include <algorithm>
#include <cmath>
#include <vector>

#include "music/controllers.h"
#include "music/midi_track.h"
#include "util/gne_pitch.h"

namespace {

constexpr int32_t kBendCentreValue = 0x2000;

bool IsChannel(int32_t channel) { return channel >= 0 && channel < 16; }
bool IsCc(const MidiEvent& e, int32_t number) {
  return e.status == kStatusController && e.number == static_cast<uint32_t>(number);
}
bool IsNoteStart(const MidiEvent& e) { return e.status == kStatusNote || e.status == kStatusNoteOn; }
bool IsAnyNote(const MidiEvent& e) {
  return e.status == kStatusNote || e.status == kStatusNoteOn || e.status == kStatusNoteOff;
}
int32_t Clamp127(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, 127)); }

// Calls visit(event, volume, second) for every event on a channel, with that channel's volume and
// a second mix value (expression, or the product of both) that both start at 127 and that the
// visitor keeps up to date.
template <typename Visit>
void ForEachChannelEventWithMix(MidiEvent* const* events, int32_t count, Visit visit) {
  int32_t volume[16];
  int32_t second[16];
  std::fill(std::begin(volume), std::end(volume), 127);
  std::fill(std::begin(second), std::end(second), 127);
  for (int32_t i = 0; i < count; ++i) {
    MidiEvent& e = *events[i];
    if (IsChannel(e.channel)) visit(e, volume[e.channel], second[e.channel]);
  }
}

bool NeedModes12(const MidiTrack& t) {
  if (t.mode == kTrackEvents || t.mode == kTrackNotes) return true;
  MidiTrack::ErrorMsg(kMdtkInternal);
  return false;
}
bool NeedMode2(const MidiTrack& t) {
  if (t.mode == kTrackNotes) return true;
  MidiTrack::ErrorMsg(kMdtkInternal);
  return false;
}

// Walks the events with their absolute ticks; fn(event, tick).
template <typename Fn>
void WalkTicks(MidiTrack& t, Fn fn) {
  int64_t tick = 0;
  for (int32_t i = 0; i < t.event_count; ++i) {
    tick += t.events[i]->delta;
    fn(*t.events[i], tick);
  }
}

}  // namespace

// ---------------------------------------------------------------- banks and programs

void MidiTrack::RemoveRedundantBankProgram() {
  if (!NeedModes12(*this)) return;
  bool deleted = true;
  while (deleted) {
    deleted = false;
    int program = -1;
    int msb = -1;
    int lsb = -1;
    for (int32_t i = 0; i < event_count; ++i) {
      MidiEvent& e = *events[i];
      if (e.status == kStatusProgram) {
        if (e.value == program) {
          e.MarkDeleted();
          deleted = true;
        }
        program = e.value;
      } else if (IsCc(e, cc::kBankMsb)) {
        if (e.value == msb) {
          e.MarkDeleted();
          deleted = true;
        } else {
          msb = e.value;
          lsb = -1;
          program = -1;
        }
      } else if (IsCc(e, cc::kBankLsb)) {
        if (e.value == lsb) {
          e.MarkDeleted();
          deleted = true;
        } else {
          lsb = e.value;
          program = -1;
        }
      }
    }
    Compact();
    // Of several changes of one kind between two notes only the last counts; it takes
    // the place of the first.
    std::vector<int32_t> programs;
    std::vector<int32_t> msbs;
    std::vector<int32_t> lsbs;
    auto fold = [&](std::vector<int32_t>& list) {
      if (list.size() > 1) {
        events[list.front()]->value = events[list.back()]->value;
        for (size_t k = 1; k < list.size(); ++k) events[list[k]]->MarkDeleted();
        deleted = true;
      }
      list.clear();
    };
    for (int32_t i = 0; i < event_count; ++i) {
      MidiEvent& e = *events[i];
      if (e.status == kStatusProgram) programs.push_back(i);
      if (IsCc(e, cc::kBankMsb)) msbs.push_back(i);
      if (IsCc(e, cc::kBankLsb)) lsbs.push_back(i);
      if (e.status == kStatusNote || (e.status == kStatusNoteOn && e.velocity > 0)) {
        fold(programs);
        fold(lsbs);
        fold(msbs);
      }
    }
    Compact();
  }
  // Changes after the last note select nothing that sounds.
  for (int32_t i = event_count - 1; i >= 0; --i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusNote || e.status == kStatusNoteOn) break;
    if (e.status == kStatusProgram || IsCc(e, cc::kBankMsb) || IsCc(e, cc::kBankLsb)) e.MarkDeleted();
  }
  Compact();
}

void MidiTrack::RemoveRedundantProgramChanges() {
  if (!NeedModes12(*this)) return;
  int previous = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status != kStatusProgram) continue;
    if (e.value == previous) e.MarkDeleted();
    previous = e.value;
  }
  Compact();
  int32_t last = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusNote || e.status == kStatusNoteOn) last = -1;
    if (e.status != kStatusProgram) continue;
    if (last >= 0 && events[last]->value != e.value) {
      events[last]->value = e.value;
      e.MarkDeleted();
      continue;
    }
    last = i;
  }
  Compact();
}

int MidiTrack::CheckBankProgramOrder() const {
  if (mode != kTrackEvents && mode != kTrackNotes) {
    ErrorMsg(kMdtkInternal);
    return 0;
  }
  bool msb = false;
  bool lsb = false;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent& e = *events[i];
    if (IsCc(e, cc::kBankMsb)) {
      if (lsb && !msb) return 0;
      msb = true;
    } else if (IsCc(e, cc::kBankLsb)) {
      if (!msb) return 0;
      lsb = true;
    } else if (e.status == kStatusProgram) {
      if (!msb || !lsb) return 0;
    }
  }
  return 1;
}

// ---------------------------------------------------------------- volume and expression

void MidiTrack::FoldVolumeIntoVelocity() {
  ForEachChannelEventWithMix(events, event_count, [](MidiEvent& e, int32_t& volume,
                                                     int32_t& factor) {
    if (IsCc(e, cc::kVolume)) {
      volume = e.value;
      e.MarkDeleted();
    } else if (IsCc(e, cc::kExpression)) {
      factor = volume * e.value / 127;
      e.MarkDeleted();
    } else if (IsCc(e, cc::kVolumeLsb) || IsCc(e, cc::kExpressionLsb)) {
      e.MarkDeleted();
    } else if (IsNoteStart(e)) {
      e.velocity = Clamp127(int64_t{factor} * e.velocity / 127);
    }
  });
  Compact();
  for (int ch = 0; ch < 16; ++ch) {
    InsertControllerAtStart(ch, cc::kExpression, 127);
    InsertControllerAtStart(ch, cc::kVolume, 127);
  }
}

void MidiTrack::MergeExpressionIntoVolume() {
  ForEachChannelEventWithMix(events, event_count, [](MidiEvent& e, int32_t& volume,
                                                     int32_t& expression) {
    if (IsCc(e, cc::kVolume)) {
      volume = e.value;
      e.value = Clamp127(volume * expression / 127);
    } else if (IsCc(e, cc::kExpression)) {
      expression = e.value;
      e.value = Clamp127(expression * volume / 127);
      e.number = cc::kVolume;
    }
  });
}

void MidiTrack::RescaleVelocityForMix(int32_t* current_volume, int32_t* current_expression,
                                      int32_t target_volume, int32_t target_expression,
                                      MidiEvent& event) {
  if (IsAnyNote(event)) {
    const int64_t current = int64_t{*current_volume} * *current_expression;
    // Nothing to scale against: the velocity stays.
    if (current > 0) {
      event.velocity = Clamp127(int64_t{target_volume} * target_expression * event.velocity / current);
    }
  } else if (IsCc(event, cc::kVolume)) {
    *current_volume = event.value;
  } else if (IsCc(event, cc::kExpression)) {
    *current_expression = event.value;
  }
}

// ---------------------------------------------------------------- fades

int MidiTrack::FadeController(int32_t from, int32_t to, int32_t step, int32_t number) {
  if (!NeedMode2(*this)) return 0;
  // A step below one tick never reaches the end of the fade.
  if (step < 1) {
    ErrorMsg(kMdtkBadTiming);
    return 0;
  }
  const int channel = GetChannel();
  if (channel == kNoChannel) return 255;
  const int start = GetControllerValueBefore(number, channel, from, 0);
  if (start < 0) return -1;
  double ratio = 1.0;
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (t < from || t > to) return;
    if (IsCc(e, number)) {
      // From level 0 there is no ratio to take: the velocities stay.
      if (start > 0) ratio = static_cast<double>(e.value) / start;
    } else if (e.status == kStatusNote) {
      e.velocity = Clamp127(static_cast<int64_t>(e.velocity * ratio));
    }
  });
  DeleteControllerBetween(number, from, to);
  int level = start;
  for (int64_t t = from; t < to; t += step) {
    level = level * 90 / 100;
    if (level == 0) continue;
    auto* e = new MidiEvent(0);
    e->SetControlChange(channel, number, level);
    InsertEventAtTime(static_cast<int32_t>(t), e, 1);
  }
  return 1;
}

void MidiTrack::FadeVelocities(int32_t from, int32_t to) {
  if (!NeedMode2(*this)) return;
  if (to <= from) return;  // no span to fade over
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (e.status != kStatusNote || t < from || t > to) return;
    const double keep = 1.0 - static_cast<double>(t - from) / (to - from);
    e.velocity = Clamp127(static_cast<int64_t>(keep * e.velocity));
  });
}

// ---------------------------------------------------------------- fine tuning

void MidiTrack::FoldFineTuningIntoBends() {
  bool remembered[16] = {};
  bool bent[16] = {};
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!IsChannel(e.channel)) continue;
    if (e.status == kStatusPitchBend) bent[e.channel] = true;
    if (e.status == kStatusNote && !bent[e.channel] && !remembered[e.channel]) {
      auto* bend = new MidiEvent(0);
      bend->status = kStatusPitchBend;
      bend->channel = e.channel;
      bend->SetPitchBend(kBendCentreValue);
      bend->delta = e.delta;
      e.delta = 0;
      InsertEvent(i, 2, bend);
      remembered[e.channel] = true;
      bent[e.channel] = true;
      ++i;
    }
  }
  int32_t rpn_msb[16];
  int32_t rpn_lsb[16];
  int32_t data_msb[16];
  int32_t data_msb_index[16];
  int32_t lsb_index[16];
  bool tuned[16] = {};
  double tuning[16] = {};
  std::fill(std::begin(rpn_msb), std::end(rpn_msb), -1);
  std::fill(std::begin(rpn_lsb), std::end(rpn_lsb), -1);
  std::fill(std::begin(data_msb), std::end(data_msb), -1);
  std::fill(std::begin(data_msb_index), std::end(data_msb_index), -1);
  std::fill(std::begin(lsb_index), std::end(lsb_index), -1);
  int range = 2;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (!IsChannel(e.channel)) continue;
    const int ch = e.channel;
    if (IsCc(e, cc::kRpnMsb)) {
      rpn_msb[ch] = e.value;
    } else if (IsCc(e, cc::kRpnLsb)) {
      rpn_lsb[ch] = e.value;
      lsb_index[ch] = i;
    } else if (IsCc(e, cc::kDataEntry)) {
      data_msb[ch] = e.value;
      data_msb_index[ch] = i;
      if (rpn_msb[ch] == 0 && rpn_lsb[ch] == 0) range = e.value;
    } else if (IsCc(e, cc::kDataEntryLsb)) {
      if (rpn_msb[ch] == 0 && rpn_lsb[ch] == 1 && data_msb[ch] >= 0) {
        tuning[ch] = GneFineTuningToCents(data_msb[ch] * 256 + e.value);
        tuned[ch] = true;
        if (lsb_index[ch] >= 0) events[lsb_index[ch]]->MarkDeleted();
        if (data_msb_index[ch] >= 0) events[data_msb_index[ch]]->MarkDeleted();
        e.MarkDeleted();
      }
    } else if (e.status == kStatusPitchBend && tuned[ch]) {
      const double cents = tuning[ch] + GnePitchBendToCents(e.GetPitchBend() - kBendCentreValue, range);
      e.SetPitchBend(GneCentsToPitchBend(cents, range) + kBendCentreValue);
    }
  }
  for (int ch = 0; ch < 16; ++ch) {
    if (!remembered[ch]) continue;
    for (int32_t i = 0; i < event_count; ++i) {
      MidiEvent& e = *events[i];
      if (e.status == kStatusPitchBend && e.channel == ch) {
        if (e.GetPitchBend() == kBendCentreValue) e.MarkDeleted();
        break;
      }
    }
  }
  Compact();
}

// ---------------------------------------------------------------- setting and scaling

void MidiTrack::SetFirstVolume(int32_t value) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], cc::kVolume)) {
      events[i]->value = Clamp127(value);
      return;
    }
  }
}

void MidiTrack::ScaleVolume(double factor) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (IsCc(e, cc::kVolume) && e.value > 0) {
      e.value = std::clamp(static_cast<int32_t>(e.value * factor), 1, 127);
    }
  }
}

void MidiTrack::ScaleController(int32_t, int32_t number, int32_t percent) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number)) {
      events[i]->value = Clamp127(int64_t{events[i]->value} * percent / 100);
    }
  }
}

void MidiTrack::OffsetControllerValue(int32_t, int32_t number, int32_t amount) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number)) events[i]->value = Clamp127(int64_t{events[i]->value} + amount);
  }
}

void MidiTrack::NormalizeController(int32_t number, int32_t top) {
  int largest = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number)) largest = std::max(largest, events[i]->value);
  }
  if (largest < 1) return;
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number)) {
      events[i]->value = Clamp127(int64_t{top} * events[i]->value / largest);
    }
  }
}

void MidiTrack::SetControllerValueOfChannel(int32_t number, int32_t value, int32_t channel) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusController && (e.number & 0xFF) == static_cast<uint32_t>(number & 0xFF) &&
        e.channel == channel) {
      e.value = value & 0xFF;
    }
  }
}

void MidiTrack::SetControllerValueAll(int32_t number, int32_t value) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number)) events[i]->value = value;
  }
}

void MidiTrack::SetControllerValueOnChannel(int32_t channel, int32_t number, int32_t value) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number) && events[i]->channel == channel) events[i]->value = value;
  }
}

void MidiTrack::SetControllerValueBetween(int32_t from, int32_t to, int32_t number, int32_t value) {
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (IsCc(e, number) && t >= from && t < to) e.value = value;
  });
}

void MidiTrack::SetControllerValueAt(int32_t channel, int32_t number, int32_t value, int32_t tick) {
  if (!NeedModes12(*this)) return;
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (IsCc(e, number) && e.channel == channel && t == tick) e.value = value;
  });
}

void MidiTrack::SetValueForStatusNumberBetween(uint32_t status_value, int32_t number,
                                               int32_t value, int32_t from, int32_t to) {
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (e.status != status_value) return;
    if (number >= 0 && e.number != static_cast<uint32_t>(number)) return;
    if (from >= 0 && (t < from || t >= to)) return;
    e.value = value;
  });
}

void MidiTrack::ClampValuesBetween(uint32_t status_value, int32_t number, int32_t low,
                                   int32_t high, int32_t from, int32_t to) {
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (e.status != status_value) return;
    if (number >= 0 && e.number != static_cast<uint32_t>(number)) return;
    if (from >= 0 && (t < from || t >= to)) return;
    e.value = std::clamp(e.value, low, std::max(low, high));
  });
}

void MidiTrack::SetProgramOfChannel(int32_t channel, int32_t program) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusProgram && (channel < 0 || e.channel == channel)) e.value = program;
  }
}

void MidiTrack::SetProgramAt(int32_t channel, int32_t program, int32_t tick) {
  if (!NeedModes12(*this)) return;
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (e.status == kStatusProgram && e.channel == channel && t == tick) e.value = program;
  });
}

int MidiTrack::SetFirstTempo(int32_t microseconds) {
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusMeta && e.number == 0x51) {
      e.SetTempo(microseconds);
      return 1;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- deleting

void MidiTrack::DeleteAllControllers() {
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusController) events[i]->MarkDeleted();
  }
  Compact();
}

int MidiTrack::DeleteControlChange(int32_t number) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsCc(*events[i], number)) {
      DeleteEvent(i);
      return 1;
    }
  }
  return 0;
}

int MidiTrack::DeletePitchBends() {
  int any = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusPitchBend && IsChannel(events[i]->channel)) {
      events[i]->MarkDeleted();
      any = 1;
    }
  }
  Compact();
  return any;
}

int MidiTrack::DeleteProgramChanges(int32_t channel) {
  int any = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent& e = *events[i];
    if (e.status == kStatusProgram && (channel == -1 || e.channel == channel)) {
      e.MarkDeleted();
      any = 1;
    }
  }
  Compact();
  return any;
}

void MidiTrack::KeepOnlyNotes() {
  if (!NeedMode2(*this)) return;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status != kStatusNote) events[i]->MarkDeleted();
  }
  Compact();
}

void MidiTrack::DeleteControllerBetween(int32_t number, int32_t from, int32_t to) {
  WalkTicks(*this, [&](MidiEvent& e, int64_t t) {
    if (IsCc(e, number) && t >= from && t <= to) e.MarkDeleted();
  });
  Compact();
}
