// The merged form of the mobile song: the events of up to 16 voices in one time-ordered list.
#include <algorithm>
#include <cstdio>

#include "export/ringtone/mobile.h"
#include "platform/core/folders.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "MBTK", "携帯用トラックデータでエラーが発生しました。",
      {{kMbtkUndefinedCommand, "未定義のコマンドです。"},
       {kMbtkUndefinedEvent, "未定義のイベントです。"},
       {kMbtkFileOpen, "ファイルが開けませんでした。"},
       {kMbtkVoiceNotPlayed, "構成上、再生されないボイスがあります。"},
       {kMbtkMasterVolumePlace, "マスターボリュームの位置に不都合がありました。"},
       {kMbtkBadVoice, "チャネルが異常です。"},
       {kMbtkBadDrum, "ドラムが異常です。"},
       {kMbtkCannotAdd, "データが追加できませんでした。"},
       {kMbtkBadEnd, "トラックの末尾が異常です。"}},
      {kMbtkVoiceNotPlayed});
  return reporter;
}

bool IsEnd(const MobileEvent& e) {
  return e.IsControl(kKindEndOfTrack) || e.IsControl(kKindEndOfSequence);
}

}  // namespace

void MobileTrack::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MobileTrack::WarnOnce(uint32_t code) {
  if (code == 0) {
    Reporter().ResetWarnings();
    return;
  }
  Reporter().Warning(code);
}

MobileTrack::MobileTrack(int32_t capacity_value) : capacity(capacity_value) { WarnOnce(0); }

MobileTrack::MobileTrack(const MobileTrack& source, int32_t capacity_value)
    : capacity(capacity_value) {
  events.reserve(source.events.size());
  for (const auto& e : source.events) Append(std::make_unique<MobileEvent>(*e));
  std::copy(std::begin(source.voice_kinds), std::end(source.voice_kinds), voice_kinds);
}

MobileTrack::MobileTrack(MobileChannel* const* voices, int32_t count, int32_t capacity_value)
    : capacity(capacity_value) {
  WarnOnce(0);
  bool used[16] = {};
  for (int32_t i = 0; i < count; ++i) {
    if (voices[i] == nullptr) continue;
    if (i > 15 || used[i]) {
      ErrorMsg(kMbtkBadVoice);
      continue;
    }
    used[i] = true;
    voice_kinds[i] = voices[i]->kind;
    MobileChannel copy(*voices[i], capacity_value);
    MergeChannel(i, copy.events);
  }
  WarnOnce(0);
  if (events.empty()) AddControl(0, kAllVoices, kKindEndOfTrack, 0);
}

bool MobileTrack::Append(std::unique_ptr<MobileEvent> event) {
  if (event_count() >= kMobileTrackEventLimit) {
    if (RingtoneReports().Once(kMbtkCannotAdd)) ErrorMsg(kMbtkCannotAdd);
    return false;
  }
  events.push_back(std::move(event));
  return true;
}

void MobileTrack::AddNote(int32_t delta, int32_t voice, int32_t note, int32_t duration,
                          int32_t velocity) {
  auto e = std::make_unique<MobileEvent>(delta);
  e->status = kMobileNote;
  e->voice = voice;
  e->note = note;
  e->duration = duration;
  e->velocity = velocity;
  Append(std::move(e));
}

void MobileTrack::AddControl(int32_t delta, int32_t voice, uint32_t kind, int32_t value) {
  auto e = std::make_unique<MobileEvent>(delta);
  e->status = kMobileControl;
  e->voice = voice;
  e->number = kind;
  e->value = value;
  Append(std::move(e));
}

void MobileTrack::AddNop(int32_t delta) { Append(std::make_unique<MobileEvent>(delta)); }

void MobileTrack::AddEvent(const MobileEvent& event) {
  Append(std::make_unique<MobileEvent>(event));
}

int MobileTrack::IsVoiceEvent(const MusicEvent& e) {
  if (e.status == kMobileNote) return 1;
  if (e.status != kMobileControl) return 0;
  switch (e.number) {
    case 33: case 34: case 35: case 36: case 39: case 40: case 42: case 43:
    case 49: case 50: case 51: case 53: case 71:
      return 1;
    default:
      return 0;
  }
}

void MobileTrack::AddEventForVoice(int32_t voice, const MusicEvent& event) {
  Append(std::make_unique<MobileEvent>(event, IsVoiceEvent(event) ? voice : kAllVoices));
}

void MobileTrack::MergeChannel(int32_t voice, MobileEventList& voice_events) {
  const std::vector<int64_t> a_ticks = MobileEventTicks(events);
  const std::vector<int64_t> b_ticks = MobileEventTicks(voice_events);
  MobileEventList present;
  present.swap(events);
  events.reserve(present.size() + voice_events.size());
  size_t i = 0, j = 0;
  int64_t last_tick = 0;
  int32_t remembered_end = -1;
  while (i < present.size() || j < voice_events.size()) {
    // An End of Track added before the last one goes (the final one stays unexamined).
    if (!events.empty() && events.back()->IsControl(kKindEndOfTrack)) {
      const int32_t last = event_count() - 1;
      if (remembered_end >= 0 && remembered_end != last)
        events[remembered_end]->status = kMobileEmpty;
      remembered_end = last;
    }
    const bool take_present =
        j >= voice_events.size() || (i < present.size() && a_ticks[i] <= b_ticks[j]);
    std::unique_ptr<MobileEvent> e;
    int64_t tick;
    if (take_present) {
      tick = a_ticks[i];
      e = std::move(present[i++]);
    } else {
      tick = b_ticks[j];
      e = std::make_unique<MobileEvent>(*voice_events[j], kAllVoices);
      if (IsVoiceEvent(*e)) e->voice = voice;
      ++j;
    }
    e->delta = static_cast<int32_t>(tick - last_tick);
    last_tick = tick;
    if (!Append(std::move(e))) break;
  }
}

void MobileTrack::InsertEvent(int32_t at, int mode, std::unique_ptr<MobileEvent> event) {
  if (event_count() >= kMobileTrackEventLimit) {
    if (RingtoneReports().Once(kMbtkCannotAdd)) ErrorMsg(kMbtkCannotAdd);
    return;
  }
  int32_t pos = mode == 2 ? at : at + 1;
  pos = std::clamp(pos, 0, event_count());
  events.insert(events.begin() + pos, std::move(event));
}

void MobileTrack::InsertEventAtTime(int64_t tick, std::unique_ptr<MobileEvent> event) {
  if (event_count() >= kMobileTrackEventLimit) {
    if (RingtoneReports().Once(kMbtkCannotAdd)) ErrorMsg(kMbtkCannotAdd);
    return;
  }
  if (events.empty()) {
    event->delta = static_cast<int32_t>(tick);
    events.push_back(std::move(event));
    return;
  }
  int64_t t = 0;
  for (int32_t i = 0; i + 1 < event_count(); ++i) {
    const int64_t before = t;
    t += events[i]->delta;
    if (t < tick) continue;
    event->delta = static_cast<int32_t>(tick - before);
    events[i]->delta = static_cast<int32_t>(t - tick);
    events.insert(events.begin() + i, std::move(event));
    // Behind the other events of its tick, but in front of an end.
    int32_t k = i;
    while (k + 1 < event_count() && events[k + 1]->delta == 0 && !IsEnd(*events[k + 1])) {
      std::swap(events[k], events[k + 1]);
      std::swap(events[k]->delta, events[k + 1]->delta);
      ++k;
    }
    if (k == event_count() - 1) ErrorMsg(kMbtkCannotAdd);
    return;
  }
  // After every event but the last: in front of the last one.
  const int64_t before = t;
  MobileEvent& last = *events.back();
  event->delta = static_cast<int32_t>(std::max<int64_t>(0, tick - before));
  last.delta = std::max(0, last.delta - event->delta);
  events.insert(events.end() - 1, std::move(event));
}

void MobileTrack::DeleteEvent(int32_t at) {
  if (at < 0 || at >= event_count()) return;
  if (at + 1 < event_count()) events[at + 1]->delta += events[at]->delta;
  events.erase(events.begin() + at);
}

void MobileTrack::Compact() { CompactMobileEvents(events); }

void MobileTrack::DeleteStatusKind(uint32_t status, uint32_t kind) {
  for (auto& e : events)
    if (e->status == status && (status != kMobileControl || e->number == kind))
      e->status = kMobileEmpty;
  Compact();
}

void MobileTrack::DeleteVoice(int32_t voice) {
  for (auto& e : events)
    if (e->status != kMobileEmpty && e->voice == voice) e->status = kMobileEmpty;
  Compact();
}

void MobileTrack::KeepLastOfKind(uint32_t kind) {
  int32_t last = -1;
  for (int32_t i = 0; i < event_count(); ++i)
    if (events[i]->IsControl(kind)) last = i;
  if (last < 0) {
    ErrorMsg(kMbtkBadEnd);
    return;
  }
  for (int32_t i = 0; i < last; ++i)
    if (events[i]->IsControl(kind)) events[i]->status = kMobileEmpty;
  Compact();
}

void MobileTrack::RenameKind(uint32_t kind, uint32_t new_kind) {
  for (int32_t i = 0; i + 1 < event_count(); ++i)
    if (events[i]->IsControl(kind)) events[i]->number = new_kind;
}

void MobileTrack::SetKindValues(uint32_t status, uint32_t kind, int32_t value) {
  for (int32_t i = 0; i + 1 < event_count(); ++i)
    if (events[i]->status == status && events[i]->number == kind) events[i]->value = value;
}

int32_t MobileTrack::CountKindBeforeLast(uint32_t kind) const {
  int32_t n = 0;
  for (int32_t i = 0; i + 1 < event_count(); ++i) n += events[i]->IsControl(kind);
  return n;
}

int32_t MobileTrack::GetVoiceKindValue(int32_t voice, uint32_t kind) const {
  for (const auto& e : events)
    if (e->voice == voice && e->IsControl(kind)) return e->value;
  return -1;
}

int MobileTrack::GetVoiceKind(int32_t voice) const {
  for (const auto& e : events) {
    if (e->voice != voice || e->status != kMobileControl) continue;
    if ((e->number == kKindBankSelect && e->value == 128) ||
        (e->number == kKindVoiceType && e->value == 1))
      return 1;
  }
  return 2;
}

int MobileTrack::HasVoice(int32_t voice) const {
  for (const auto& e : events)
    if (e->voice == voice) return 1;
  return 0;
}

void MobileTrack::GetVoiceNoteRange(int32_t voice, int32_t* lowest, int32_t* highest) const {
  int32_t lo = 127, hi = 0;
  for (const auto& e : events)
    if (e->IsNote() && e->voice == voice) {
      lo = std::min(lo, e->note);
      hi = std::max(hi, e->note);
    }
  if (lowest) *lowest = lo;
  if (highest) *highest = hi;
}

int64_t MobileTrack::GetLength() const {
  int64_t t = 0;
  for (const auto& e : events) t += e->delta;
  return t;
}

int64_t MobileTrack::FindKindTime(uint32_t status, uint32_t kind) const {
  int64_t t = 0;
  for (const auto& e : events) {
    t += e->delta;
    if (e->status == status && (status != kMobileControl || e->number == kind)) return t;
  }
  return -1;
}

int32_t MobileTrack::FindEndOfTrack() const {
  for (int32_t i = 0; i < event_count(); ++i)
    if (events[i]->IsControl(kKindEndOfTrack)) return i;
  return 0;
}

int32_t MobileTrack::FindFirstNoteOrTempo() const {
  for (int32_t i = 0; i < event_count(); ++i)
    if (events[i]->IsNote() || events[i]->IsControl(kKindTempo)) return i;
  return 0;
}

int32_t MobileTrack::FindLastNote() const {
  for (int32_t i = event_count() - 1; i >= 0; --i)
    if (events[i]->IsNote()) return i;
  return 0;
}

void MobileTrack::ScaleVelocities(int32_t percent) {
  for (auto& e : events)
    if (e->IsNote())
      e->velocity = static_cast<int32_t>(std::min<int64_t>(127, int64_t{e->velocity} * percent / 100));
}

void MobileTrack::ScaleVolumes(int32_t percent) {
  for (auto& e : events)
    if (e->IsControl(kKindVolume))
      e->value = static_cast<int32_t>(std::min<int64_t>(127, int64_t{e->value} * percent / 100));
}

void MobileTrack::CutLeadIn(int32_t unit) {
  if (unit <= 0) return;  // no unit: nothing to cut
  const std::vector<int64_t> ticks = MobileEventTicks(events);
  int64_t first = ticks.empty() ? 0 : ticks.back();
  for (size_t i = 0; i < events.size(); ++i)
    if (events[i]->IsNote()) {
      first = ticks[i];
      break;
    }
  const int64_t cut = first - first % unit;
  bool placed = false;
  for (size_t i = 0; i < events.size(); ++i) {
    if (ticks[i] < cut) {
      events[i]->delta = 0;
    } else if (!placed) {
      events[i]->delta = static_cast<int32_t>(ticks[i] - cut);
      placed = true;
    }
  }
}

void MobileTrack::ConvertDivision(int32_t old_division, int32_t new_division) {
  if (old_division <= 0 || new_division <= 0) return;  // refused: no such division
  int64_t r = 0;
  for (auto& e : events) {
    const int64_t d = e->delta;
    const int64_t nd = int64_t{new_division} * (r + d) / old_division;
    r = r + d - int64_t{old_division} * nd / new_division;
    e->delta = static_cast<int32_t>(nd);
    e->duration = static_cast<int32_t>(int64_t{new_division} * e->duration / old_division);
  }
}

void MobileTrack::SwapEvents(int32_t a, int32_t b) {
  if (a < 0 || b < 0 || a >= event_count() || b >= event_count()) return;
  std::swap(events[a], events[b]);
  std::swap(events[a]->delta, events[b]->delta);
}

void MobileTrack::SwapVoices(int32_t a, int32_t b) {
  for (auto& e : events) {
    if (e->voice == a) {
      e->voice = b;
    } else if (e->voice == b) {
      e->voice = a;
    }
  }
  if (a >= 0 && b >= 0 && a < kMobileVoiceSlots && b < kMobileVoiceSlots)
    std::swap(voice_kinds[a], voice_kinds[b]);
}

void MobileTrack::MoveVoice(int32_t a, int32_t b) {
  for (auto& e : events)
    if (e->voice == a) e->voice = b;
  if (a >= 0 && b >= 0 && a < kMobileVoiceSlots && b < kMobileVoiceSlots)
    std::swap(voice_kinds[a], voice_kinds[b]);
}

void MobileTrack::ExtractVoice(int32_t voice, MobileChannel& target, int drum_note_flag) const {
  bool drum = false;
  int32_t drum_note = -1;
  for (const auto& e : events) {
    const bool take = e->voice == voice &&
                      (e->IsNote() || e->IsControl(kKindProgram) ||
                       e->IsControl(kKindVoiceType) || e->IsControl(kKindPitchBend));
    if (!take) {
      target.AddNop(e->delta);
      continue;
    }
    target.AddEvent(*e);
    MobileEvent& copy = *target.events.back();
    if (copy.IsNote()) {
      copy.velocity = 64;
      if (drum && drum_note_flag == 0 && drum_note >= 0) copy.note = drum_note;
    } else if (copy.IsControl(kKindVoiceType)) {
      if (copy.value == 1) {
        drum = true;
      } else {
        ErrorMsg(kMbtkBadDrum);
      }
    } else if (copy.IsControl(kKindProgram) && drum) {
      drum_note = copy.value;
    }
  }
  target.Compact();
}

void MobileTrack::Dump(const std::filesystem::path& path) const {
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (f == nullptr) {
    ErrorMsg(kMbtkFileOpen);
    return;
  }
  std::fputs("\r\nMobile Track Data\r\n", f);
  for (const auto& e : events) e->Dump(f);
  std::fclose(f);
}

void MobileTrack::DumpToFile() const { Dump(plat::UserDataFolder() / "DumpData.txt"); }
