// MA-1 data and its mail text.
#include "export/ringtone/ma1.h"

#include <algorithm>
#include <cstring>

#include "export/ringtone/voice_tables.h"
#include "util/byte_cursor.h"
#include "util/gne.h"
#include "util/module_error.h"

namespace {

ModuleErrorReporter& Reporter() {
  static ModuleErrorReporter reporter(
      "A1DT", "Ma1データでエラーが発生しました。",
      {{kA1dtTooLarge, "MA1で扱えるデータサイズを超えています。"},
       {kA1dtInternal, "MA1の処理で内部エラーが発生しました。"},
       {kA1dtRange, "音域が変換可能な範囲内にありません。範囲内に調整しました。"}},
      {kA1dtRange});
  return reporter;
}

constexpr int32_t kSteps[] = {0, 2, 3, 4, 6, 8, 9, 12, 16, 18, 24, 36, 48};
constexpr int kStepCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 12, 8, 13, 14, 10};
constexpr int kStepLong[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 1};

void ReportOnce(uint32_t code) {
  if (RingtoneReports().Once(code)) Ma1Data::ErrorMsg(code);
}

}  // namespace

void Ma1Data::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void Ma1Data::Warn(uint32_t code) {
  if (code == 0) {
    Reporter().ResetWarnings();
    return;
  }
  Reporter().Warning(code);
}

int Ma1Data::StepCode(int32_t step, int* long_class) {
  for (size_t i = 0; i < std::size(kSteps); ++i)
    if (kSteps[i] == step) {
      if (long_class) *long_class = kStepLong[i];
      return kStepCodes[i];
    }
  if (long_class) *long_class = 0;
  return -1;
}

int Ma1Data::DurationCode(int32_t d, int long_class) {
  if (d <= 0) return 0;
  if (long_class == 0) {
    if (d < 3) return 0;
    if (d == 3) return 1;
    if (d == 4) return 2;
    if (d <= 6) return 3;
    if (d <= 8) return 4;
    if (d == 9) return 5;
    if (d <= 12) return 6;
    return 7;
  }
  if (d <= 16) return 0;
  if (d <= 24) return 1;
  if (d <= 30) return 2;
  if (d <= 33) return 3;
  if (d <= 36) return 4;
  if (d <= 42) return 5;
  return 6;
}

int Ma1Data::PitchCode(int32_t m) {
  static const int kCodes[12] = {15, 1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14};
  return kCodes[((m % 12) + 12) % 12];
}

void Ma1Data::VolumeCode(int32_t v, uint8_t* out) {
  struct Row {
    int32_t high;
    uint8_t a, b;
  };
  static const Row kRows[] = {{0, 0x8F, 0xF0},   {40, 0x8D, 0xB0},  {60, 0x8D, 0x10},
                              {65, 0x8D, 0x00},  {67, 0x8C, 0xF0},  {70, 0x8C, 0xE0},
                              {80, 0x8C, 0xB0},  {109, 0x8C, 0x40}, {114, 0x8C, 0x30},
                              {119, 0x8C, 0x20}, {124, 0x8C, 0x10}, {127, 0x8C, 0x00}};
  if (v < 0 || v > 127) return;  // nothing written
  for (const Row& r : kRows)
    if (v <= r.high) {
      out[0] = r.a;
      out[1] = r.b;
      return;
    }
}

int32_t Ma1Data::OctaveShiftOfProgram(int32_t p) {
  static const int kDown12[] = {6,  10, 12, 19, 20, 21, 22, 40, 45, 48, 49,  50,
                                51, 56, 64, 73, 74, 75, 79, 80, 98, 106, 113, 115};
  static const int kDown24[] = {8, 9, 13, 31, 72};
  static const int kUp12[] = {42, 43, 47, 58, 67, 70, 116, 118, 119};
  if (std::find(std::begin(kDown12), std::end(kDown12), p) != std::end(kDown12)) return -12;
  if (std::find(std::begin(kDown24), std::end(kDown24), p) != std::end(kDown24)) return -24;
  if ((p >= 32 && p <= 39) || std::find(std::begin(kUp12), std::end(kUp12), p) != std::end(kUp12))
    return 12;
  return 0;
}

Ma1Data::~Ma1Data() = default;

Ma1Data::Ma1Data(int32_t division, const MobileTrack& source)
    : MusicData(0x60000), track(std::make_unique<MobileTrack>(source, 0x60000)) {
  RingtoneReports().Reset();
  Warn(0);
  if (division <= 0) {
    ErrorMsg(kA1dtInternal);  // no division to convert from
    return;
  }
  track->DeleteKind(kKindEndOfTrack);
  track->ConvertDivision(division, 12);
  for (int v = 0; v < 4; ++v) {
    int32_t lowest = 127;
    track->GetVoiceNoteRange(v, &lowest, nullptr);
    octave_bases[v] = lowest < 49 ? 0 : lowest <= 60 ? 1 : lowest <= 72 ? 2 : 3;
  }
  uint8_t header[kMa1HeaderSize] = {};
  WriteVoiceHeader(header);
  ShiftOctavesByProgram();
  // Only notes are written: every other event hands its delta to the event after it.
  for (auto& e : track->events) {
    if (!e->IsNote()) {
      e->status = kMobileEmpty;
    } else if (e->voice < 0 || e->voice > 3) {
      ReportOnce(kA1dtInternal);  // four voices only
      e->status = kMobileEmpty;
    } else if (e->duration > 48) {
      e->duration = 48;
    }
  }
  track->Compact();
  if (!Quantise()) return;
  const int64_t size = kMa1HeaderSize + 2 * int64_t{track->event_count()};
  if (size > kMa1MaxSize) {
    ErrorMsg(kA1dtTooLarge);
    return;
  }
  ByteWriter out(buffer, static_cast<size_t>(capacity));
  out.Bytes(header, kMa1HeaderSize);
  for (int32_t i = 0; i < track->event_count(); ++i) {
    const MobileEvent& e = *track->events[i];
    const int32_t step = i + 1 < track->event_count() ? track->events[i + 1]->delta : e.duration;
    out.U8(NoteByte(e));
    out.U8(LengthByte(e, step));
  }
  used_size = static_cast<int32_t>(out.pos());
  ByteWriter(buffer, 2).U16Be(static_cast<uint32_t>(used_size));
}

void Ma1Data::WriteVoiceHeader(uint8_t* header) {
  for (int v = 0; v < 4; ++v) {
    uint8_t* r = header + 2 + 8 * v;
    const int32_t program = std::clamp(track->GetVoiceKindValue(v, kKindProgram), 0, 127);
    if (track->GetVoiceKindValue(v, kKindVoiceType) == 1) {
      ErrorMsg(kA1dtInternal);
    } else {
      std::memcpy(r, Ma1VoiceRow(program), 6);
      const uint8_t* pair = Ma1OctaveRow(program) + 2 * octave_bases[v];
      r[0] = static_cast<uint8_t>(r[0] | (pair[0] * 32));
      r[4] = static_cast<uint8_t>(r[4] | (pair[1] * 32));
    }
    const int32_t volume = track->GetVoiceKindValue(v, kKindVolume);
    VolumeCode(volume < 0 ? 127 : volume, r + 6);
  }
  uint8_t* tail = header + 66;
  tail[0] = 0x32;
  tail[1] = 0x10;
  tail[2] = 0x00;
  tail[3] = 0x47;
}

void Ma1Data::ShiftOctavesByProgram() {
  for (int v = 0; v < 4; ++v) {
    const int32_t program = track->GetVoiceKindValue(v, kKindProgram);
    if (program < 0 || track->GetVoiceKindValue(v, kKindVoiceType) == 1) continue;
    const int32_t shift = OctaveShiftOfProgram(program);
    if (shift == 0) continue;
    for (auto& e : track->events) {
      if (!e->IsNote() || e->voice != v) continue;
      e->note += shift;
      if (e->note < 0 || e->note > 127) {
        e->note = std::clamp(e->note, 0, 127);
        Warn(kA1dtRange);
      }
    }
  }
}

bool Ma1Data::Quantise() {
  auto& ev = track->events;
  // 1. Deltas above 48 become rests of 48 before the event (counted first).
  int64_t rests = 0;
  for (const auto& e : ev)
    if (e->delta > 48) rests += (int64_t{e->delta} - 1) / 48;
  if (kMa1HeaderSize + 2 * (rests + int64_t(ev.size())) > kMa1MaxSize) {
    ErrorMsg(kA1dtTooLarge);
    return false;
  }
  MobileEventList split;
  split.reserve(ev.size() + static_cast<size_t>(rests));
  for (auto& e : ev) {
    while (e->delta > 48) {
      auto rest = std::make_unique<MobileEvent>(*e);
      rest->delta = 48;
      rest->duration = 0;
      split.push_back(std::move(rest));
      e->delta -= 48;
    }
    split.push_back(std::move(e));
  }
  ev.swap(split);
  // 2. Steps on the table, the remainder carried.
  int64_t carry = 0;
  for (auto& e : ev) {
    const int64_t want = e->delta + carry;
    int32_t step = 0;
    for (int32_t s : kSteps)
      if (s <= want) step = s;
    carry = want - step;
    e->delta = step;
  }
  // 3. The last duration on the table.
  if (!ev.empty() && ev.back()->duration > 0) {
    for (int32_t s : kSteps)
      if (s >= ev.back()->duration) {
        ev.back()->duration = s;
        break;
      }
  }
  // 4. A rest directly followed by an event at the same tick goes.
  for (size_t i = 0; i + 1 < ev.size(); ++i)
    if (ev[i]->duration == 0 && ev[i + 1]->delta == 0) ev[i]->status = kMobileEmpty;
  track->Compact();
  // 5. One note per voice per tick.
  bool marked[4] = {};
  for (auto& e : ev) {
    if (e->delta != 0) std::fill(std::begin(marked), std::end(marked), false);
    const int v = e->voice & 3;
    if (marked[v]) {
      e->status = kMobileEmpty;
    } else {
      marked[v] = true;
    }
  }
  track->Compact();
  return true;
}

uint8_t Ma1Data::NoteByte(const MobileEvent& e) {
  const int v = e.voice & 3;
  if (e.duration == 0) return static_cast<uint8_t>(v + 0x30);
  const bool drum = track->GetVoiceKindValue(v, kKindVoiceType) == 1;
  const int32_t base = drum ? 22 : octave_bases[v] * 12 + 24;
  int32_t distance = e.note - base;
  if (distance < 0) {
    distance = 11 - ((-distance - 1) % 12);
    Warn(kA1dtRange);
  }
  int32_t octave = distance / 12 - (distance % 12 == 0 ? 1 : 0);
  if (octave < 1) octave = 1;
  if (octave > 3) {
    octave = 3;
    Warn(kA1dtRange);
  }
  return static_cast<uint8_t>(v + PitchCode(distance % 12) * 4 + octave * 64);
}

uint8_t Ma1Data::LengthByte(const MobileEvent& e, int32_t step) {
  int long_class = 0;
  int code = StepCode(step, &long_class);
  if (code < 0) {
    ReportOnce(kA1dtInternal);
    code = 0;
  }
  return static_cast<uint8_t>(DurationCode(e.duration, long_class) + code * 8);
}

char Base64Char(int value) { return GneBase64Digit(value & 63); }

int EncodeMelodyMailText(const uint8_t* bytes, size_t count, char* text, size_t room,
                         int* text_length) {
  const size_t needed = 7 + 4 * ((count + 2) / 3);
  if (text_length) *text_length = 0;
  if (text == nullptr || room < needed) return 0;
  std::memcpy(text, "--B:M\r\n", 7);
  const std::string b64 = GneEncodeBase64(bytes, count);
  std::memcpy(text + 7, b64.data(), b64.size());
  if (text_length) *text_length = static_cast<int>(7 + b64.size());
  return 1;
}
