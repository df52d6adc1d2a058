// The track's system-exclusive operations: building the setup messages, finding,
// changing and stripping them, and moving channels together with their GS part
// messages.
#include "music/sysex_message.h"

#include <cstring>
#include <string>
#include <vector>

#include "music/gs_part.h"
#include "music/midi_track.h"
#include "util/gne.h"

// ---- byte strings ----

int CompareSysEx(const uint8_t* a, const uint8_t* b) {
  for (int i = 0;; ++i) {
    if (a[i] != b[i]) return -1;
    if (a[i] == 0xF7) return 0;
  }
}

int SysExLength(const uint8_t* bytes) {
  int i = 0;
  while (bytes[i] != 0xF7) ++i;
  return i + 1;
}

int SysExLengthWithin(const uint8_t* bytes, int size) {
  if (bytes == nullptr) return -1;
  for (int i = 0; i < size; ++i) {
    if (bytes[i] == 0xF7) return i + 1;
  }
  return -1;
}

int CompareSysExWithin(const uint8_t* a, int size_a, const uint8_t* b, int size_b) {
  const int n = SysExLengthWithin(a, size_a);
  if (n < 0 || b == nullptr || size_b < n) return -1;
  return std::memcmp(a, b, static_cast<size_t>(n)) == 0 ? 0 : -1;
}

namespace {

// F0, the length of the rest of the message as a variable-length number, and the maker's
// header bytes; gives the place after them.
int WriteSysExHead(int length, const uint8_t* head, size_t head_size, uint8_t* out) {
  int at = 0;
  out[at++] = 0xF0;
  at += GneWriteVarLen(length, out + at);
  std::memcpy(out + at, head, head_size);
  return at + static_cast<int>(head_size);
}

}  // namespace

int GsDisplayTextSize(int n) {
  uint8_t scratch[4];
  return 1 + GneWriteVarLen(n + 9, scratch) + 7 + n + 2;
}

int BuildGsDisplayText(const char* text, int n, uint8_t* out) {
  static const uint8_t kHead[] = {0x41, 0x10, 0x45, 0x12, 0x10, 0x00, 0x00};
  int at = WriteSysExHead(n + 9, kHead, sizeof kHead, out);
  // The checksum runs over the address (10 00 00) and the text.
  int sum = 0x10;
  for (int i = 0; i < n; ++i) {
    out[at++] = static_cast<uint8_t>(text[i]);
    sum += static_cast<uint8_t>(text[i]);
  }
  out[at++] = static_cast<uint8_t>((128 - sum % 128) % 128);
  out[at++] = 0xF7;
  return at;
}

int XgDisplayTextSize(int n) {
  uint8_t scratch[4];
  return 1 + GneWriteVarLen(n + 7, scratch) + 6 + n + 1;
}

int BuildXgDisplayText(const char* text, int n, uint8_t* out) {
  static const uint8_t kHead[] = {0x43, 0x10, 0x4C, 0x06, 0x00, 0x00};
  int at = WriteSysExHead(n + 7, kHead, sizeof kHead, out);
  std::memcpy(out + at, text, static_cast<size_t>(n));
  at += n;
  out[at++] = 0xF7;
  return at;
}

namespace {

bool IsSysExStatus(const MidiEvent* e) {
  return e->status == kStatusSysEx || e->status == kStatusSysExEscape;
}

// True when the event's data begins with the n bytes.
bool DataBeginsWith(const MidiEvent* e, const uint8_t* bytes, int n) {
  return e->data != nullptr && e->data_length >= n &&
         std::memcmp(e->data, bytes, static_cast<size_t>(n)) == 0;
}

MidiEvent* NewSysEx(int32_t delta, const uint8_t* bytes, int n, uint32_t kind) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusSysEx;
  e->number = kind;
  e->SetData(bytes, n);
  return e;
}

bool IsInstrumentName(const MidiEvent* e) {
  return e->status == kStatusMeta && e->number == 0x04;
}

// The base of the part address byte for a GS part message kind.
int GsPartBase(const MidiEvent& e) {
  return e.number == SysExKind::kGsRhythmPart ? 0x10 : 0x40;
}

}  // namespace

// ---- building and changing messages ----

void MidiTrack::AddGmSystemOn() {
  AddEvent(NewSysEx(0, kGmSystemOnMessage, sizeof kGmSystemOnMessage, SysExKind::kGmSystemOn));
}

void MidiTrack::AddGsReset() {
  AddEvent(NewSysEx(0, kGsResetMessage, sizeof kGsResetMessage, SysExKind::kNone));
}

void MidiTrack::AddXgSystemOn() {
  AddEvent(NewSysEx(0, kXgSystemOnMessage, sizeof kXgSystemOnMessage, SysExKind::kNone));
}

void MidiTrack::InsertGmSystemOn() {
  DeleteSysEx(SysExKind::kGmSystemOn);
  InsertEvent(0, 2,
              NewSysEx(0, kGmSystemOnMessage, sizeof kGmSystemOnMessage, SysExKind::kGmSystemOn));
}

namespace {

// Every system-exclusive event (F0 or F7) the test accepts becomes GM System On.
template <typename Test>
int ReplaceWithGmOn(MidiTrack& track, Test matches) {
  int replaced = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    if (!IsSysExStatus(e) || !matches(e)) continue;
    e->status = kStatusSysEx;
    e->SetData(kGmSystemOnMessage, sizeof kGmSystemOnMessage);
    e->number = SysExKind::kGmSystemOn;
    e->value = 0;
    replaced = 1;
  }
  return replaced;
}

}  // namespace

int MidiTrack::ReplaceXgOnWithGmOn() {
  return ReplaceWithGmOn(*this, [](const MidiEvent* e) {
    return DataBeginsWith(e, kXgSystemOnMessage, sizeof kXgSystemOnMessage);
  });
}

int MidiTrack::ReplaceGsResetWithGmOn() {
  // A GS reset of any device number: the fourth stored byte is not compared.
  return ReplaceWithGmOn(*this, [](const MidiEvent* e) {
    constexpr int n = sizeof kGsResetMessage;
    if (e->data == nullptr || e->data_length != n || e->DataBlockSize() < n) return false;
    for (int k = 0; k < n; ++k) {
      if (k != 3 && e->data[k] != kGsResetMessage[k]) return false;
    }
    return true;
  });
}

void MidiTrack::AddGsDisplayText(int32_t delta, const char* text) {
  const int n = text ? static_cast<int>(std::strlen(text)) : 0;
  if (n > kDisplayTextLimit) ErrorMsg(kMdtkTextTooLong);
  std::vector<uint8_t> bytes(static_cast<size_t>(GsDisplayTextSize(n)));
  const int size = BuildGsDisplayText(text ? text : "", n, bytes.data());
  AddEvent(NewSysEx(delta, bytes.data(), size, SysExKind::kNone));
}

void MidiTrack::AddXgDisplayText(int32_t delta, const char* text) {
  const int n = text ? static_cast<int>(std::strlen(text)) : 0;
  if (n > kDisplayTextLimit) ErrorMsg(kMdtkTextTooLong);
  std::vector<uint8_t> bytes(static_cast<size_t>(XgDisplayTextSize(n)));
  const int size = BuildXgDisplayText(text ? text : "", n, bytes.data());
  AddEvent(NewSysEx(delta, bytes.data(), size, SysExKind::kNone));
}

namespace {

// A master volume outside 0..127 is reported and held to the range: a data byte of
// a system-exclusive message cannot carry more.
int32_t CheckedVolume(int32_t volume) {
  if (volume > 127 || volume < 0) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return volume > 127 ? 127 : 0;
  }
  return volume;
}

}  // namespace

void MidiTrack::InsertMasterVolume(int32_t volume, int32_t index) {
  volume = CheckedVolume(volume);
  auto* e = new MidiEvent(0);
  e->SetMasterVolume(volume);
  if (index < 0) index = 0;
  if (index >= event_count) {
    InsertEvent(event_count - 1, 1, e);
  } else {
    InsertEvent(index, 2, e);
  }
}

int MidiTrack::SetMasterVolume(int32_t volume) {
  volume = CheckedVolume(volume);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->status != kStatusSysEx || e->number != SysExKind::kMasterVolume) continue;
    if (e->data != nullptr && e->data_length >= 11 && e->data[2] == 0x41) {
      // GS master volume (40 00 04): the value is the data byte, then the checksum.
      e->data[kGsDataByte] = static_cast<uint8_t>(volume);
      SetRolandChecksum(e->data);
    } else if (e->data != nullptr && e->data_length > 7) {
      e->data[7] = static_cast<uint8_t>(volume);
    }
    e->value = volume;
    return 1;
  }
  return 0;
}

int MidiTrack::CheckMasterVolumeAfterReset(int insert_flag) {
  int result = 1;
  int32_t reset_index = -1;
  bool volume_follows = false;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsSysExStatus(e)) {
      if (DataBeginsWith(e, kGmSystemOnMessage, sizeof kGmSystemOnMessage) ||
          DataBeginsWith(e, kGsResetMessage, 10) ||
          DataBeginsWith(e, kXgSystemOnMessage, sizeof kXgSystemOnMessage)) {
        reset_index = i;
        volume_follows = false;
      } else if (DataBeginsWith(e, kMasterVolumeFullMessage, sizeof kMasterVolumeFullMessage)) {
        volume_follows = true;
      }
      continue;
    }
    if ((e->status == kStatusNote || e->status == kStatusNoteOn) && !volume_follows) {
      if (insert_flag != 1) return 0;
      InsertMasterVolume(127, reset_index + 1);
      ++i;  // the note moved up by one
      result = 0;
      volume_follows = true;
    }
  }
  return result;
}

void MidiTrack::ReplaceSysEx(const uint8_t* message, uint32_t new_type, const uint8_t* bytes) {
  if (message == nullptr || bytes == nullptr) {
    ErrorMsg(kMdtkInternal);
    return;
  }
  const int message_length = SysExLength(message);
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->status != kStatusSysEx || e->data == nullptr) continue;
    if (CompareSysExWithin(message, message_length, e->data, e->data_length) != 0) continue;
    if (bytes[0] == 0xF0) {
      e->status = kStatusSysEx;
      e->SetData(bytes, SysExLength(bytes));
    } else {
      e->status = kStatusMeta;
      e->channel = kNoChannel;
      const int n = static_cast<int>(std::strlen(reinterpret_cast<const char*>(bytes)));
      if (n > 0) {
        e->SetData(bytes, n);
      } else {
        static const uint8_t kZero = 0;
        e->SetData(&kZero, 1);
      }
    }
    e->number = new_type;
  }
}

// ---- finding and deleting ----

int MidiTrack::GetMasterVolume() const {
  int found = 0;
  int value = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (e->status == kStatusSysEx && e->number == SysExKind::kMasterVolume) {
      ++found;
      value = e->value;
    }
  }
  if (found > 1) WarningMsg(kMdtkManyMasterVolumes);
  return value;
}

int MidiTrack::GetSysExValue(uint32_t kind) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (e->status == kStatusSysEx && e->number == kind) return e->value;
  }
  return -1;
}

int MidiTrack::GetSysExData(uint32_t kind, uint8_t* out, int32_t room) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (e->status == kStatusSysEx && e->number == kind) {
      if (out == nullptr || e->data == nullptr) return 1;
      // Never more than the block holds, and never more than the caller has room for.
      int32_t n = e->data_length < 0 ? 0 : e->data_length;
      if (n > e->DataBlockSize()) n = e->DataBlockSize();
      if (n > room) return -1;
      if (n > 0) std::memcpy(out, e->data, static_cast<size_t>(n));
      return 1;
    }
  }
  return 0;
}

int MidiTrack::GetSysExValueBefore(uint32_t kind, int32_t tick) const {
  if (mode != kTrackEvents) {
    ErrorMsg(kMdtkInternal);
    return -1;
  }
  int value = -1;
  int64_t at = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    at += e->delta;
    if (at >= tick) break;
    if (e->status == kStatusSysEx && e->number == kind) value = e->value;
  }
  return value;
}

int32_t MidiTrack::FindSysExKindTime(uint32_t kind) const {
  int64_t at = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    at += e->delta;
    if (e->status == kStatusSysEx && e->number == kind) return static_cast<int32_t>(at);
  }
  return -1;
}

int32_t MidiTrack::CountSysExKind(uint32_t kind) const {
  int32_t count = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusSysEx && events[i]->number == kind) ++count;
  }
  return count;
}

int MidiTrack::DeleteSysEx(uint32_t kind) {
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->status == kStatusSysEx && events[i]->number == kind) {
      DeleteEvent(i);
      return 1;
    }
  }
  return 0;
}

int MidiTrack::DeleteSysExOfChannel(int32_t channel, uint32_t kind) {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (e->status == kStatusSysEx && e->number == kind && e->channel == channel) {
      DeleteEvent(i);
      return 1;
    }
  }
  return 0;
}

void MidiTrack::DeleteMasterVolumeSysEx() {
  for (int32_t i = event_count - 1; i >= 0; --i) {
    if (events[i]->status == kStatusSysEx && events[i]->number == SysExKind::kMasterVolume) {
      DeleteEvent(i);
    }
  }
}

namespace {

// Deletes the first event of the status; 1 when there was one.
int DeleteFirstOfStatus(MidiTrack& track, uint32_t status) {
  for (int32_t i = 0; i < track.event_count; ++i) {
    if (track.events[i]->status == status) {
      track.DeleteEvent(i);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int MidiTrack::DeleteFirstF0() { return DeleteFirstOfStatus(*this, kStatusSysEx); }

int MidiTrack::DeleteFirstF7() { return DeleteFirstOfStatus(*this, kStatusSysExEscape); }

void MidiTrack::DeleteAllSysEx() {
  for (int32_t i = event_count - 1; i >= 0; --i) {
    if (IsSysExStatus(events[i])) DeleteEvent(i);
  }
}

void MidiTrack::DeleteAllSysExForward() {
  for (int32_t i = 0; i < event_count;) {
    if (IsSysExStatus(events[i])) {
      DeleteEvent(i);
    } else {
      ++i;
    }
  }
}

// ---- channels and ports ----

int MidiTrack::MoveGsPartSysEx(MidiEvent& event, int32_t from, int32_t to) {
  if (!event.IsGsPartSysEx() || event.channel != from) return 0;
  // Only the sixteen parts of one port have a part address; the stored message
  // must be long enough to hold the address, data and checksum.
  if (to < 0 || to > 15 || event.data == nullptr || event.data_length < kGsChecksum + 1) {
    return 0;
  }
  event.channel = to;
  SetGsPartAddress(to, event.data + kGsPartAddress, GsPartBase(event));
  SetRolandChecksum(event.data);
  return 1;
}

namespace {

// The channel an operation counting ports 16-31 means inside a track, given
// whether the track is on the second port: 0-15 when it is on this track's port,
// -1 when it is not.
int32_t LocalChannel(int32_t channel, bool second_port) {
  const int32_t local = second_port ? channel - 16 : channel;
  return (local >= 0 && local <= 15) ? local : -1;
}

}  // namespace

void MidiTrack::ChangeChannel(int32_t from, int32_t to) {
  bool second_port = false;
  bool reported = false;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsInstrumentName(e) && e->IsSecondPortName()) second_port = true;
    if (e->channel == kNoChannel) continue;
    const int32_t local_from = LocalChannel(from, second_port);
    if (local_from < 0 || e->channel != local_from) continue;
    const int32_t local_to = LocalChannel(to, second_port);
    if (local_to < 0) {
      // The target lies on the other port, which this track cannot reach.
      if (!reported) ErrorMsg(kMdtkBadChannel2);
      reported = true;
      continue;
    }
    if (e->status == kStatusSysEx) {
      MoveGsPartSysEx(*e, local_from, local_to);
    } else {
      e->channel = local_to;
    }
  }
}

void MidiTrack::ChangeChannelIfInstrumentName(const char* name, int32_t from, int32_t to) {
  if (name == nullptr) return;
  const MidiEvent* first_name = nullptr;
  for (int32_t i = 0; i < event_count && first_name == nullptr; ++i) {
    if (IsInstrumentName(events[i])) first_name = events[i];
  }
  // A track without instrument name has the empty name.
  const char* own = (first_name == nullptr || first_name->data == nullptr)
                        ? ""
                        : reinterpret_cast<const char*>(first_name->data);
  if (std::strcmp(own, name) != 0) return;
  if (from < 0 || from > 15 || to < 0 || to > 15) {
    ErrorMsg(kMdtkBadChannel2);
    return;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->status == kStatusSysEx) {
      MoveGsPartSysEx(*e, from, to);
    } else if (e->channel == from) {
      e->channel = to;
    }
  }
}

void MidiTrack::SwapChannels(int32_t a, int32_t b) {
  bool second_port = false;
  bool reported = false;
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (IsInstrumentName(e) && e->IsSecondPortName()) second_port = true;
    if (e->channel == kNoChannel) continue;
    const int32_t local_a = LocalChannel(a, second_port);
    const int32_t local_b = LocalChannel(b, second_port);
    int32_t target;
    if (local_a >= 0 && e->channel == local_a) {
      target = local_b;
    } else if (local_b >= 0 && e->channel == local_b) {
      target = local_a;
    } else {
      continue;
    }
    if (target < 0) {
      if (!reported) ErrorMsg(kMdtkBadChannel2);
      reported = true;
      continue;
    }
    if (e->status == kStatusSysEx) {
      MoveGsPartSysEx(*e, e->channel, target);
    } else {
      e->channel = target;
    }
  }
}

void MidiTrack::SetChannel(int32_t channel) {
  if (channel < 0 || channel > 15) {
    ErrorMsg(kMdtkBadChannel2);
    return;
  }
  for (int32_t i = 0; i < event_count; ++i) {
    MidiEvent* e = events[i];
    if (e->channel == kNoChannel) continue;
    // A GS part message keeps its part address in step with its channel.
    if (e->IsGsPartSysEx() && MoveGsPartSysEx(*e, e->channel, channel)) continue;
    e->channel = channel;
  }
}

int MidiTrack::DeleteChannel(int32_t channel) {
  int deleted = 0;
  for (int32_t i = 0; i < event_count; ++i) {
    if (events[i]->channel == channel && channel != kNoChannel) {
      events[i]->MarkDeleted();
      deleted = 1;
    }
  }
  if (deleted) Compact();
  return deleted;
}

int MidiTrack::GetPortChannel() const {
  const int channel = GetChannel();
  if (channel == kNoChannel) return channel;
  const MidiEvent* last_name = nullptr;
  for (int32_t i = 0; i < event_count; ++i) {
    if (IsInstrumentName(events[i])) last_name = events[i];
  }
  if (last_name != nullptr && last_name->IsSecondPortName()) return channel + 16;
  return channel;
}

int MidiTrack::IsRhythmPart(int32_t channel) const {
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (e->status == kStatusSysEx && e->number == SysExKind::kGsRhythmPart &&
        e->channel == channel) {
      if (e->data == nullptr || e->data_length <= kGsDataByte) return 0;
      return e->data[kGsDataByte] != 0 ? 1 : 0;
    }
  }
  return channel == 9 ? 1 : 0;
}

int MidiTrack::GetXgProgram(int32_t part) const {
  int program = -1;
  for (int32_t i = 0; i < event_count; ++i) {
    const MidiEvent* e = events[i];
    if (!IsSysExStatus(e) || e->data == nullptr || e->data_length < 10) continue;
    const uint8_t* d = e->data;
    if (d[0] == 0xF0 && d[1] == 0x08 && d[2] == 0x43 && d[3] == 0x10 && d[4] == 0x4C &&
        d[5] == 0x08 && d[6] == part && d[7] == 0x03 && d[9] == 0xF7) {
      program = d[8];
    }
  }
  return program;
}

int MidiTrack::GetProgram(int32_t channel) const {
  const int program = GetLastProgram(channel);
  if (program >= 0) return program;
  return GetXgProgram(channel);
}

int MidiTrack::IsBendableProgram(int32_t channel) const {
  const int program = GetProgram(channel);
  return (program > 15 && program != 99) ? 1 : 0;
}
