// The mobile song: its voices, the song-wide operations and the arranging of voices.
#include <algorithm>
#include <utility>
#include <vector>

#include "export/ringtone/mobile.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "MBDT", "携帯用データでエラーが発生しました。",
      {{kMbdtDrumRange,
        "ドラムで指定されている音が35(バスドラ)～81(オープントライアングル)の範囲内にありません。範囲内に調整しました。"},
       {kMbdtInternal, "携帯用データで内部エラーが発生しました。"},
       {kMbdtTooManyVoices, "想定しているチャネル数を超えました。"},
       {kMbdtFileOpen, "ファイルオープンに失敗しました。"},
       {kMbdtTooManyToPlay, "演奏を行えるチャネル数を超えました。"},
       {kMbdtDataType, "携帯用データでデータタイプのエラーが発生しました。"},
       {0x05000007, "クリックの操作が速過ぎます。"},
       {kMbdtTooFast, "クリックの操作が速過ぎます。"},
       {kMbdtDrumChannel, "ドラムのチャネルでエラーがありました。"},
       {kMbdtBadTempo, "演奏しようとしているデータのテンポにエラーがありました。"},
       {kMbdtDrumNotTen, "着メロ変換の段階で、ドラムに１０以外のチャネルが指定されていました。"}},
      {kMbdtDrumRange});
  return reporter;
}

}  // namespace

void MobileData::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MobileData::WarnOnce(uint32_t code) {
  if (code == 0) {
    Reporter().ResetWarnings();
    return;
  }
  Reporter().Warning(code);
}

MobileData::MobileData(int32_t capacity_value) : capacity(capacity_value) {}

MobileData::MobileData(const MobileData& source, int32_t start, int32_t end,
                       int32_t capacity_value)
    : capacity(capacity_value),
      division(source.division),
      tempo(source.tempo),
      title(source.title),
      copyright(source.copyright),
      metre(source.metre) {
  for (int32_t i = 0; i < source.voice_count; ++i)
    AppendVoice(std::make_unique<MobileChannel>(*source.voices[i], start, end, capacity_value));
}

MobileData::MobileData(const MobileData& source, int32_t capacity_value)
    : capacity(capacity_value),
      division(source.division),
      tempo(source.tempo),
      title(source.title),
      copyright(source.copyright),
      metre(source.metre) {
  for (int32_t i = 0; i < source.voice_count; ++i)
    AppendVoice(std::make_unique<MobileChannel>(*source.voices[i], capacity_value));
}

MobileData::MobileData(const MobileTrack& track, int32_t capacity_value)
    : capacity(capacity_value) {
  std::vector<std::unique_ptr<MobileChannel>> all;
  for (int32_t i = 0; i < kMobileVoiceSlots; ++i) {
    all.push_back(std::make_unique<MobileChannel>(i, 0, capacity_value));
    all.back()->active = 0;
  }
  int64_t acc[16] = {};
  for (const auto& e : track.events) {
    for (auto& a : acc) a += e->delta;
    auto put = [&](int32_t v) {
      all[v]->AddEventWithDelta(*e, static_cast<int32_t>(acc[v]));
      acc[v] = 0;
      if (e->IsNote()) {
        all[v]->active = 1;
        if (all[v]->kind == 0) all[v]->kind = 2;
      } else if (e->IsControl(kKindVoiceType) && e->value == 1) {
        all[v]->kind = 1;
      }
    };
    if (e->voice == kAllVoices) {
      for (int32_t v = 0; v < 16; ++v) put(v);
    } else if (e->voice >= 0 && e->voice < 16) {
      put(e->voice);
    } else {
      if (RingtoneReports().Once(kMbdtInternal)) ErrorMsg(kMbdtInternal);
    }
  }
  for (auto& v : all)
    if (v->active) AppendVoice(std::move(v));
}

MobileData::~MobileData() = default;

void MobileData::ClearVoices() {
  for (auto& v : voices) v.reset();
  voice_count = 0;
}

bool MobileData::AppendVoice(std::unique_ptr<MobileChannel> voice) {
  if (voice_count >= kMobileVoiceSlots) {
    if (RingtoneReports().Once(kMbdtTooManyVoices)) ErrorMsg(kMbdtTooManyVoices);
    return false;
  }
  voices[voice_count++] = std::move(voice);
  return true;
}

MobileChannel* MobileData::AddChannel(int32_t index, int32_t kind) {
  auto voice = std::make_unique<MobileChannel>(index, kind, kMobileCapacity);
  voice->AddEndOfTrack();
  MobileChannel* raw = voice.get();
  return AppendVoice(std::move(voice)) ? raw : nullptr;
}

std::vector<MobileChannel*> MobileData::ActiveVoices() const {
  std::vector<MobileChannel*> out;
  for (int32_t i = 0; i < voice_count; ++i)
    if (voices[i] && voices[i]->active == 1) out.push_back(voices[i].get());
  return out;
}

void MobileData::AddFourChannels(const MobileTrack& track) { AddFourVoices(track, false); }

void MobileData::AddFourVoices(const MobileTrack& track, bool by_channel) {
  const int32_t first = voice_count;
  MobileChannel* targets[4] = {};
  for (int32_t k = 0; k < 4; ++k) {
    auto voice = std::make_unique<MobileChannel>(first + k, 0, kMobileCapacity);
    targets[k] = voice.get();
    if (!AppendVoice(std::move(voice))) targets[k] = nullptr;
  }
  int64_t acc[4] = {};
  for (const auto& e : track.events) {
    for (auto& a : acc) a += e->delta;
    auto put = [&](int32_t v) {
      if (targets[v] == nullptr) return;
      if (!by_channel && e->IsControl(kKindVoiceType)) targets[v]->kind = e->value == 1 ? 1 : 2;
      targets[v]->AddEventWithDelta(*e, static_cast<int32_t>(acc[v]));
      acc[v] = 0;
    };
    if (e->voice == kAllVoices) {
      for (int32_t v = 0; v < 4; ++v) put(v);
    } else if (e->voice >= 0 && (by_channel || e->voice < 4)) {
      put(e->voice % 4);
    } else if (RingtoneReports().Once(kMbdtInternal)) {
      ErrorMsg(kMbdtInternal);  // the event is dropped; its time stays in the accumulators
    }
  }
  // A voice that only ever received song-wide events is melodic unless marked otherwise.
  if (!by_channel)
    for (auto* v : targets)
      if (v && v->kind == 0) v->kind = 2;
}

void MobileData::ResolveDuplicates(uint32_t kind, int32_t initial_state) {
  int32_t state = initial_state;
  for (int32_t i = 0; i < voice_count; ++i) voices[i]->ResolveDuplicates(kind, state);
}

void MobileData::DeleteBendRanges() {
  for (int32_t i = 0; i < voice_count; ++i) voices[i]->DeleteBendRanges();
}

void MobileData::DeleteZeroLengthNotes() {
  for (int32_t i = 0; i < voice_count; ++i) voices[i]->DeleteZeroLengthNotes();
}

void MobileData::KeepLastLeadingTempos() {
  for (int32_t i = 0; i < voice_count; ++i) voices[i]->KeepLastLeadingTempo();
}

void MobileData::DeletePitchBends() {
  for (int32_t i = 0; i < voice_count; ++i) voices[i]->DeleteKind(kKindPitchBend);
}

void MobileData::DeleteOverlappingNotes() {
  for (int32_t i = 0; i < voice_count; ++i) {
    MobileChannel& v = *voices[i];
    int64_t remaining = 0;
    for (auto& e : v.events) {
      remaining = std::max<int64_t>(0, remaining - e->delta);
      if (!e->IsNote()) continue;
      if (remaining >= 1) {
        e->status = kMobileEmpty;
      } else {
        remaining = e->duration;
      }
    }
    v.Compact();
  }
}

int64_t MobileData::FindKindTime(uint32_t status, uint32_t kind) const {
  if (voice_count == 0) return 0;
  for (int32_t i = 0; i < voice_count; ++i) {
    int64_t t = 0;
    for (const auto& e : voices[i]->events) {
      t += e->delta;
      if (e->status == status && (status != kMobileControl || e->number == kind)) return t;
    }
  }
  return -1;
}

int32_t MobileData::GetMasterVolume() const {
  for (uint32_t kind : {uint32_t{kKindMidiMasterVolume}, uint32_t{kKindMasterVolume}})
    for (int32_t i = 0; i < voice_count; ++i) {
      const int32_t v = voices[i]->GetKindValue(kind);
      if (v >= 0) return v;
    }
  return -1;
}

int32_t MobileData::CountDrumChannels() const {
  int32_t n = 0;
  for (int32_t i = 0; i < voice_count; ++i) n += voices[i]->kind == 1;
  return n;
}

int32_t MobileData::CountKind(uint32_t status, uint32_t kind) const {
  int32_t n = 0;
  for (int32_t i = 0; i < voice_count; ++i) n += voices[i]->CountKind(status, kind);
  return n;
}

int32_t MobileData::GetBarLength() const {
  const int32_t numerator = (metre >> 8) & 0xFF;
  const int32_t denominator = metre & 0xFF;
  if (metre == 0 || division <= 0 || denominator == 0) return 384;
  // Multiplied first: 4 / 8 would be 0 in integers.
  const int64_t length = int64_t{4} * numerator * division / denominator;
  return length > 0 && length <= INT32_MAX ? static_cast<int32_t>(length) : 384;
}

int32_t MobileData::GetBarCount() const {
  const int32_t unit = GetBarLength();
  int32_t most = 0;
  for (int32_t i = 0; i < voice_count; ++i) most = std::max(most, voices[i]->GetLengthInUnits(unit));
  return most;
}

int MobileData::GetMaxPolyphony() const {
  // Note starts (+1) and ends (-1) of every active voice; at one tick the ends
  // come first.
  std::vector<std::pair<int64_t, int>> edges;
  for (int32_t i = 0; i < voice_count; ++i) {
    const MobileChannel* v = voices[i].get();
    if (v == nullptr || v->active != 1) continue;
    int64_t tick = 0;
    for (const auto& e : v->events) {
      tick += std::max<int32_t>(e->delta, 0);
      if (!e->IsNote() || e->duration <= 0) continue;
      edges.push_back({tick, 1});
      edges.push_back({tick + e->duration, -1});
    }
  }
  std::sort(edges.begin(), edges.end());
  int sounding = 0;
  int most = 0;
  for (const auto& edge : edges) {
    sounding += edge.second;
    most = std::max(most, sounding);
  }
  return most;
}

// ---- arranging voices ----

namespace {

int32_t FirstProgram(const MobileChannel& v) { return v.GetKindValue(kKindProgram); }

}  // namespace

void MobileData::OrderDrumChannels() {
  for (int32_t program : {38, 35, 42}) {
    std::vector<std::unique_ptr<MobileChannel>> front, rest;
    for (int32_t i = 0; i < voice_count; ++i) {
      if (voices[i]->kind == 1 && FirstProgram(*voices[i]) == program) {
        front.push_back(std::move(voices[i]));
      } else {
        rest.push_back(std::move(voices[i]));
      }
    }
    int32_t k = 0;
    for (auto& v : front) voices[k++] = std::move(v);
    for (auto& v : rest) voices[k++] = std::move(v);
  }
}

void MobileData::MoveRepeatedProgramsLast() {
  int32_t end = voice_count;  // voices from here on were moved and are not visited again
  for (int32_t i = 0; i < end;) {
    MobileChannel& v = *voices[i];
    bool repeated = false;
    if (v.kind != 1) {
      const int32_t p = FirstProgram(v);
      for (int32_t j = 0; j < i; ++j)
        if (voices[j]->kind != 1 && FirstProgram(*voices[j]) == p) repeated = true;
    }
    if (!repeated) {
      ++i;
      continue;
    }
    std::unique_ptr<MobileChannel> moved = std::move(voices[i]);
    for (int32_t j = i; j + 1 < voice_count; ++j) voices[j] = std::move(voices[j + 1]);
    voices[voice_count - 1] = std::move(moved);
    --end;
  }
}

void MobileData::KeepChannels(int32_t count, int drum_flag) {
  if (drum_flag == 1)
    for (int32_t i = 0; i < voice_count; ++i)
      if (voices[i]->kind == 1) voices[i]->active = 0;
  int32_t seen = 0;
  for (int32_t i = 0; i < voice_count; ++i) {
    if (!voices[i]->active) continue;
    if (seen >= count) {
      voices[i]->active = 0;
    } else {
      ++seen;
    }
  }
}

void MobileData::DeleteLaterTempos() {
  bool first_seen = false;
  for (int32_t i = 0; i < voice_count; ++i) {
    if (!first_seen) {
      first_seen = voices[i]->active == 1;
      continue;
    }
    voices[i]->DeleteTempos();
  }
}

void MobileData::InsertTempos(const std::vector<std::pair<int32_t, int32_t>>& tempos) {
  for (const auto& [tick, value] : tempos)
    for (int32_t i = 0; i < voice_count; ++i) voices[i]->InsertTempoAt(tick, value);
}

void MobileData::SortChannelsByEventCount() {
  for (int32_t i = 0; i < voice_count; ++i)
    for (int32_t j = i + 1; j < voice_count; ++j)
      if (voices[j]->event_count() > voices[i]->event_count()) std::swap(voices[i], voices[j]);
}

void MobileData::MoveDrumChannelsFirst() {
  for (int32_t i = 0; i < voice_count; ++i)
    for (int32_t j = i + 1; j < voice_count; ++j)
      if (voices[j]->kind == 1) std::swap(voices[i], voices[j]);
}
