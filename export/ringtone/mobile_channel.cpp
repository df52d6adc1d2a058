// One voice of the mobile song: a time-ordered list of notes and control events.
#include <algorithm>
#include <set>

#include "export/ringtone/mobile.h"
#include "util/gne.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "MBCD", "携帯用のチャネルデータでエラーが発生しました。",
      {{kMbcdInternal, "携帯用のチャネルデータで内部エラーが発生しました。"},
       {kMbcdBadNote, "演奏情報にエラーが発生しました。"}});
  return reporter;
}

const char* QuestionOf(uint32_t kind) {
  switch (kind) {
    case kKindVolume:
      return "１つのボイスに対して複数のボリュームが設定されています。\r後のほうのボリュームを削除しますか？\r(曲の途中で音量を変えたい場合は「キャンセル」を選択してください。))";
    case kKindTempo:
      return "複数のテンポが設定されています。\r後のほうのテンポを削除しますか？\r(曲の途中でテンポを変えたい場合は「キャンセル」を選択してください。\rただし、機種によっては正しく再生されないことがあります。)";
    default:
      return "１つのボイスに対して複数のプログラムチェンジが設定されています。\r後のほうのプログラムチェンジを削除しますか？\r(曲の途中で音色を変えたい場合は「キャンセル」を選択してください。))";
  }
}

std::unique_ptr<MobileEvent> MakeControl(int32_t delta, uint32_t kind, int32_t value) {
  return NewMobileControl(delta, kAllVoices, kind, value);
}

}  // namespace

std::unique_ptr<MobileEvent> NewMobileControl(int32_t delta, int32_t voice, uint32_t kind,
                                              int32_t value) {
  auto e = std::make_unique<MobileEvent>(delta);
  e->status = kMobileControl;
  e->voice = voice;
  e->number = kind;
  e->value = value;
  return e;
}

std::vector<int64_t> MobileEventTicks(const MobileEventList& events) {
  std::vector<int64_t> ticks(events.size());
  int64_t t = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    t += events[i]->delta;
    ticks[i] = t;
  }
  return ticks;
}

bool RingtoneReportState::Once(uint32_t code) {
  if (std::find(shown.begin(), shown.end(), code) != shown.end()) return false;
  shown.push_back(code);
  return true;
}

RingtoneReportState& RingtoneReports() {
  static RingtoneReportState state;
  return state;
}

void MobileChannel::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

MobileChannel::MobileChannel(int32_t index_value, int32_t kind_value, int32_t capacity_value)
    : capacity(capacity_value), index(index_value), kind(kind_value) {}

MobileChannel::MobileChannel(const MobileChannel& source, int32_t capacity_value)
    : capacity(capacity_value), index(source.index), kind(source.kind) {
  CopyFrom(source);
}

MobileChannel::MobileChannel(const MobileChannel& source, int32_t start, int32_t end,
                             int32_t capacity_value)
    : capacity(capacity_value), index(source.index), kind(source.kind), active(source.active) {
  int64_t t = 0;
  bool first = true;
  for (const auto& e : source.events) {
    t += e->delta;
    const bool end_marker = e->IsControl(kKindEndOfTrack);
    if ((t >= start && t < end) || (t == end && end_marker)) {
      auto copy = std::make_unique<MobileEvent>(*e);
      if (first) copy->delta = static_cast<int32_t>(t - start);
      first = false;
      if (copy->IsNote() && t + copy->duration > end)
        copy->duration = static_cast<int32_t>(end - t);
      events.push_back(std::move(copy));
      continue;
    }
    if (e->IsNote() || t > end || e->status != kMobileControl || end_marker) continue;
    // A setting in force before the excerpt (or at its end) applies from its start.
    auto copy = std::make_unique<MobileEvent>(*e);
    copy->delta = 0;
    events.push_back(std::move(copy));
  }
  if (!HasEndOfTrack()) AddEndOfTrack();
}

void MobileChannel::CopyFrom(const MobileChannel& source) {
  index = source.index;
  kind = source.kind;
  active = source.active;
  events.clear();
  events.reserve(source.events.size());
  for (const auto& e : source.events) events.push_back(std::make_unique<MobileEvent>(*e));
}

void MobileChannel::AddNote(int32_t delta, int32_t note, int32_t duration, int32_t velocity) {
  if (note < 0 || note > 127) {
    if (RingtoneReports().Once(kMbcdBadNote)) ErrorMsg(kMbcdBadNote);
  }
  auto e = std::make_unique<MobileEvent>(delta);
  e->status = kMobileNote;
  e->note = note;
  e->duration = duration;
  e->velocity = velocity;
  events.push_back(std::move(e));
}

void MobileChannel::AddControl(int32_t delta, uint32_t kind_value, int32_t value) {
  events.push_back(MakeControl(delta, kind_value, value));
}

void MobileChannel::InsertControl(int32_t at, int32_t delta, uint32_t kind_value, int32_t value) {
  InsertEvent(at, 2, MakeControl(delta, kind_value, value));
}

void MobileChannel::AddNop(int32_t delta) { events.push_back(std::make_unique<MobileEvent>(delta)); }

void MobileChannel::AddEvent(const MusicEvent& event) {
  events.push_back(std::make_unique<MobileEvent>(event, kAllVoices));
}

void MobileChannel::AddEventWithDelta(const MusicEvent& event, int32_t delta) {
  AddEvent(event);
  events.back()->delta = delta;
}

void MobileChannel::InsertEvent(int32_t at, int mode, std::unique_ptr<MobileEvent> event) {
  int32_t pos = mode == 2 ? at : at + 1;
  pos = std::clamp(pos, 0, event_count());
  events.insert(events.begin() + pos, std::move(event));
}

void MobileChannel::InsertTempoAt(int64_t tick, int32_t tempo_value) {
  int64_t t = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    const int64_t before = t;
    t += events[i]->delta;
    if (t < tick) continue;
    auto e = MakeControl(static_cast<int32_t>(tick - before), kKindTempo, tempo_value);
    events[i]->delta = static_cast<int32_t>(t - tick);
    events.insert(events.begin() + static_cast<long>(i), std::move(e));
    break;
  }
  // A start point always precedes a tempo at its tick.
  for (size_t i = 0; i + 1 < events.size(); ++i) {
    MobileEvent& a = *events[i];
    MobileEvent& b = *events[i + 1];
    if (a.IsControl(kKindTempo) && b.delta == 0 && b.IsControl(kKindStartStop) && b.value == 0)
      SwapEvents(static_cast<int32_t>(i), static_cast<int32_t>(i + 1));
  }
}

void MobileChannel::SetLastNoteLength(int32_t ticks) {
  int64_t after = 0;
  for (int32_t i = event_count() - 1; i >= 0; --i) {
    if (events[i]->IsNote()) {
      events[i]->duration = static_cast<int32_t>(std::min<int64_t>(ticks + after, INT32_MAX));
      return;
    }
    after += events[i]->delta;
  }
}

void MobileChannel::DeleteEvent(int32_t at) {
  if (at < 0 || at >= event_count()) return;
  if (at + 1 < event_count()) events[at + 1]->delta += events[at]->delta;
  events.erase(events.begin() + at);
}

void MobileChannel::Compact() { CompactMobileEvents(events); }

void CompactMobileEvents(MobileEventList& events) {
  MobileEventList kept;
  kept.reserve(events.size());
  int64_t carry = 0;
  for (auto& e : events) {
    if (e->status == kMobileEmpty) {
      carry += e->delta;
      continue;
    }
    e->delta = static_cast<int32_t>(std::min<int64_t>(e->delta + carry, INT32_MAX));
    carry = 0;
    kept.push_back(std::move(e));
  }
  events.swap(kept);
}

int MobileChannel::TruncateAt(int32_t at) {
  int had_note = 0;
  for (int32_t i = std::max(at, 0); i < event_count(); ++i)
    if (events[i]->IsNote()) had_note = 1;
  if (at >= 0 && at < event_count()) events.erase(events.begin() + at, events.end());
  return had_note;
}

void MobileChannel::DeleteZeroLengthNotes() {
  for (auto& e : events)
    if (e->IsNote() && e->duration == 0) e->status = kMobileEmpty;
  Compact();
}

void MobileChannel::DeleteKind(uint32_t kind_value) {
  for (auto& e : events)
    if (e->IsControl(kind_value)) e->status = kMobileEmpty;
  Compact();
}

void MobileChannel::KeepLastLeadingTempo() {
  const int32_t first = FindFirstNote(1);
  if (first < 0) return;
  int32_t group_end = first;
  while (group_end + 1 < event_count() && events[group_end + 1]->delta == 0) ++group_end;
  int32_t last_tempo = -1;
  for (int32_t i = 0; i <= group_end; ++i)
    if (events[i]->IsControl(kKindTempo)) last_tempo = i;
  if (last_tempo < 0) return;
  for (int32_t i = 0; i < last_tempo; ++i)
    if (events[i]->IsControl(kKindTempo)) events[i]->status = kMobileEmpty;
  Compact();
}

void MobileChannel::ResolveDuplicates(uint32_t kind_value, int32_t& state) {
  bool have = false;
  int32_t current = 0;
  for (auto& e : events) {
    if (!e->IsControl(kind_value)) continue;
    if (!have) {
      have = true;
      current = e->value;
      continue;
    }
    if (e->value == current) {
      e->status = kMobileEmpty;
      continue;
    }
    if (state == 1) state = GneConfirmBox(QuestionOf(kind_value)) == 2 ? 3 : 2;
    if (state == 3) {
      current = e->value;
    } else {
      e->status = kMobileEmpty;
    }
  }
  Compact();
}

int MobileChannel::HasEndOfTrack() const {
  for (const auto& e : events)
    if (e->IsControl(kKindEndOfTrack)) return 1;
  return 0;
}

namespace {

// Walks the notes with the remaining time of each note number; `visit` sees every event
// after the times have dropped by its delta.
template <class Visit>
void WalkRemaining(const MobileEventList& events, Visit visit) {
  int64_t remaining[128] = {};
  for (const auto& e : events) {
    for (auto& r : remaining) r = std::max<int64_t>(0, r - e->delta);
    if (!visit(*e, remaining)) return;
  }
}

}  // namespace

int MobileChannel::HasSamePitchOverlap() const {
  int found = 0;
  WalkRemaining(events, [&](const MobileEvent& e, int64_t* remaining) {
    if (!e.IsNote()) return true;
    if (e.note < 0 || e.note > 127) {
      if (RingtoneReports().Once(kMbcdBadNote)) ErrorMsg(kMbcdBadNote);
      return true;
    }
    if (remaining[e.note] > 0) {
      found = 1;
      return false;
    }
    remaining[e.note] = e.duration;
    return true;
  });
  return found;
}

int MobileChannel::GetMaxPolyphony() const {
  int most = 0;
  WalkRemaining(events, [&](const MobileEvent& e, int64_t* remaining) {
    if (e.IsNote() && e.note >= 0 && e.note <= 127) remaining[e.note] = e.duration;
    int n = 0;
    for (int k = 0; k < 128; ++k) n += remaining[k] > 0;
    most = std::max(most, n);
    return true;
  });
  return most;
}

int MobileChannel::CountDistinctNotes() const {
  std::set<int32_t> notes;
  for (const auto& e : events)
    if (e->IsNote()) notes.insert(e->note);
  return static_cast<int>(notes.size());
}

int MobileChannel::GetMaxVelocity() const {
  int most = 0;
  for (const auto& e : events)
    if (e->IsNote()) most = std::max(most, e->velocity);
  return most;
}

int64_t MobileChannel::GetLength() const {
  int64_t t = 0;
  for (const auto& e : events) t += e->delta;
  return t;
}

int32_t MobileChannel::GetLengthInUnits(int32_t unit) const {
  if (unit <= 0) return 0;  // no unit to count in
  const int64_t total = GetLength();
  int64_t length = total;
  int64_t t = 0;
  int64_t last_start = -1, last_duration = 0;
  for (const auto& e : events) {
    t += e->delta;
    if (e->IsNote()) {
      last_start = t;
      last_duration = e->duration;
    }
  }
  if (last_start >= 0 && last_start == total) length = total + last_duration;
  if (last_start < 0 && total == unit) return 2;
  return static_cast<int32_t>((length + unit - 1) / unit);
}

int32_t MobileChannel::FindFirstNote(int mode) const {
  if (mode != 1) {
    if (!events.empty() && RingtoneReports().Once(kMbcdInternal)) ErrorMsg(kMbcdInternal);
  }
  for (int32_t i = 0; i < event_count(); ++i)
    if (events[i]->IsNote()) return i;
  return -1;
}

int32_t MobileChannel::GetKindValue(uint32_t kind_value) const {
  for (const auto& e : events)
    if (e->IsControl(kind_value)) return e->value;
  return -1;
}

int MobileChannel::SetKindValue(uint32_t kind_value, int32_t value) {
  for (auto& e : events)
    if (e->IsControl(kind_value)) {
      e->value = value;
      return 1;
    }
  return 0;
}

int32_t MobileChannel::CountKind(uint32_t status, uint32_t kind_value) const {
  int32_t n = 0;
  for (const auto& e : events)
    if (e->status == status && e->number == kind_value) ++n;
  return n;
}

void MobileChannel::ScaleVelocities(double factor) {
  for (auto& e : events)
    if (e->IsNote()) e->velocity = std::min(127, static_cast<int32_t>(e->velocity * factor));
}

void MobileChannel::SwapEvents(int32_t a, int32_t b) {
  if (a < 0 || b < 0 || a >= event_count() || b >= event_count()) return;
  std::swap(events[a], events[b]);
  std::swap(events[a]->delta, events[b]->delta);
}

void MobileChannel::Dump(std::FILE* file) const {
  std::fprintf(file, "\r\nChanel Data%d\r\n", index);
  for (const auto& e : events) e->Dump(file);
}
