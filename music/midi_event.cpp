#include "music/midi_event.h"

#include <cstring>
#include <string>

#include "music/sysex_kind.h"
#include "util/gne.h"
#include "util/gne_music.h"
#include "util/gne_pitch.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "MDEV", "MidiEventでエラーが発生しました。",
      {{kMdevInternal, "Midiのイベントデータで内部エラーが発生しました。"},
       {kMdevBadValue, "Midiのイベントデータで値が異常です。"},
       {kMdevBadCommand, "Midiのイベントデータでコマンドが異常です。"}});
  return reporter;
}

struct ControllerNameRow {
  int controller;
  const char* name;
};

// Searched in this order.
const ControllerNameRow kControllerNameTable[] = {
    {7, "チャネルボリュームMSB "}, {0, "バンクセレクトMSB "},
    {1, "モジュレーション "},      {6, "データエントリーMSB "},
    {10, "パン "},                 {11, "エクスプレッションMSB "},
    {32, "バンクセレクトLSB "},    {38, "データエントリーLSB "},
    {43, "エクスプレッションLSB "}, {39, "チャネルボリュームLSB "},
    {55, "チャネルリザーブ "},     {64, "ホールド "},
    {91, "リバーブセンド "},       {93, "コーラスセンド "},
    {100, "RPN LSB "},             {101, "RPN MSB "},
    {98, "NRPN LSB "},             {99, "NRPN MSB "},
    {94, "セレステ・デプス "},
};

// The event's payload read as a text: up to the data length or the first zero,
// never past the block.
std::string DataText(const MusicEvent& e) {
  std::string text;
  const uint8_t* p = e.GetDataPointer();
  if (p == nullptr) return text;
  int32_t n = e.data_length < 0 ? 0 : e.data_length;
  if (n > e.DataBlockSize()) n = e.DataBlockSize();
  for (int32_t i = 0; i < n && p[i] != 0; ++i) text.push_back(static_cast<char>(p[i]));
  return text;
}

}  // namespace

MidiEvent::MidiEvent(int32_t delta_ticks) : MusicEvent(delta_ticks) {}

MidiEvent::MidiEvent() : MusicEvent(0) {}

// The base starts empty on purpose: CopyFrom copies the data block and the channel fields.
// NOLINTNEXTLINE(bugprone-copy-constructor-init)
MidiEvent::MidiEvent(const MidiEvent& other) : MusicEvent(0) { CopyFrom(&other); }

MidiEvent& MidiEvent::operator=(const MidiEvent& other) {
  if (this != &other) CopyFrom(&other);
  return *this;
}

void MidiEvent::CopyFrom(const MidiEvent* other) {
  if (other == nullptr) {
    ErrorMsg(0);
    return;
  }
  if (other == this) return;
  channel = other->channel;
  read_place = other->read_place;
  end_read_place = other->end_read_place;
  Copy(*other);
}

void MidiEvent::SetNote(int32_t ch, int32_t n, int32_t vel, int32_t dur) {
  status = kStatusNote;
  channel = ch;
  note = n;
  velocity = vel;
  duration = dur;
}

void MidiEvent::SetNoteOff(int32_t ch, int32_t n) {
  status = kStatusNoteOff;
  channel = ch;
  note = n;
}

void MidiEvent::SetControlChange(int32_t ch, int32_t controller, int32_t v) {
  status = kStatusController;
  channel = ch;
  number = static_cast<uint32_t>(controller);
  value = v;
}

void MidiEvent::SetProgramChange(int32_t ch, int32_t program) {
  status = kStatusProgram;
  channel = ch;
  value = program;
}

int MidiEvent::SetPitchBend(int32_t bend) {
  int ok = 1;
  if (bend < 0) {
    bend = 0;
    ok = 0;
  } else if (bend > 0x3FFF) {
    bend = 0x3FFF;
    ok = 0;
  }
  note = bend & 0x7F;
  value = bend >> 7;
  return ok;
}

void MidiEvent::SetTempo(int32_t microseconds) {
  status = kStatusMeta;
  channel = kNoChannel;
  number = 0x51;
  value = microseconds;
  uint8_t bytes[3] = {static_cast<uint8_t>(microseconds >> 16),
                      static_cast<uint8_t>(microseconds >> 8), static_cast<uint8_t>(microseconds)};
  SetData(bytes, 3);
}

void MidiEvent::SetMasterVolume(int32_t volume) {
  status = kStatusSysEx;
  number = SysExKind::kMasterVolume;
  value = volume;
  const uint8_t bytes[9] = {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00,
                            static_cast<uint8_t>(volume), 0xF7};
  SetData(bytes, 9);
}

int MidiEvent::IsGsPartSysEx() const {
  return (status == kStatusSysEx &&
          (number == SysExKind::kGsRhythmPart || number == SysExKind::kGsPartParameter))
             ? 1
             : 0;
}

int MidiEvent::IsSecondPortName() const {
  std::string text = DataText(*this);
  return GneIsSc88Device(text.c_str()) ? 1 : 0;
}

int MidiEvent::Equals(const MidiEvent& o) const {
  return (delta == o.delta && channel == o.channel) ? EqualsIgnoringTime(o) : 0;
}

int MidiEvent::EqualsIgnoringChannel(const MidiEvent& o) const {
  return delta == o.delta ? EqualsIgnoringTime(o) : 0;
}

// Leaves out the delta and the channel (the data bytes are never compared).
int MidiEvent::EqualsIgnoringTime(const MidiEvent& o) const {
  return (data_length == o.data_length && status == o.status && note == o.note &&
          duration == o.duration && number == o.number && value == o.value &&
          velocity == o.velocity)
             ? 1
             : 0;
}

void MidiEvent::SetFromMobileEvent(const MusicEvent& mobile, int32_t ch, int is_drum_part) {
  delta = mobile.delta;
  if (mobile.status == kStatusNote) {
    SetNote(is_drum_part == 1 ? 9 : ch, mobile.note, mobile.velocity, mobile.duration);
    return;
  }
  if (mobile.status != kStatusMeta) {
    MarkDeleted();
    return;
  }
  switch (mobile.number) {
    case kMobileProgram:
      if (is_drum_part == 1) {
        MarkDeleted();
      } else {
        SetProgramChange(ch, mobile.value);
      }
      break;
    case kMobileVolume:
      SetControlChange(ch, 7, mobile.value);
      break;
    case kMobilePan:
      SetControlChange(ch, 10, mobile.value);
      break;
    case kMobileTempo:
      status = kStatusMeta;
      number = 0x51;
      channel = ch;
      value = mobile.value;
      break;
    case kMobilePitchBend:
      status = kStatusPitchBend;
      channel = ch;
      value = mobile.value;
      note = 0;
      if (mobile.value > 127) ErrorMsg(kMdevBadValue);
      break;
    case kMobileMasterVolume:
      SetMasterVolume(mobile.value);
      break;
    case 34: case 38: case 69: case 71: case 75: case 76: case 77: case 78: case 240:
      MarkDeleted();
      break;
    default:
      MarkDeleted();
      ErrorMsg(kMdevBadCommand);
      break;
  }
}

void ControllerName(int32_t controller, std::string& out) {
  for (const ControllerNameRow& row : kControllerNameTable) {
    if (row.controller == controller) {
      out = row.name;
      return;
    }
  }
  out = FormatBoxText("コントロールチェンジ(%d)", controller & 0xFF);
}

void MidiEvent::Describe(std::string& out) const {
  out.clear();
  switch (status) {
    case kStatusNote:
      out = "ノート " + std::to_string(note) + " " + std::to_string(duration) + " " +
            std::to_string(velocity);
      return;
    case kStatusNoteOff: out = "ノートオフ "; return;
    case kStatusNoteOn: out = "ノートオン "; return;
    case kStatusPolyPressure: out = "ポリプレス "; return;
    case kStatusController: {
      std::string name;
      ControllerName(static_cast<int32_t>(number), name);
      out = name + std::to_string(value);
      return;
    }
    case kStatusProgram: out = "プログラムチェンジ " + std::to_string(value + 1); return;
    case kStatusChannelPressure: out = "チャネルプレス "; return;
    case kStatusPitchBend: out = "ピッチベンド "; return;
    case kStatusSysEx:
      if (number == SysExKind::kMasterVolume) {
        out = "マスターボリューム " + std::to_string(value);
      } else if (number == SysExKind::kGsPartParameter) {
        out = "EQ ON OFF";
      } else {
        out = "未定義のシステムエクスクルーシブ";
      }
      return;
    case kStatusSysExEscape: out = "システムエクスクルーシブ "; return;
    case kStatusMeta: break;
    default: out = "未定義のイベント"; return;
  }
  static const char* const kTextLabels[] = {"テキスト　", "著作権情報　", "タイトル ",
                                            "インストルメント名　", "歌詞　", "マーカー　",
                                            "キューポイント　"};
  switch (number) {
    case 0x00: out = "シーケンス番号"; return;
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x07:
      out = std::string(kTextLabels[number - 1]) + DataText(*this);
      return;
    case 0x20: out = "チャネルプリフィックス"; return;
    case 0x2F: out = "トラック末尾"; return;
    case 0x51: out = "テンポ " + std::to_string(GneTempoToBpm(value)); return;
    case 0x54: out = "SMPTEオフセット"; return;
    case 0x58: out = "拍子"; return;
    case 0x59: out = "調号"; return;
    case 0x7F: out = "シーケンサー特有"; return;
    default: out = "未定義のメタイベント"; return;
  }
}

void MidiEvent::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }
