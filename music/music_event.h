// The record of one event of a track, with its separately owned data block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Error codes of the music-event module (tag "MUEV").
constexpr uint32_t kMuevDataTooLong = 0x06000001;
constexpr uint32_t kMuevNoData = 0x06000002;

// Event statuses. The channel is never part of the status.
constexpr uint32_t kStatusDeleted = 0x00;
constexpr uint32_t kStatusNote = 0x10;  // note with a duration (note mode)
constexpr uint32_t kStatusNoteOff = 0x80;
constexpr uint32_t kStatusNoteOn = 0x90;
constexpr uint32_t kStatusPolyPressure = 0xA0;
constexpr uint32_t kStatusController = 0xB0;
constexpr uint32_t kStatusProgram = 0xC0;
constexpr uint32_t kStatusChannelPressure = 0xD0;
constexpr uint32_t kStatusPitchBend = 0xE0;
constexpr uint32_t kStatusSysEx = 0xF0;
constexpr uint32_t kStatusSysExEscape = 0xF7;
constexpr uint32_t kStatusMeta = 0xFF;

class MusicEvent {
 public:
  explicit MusicEvent(int32_t delta_ticks = 0);
  MusicEvent(const MusicEvent& other);             // deep copy (own data block)
  MusicEvent& operator=(const MusicEvent& other);  // Copy
  ~MusicEvent();                                   // frees the data block

  // Every field 0 and the data pointer cleared WITHOUT freeing the block.
  void Clear();
  // Frees the data block, clears the pointer; the data length stays.
  void FreeData();
  // Copies every field; the data block is duplicated (length + 8 zeroed bytes).
  void Copy(const MusicEvent& other);

  // Length 0 does nothing and returns 0. Otherwise replaces the block with a copy of
  // the bytes (length + 8 zeroed bytes) and sets the data length; over 256 bytes it
  // reports 0x06000001 and keeps the data all the same. Returns the length.
  int SetData(const void* bytes, int32_t length);
  // The same without the length report (the track's parser keeps long texts and
  // messages and warns once on its own).
  int SetDataQuietly(const void* bytes, int32_t length);
  // Copies the data-length bytes into out; returns the data length. Without a block
  // reports 0x06000002 and copies nothing (returns 0).
  int GetData(void* out) const;
  int GetDataByte(int32_t at) const;
  uint8_t* GetDataAt(int32_t at) const;
  uint8_t* GetDataPointer() const { return data; }
  int HasNoData() const { return data == nullptr ? 1 : 0; }
  // Replaces the block with a zeroed one of length + 8 bytes keeping the old bytes
  // that fit; the data length field is not changed.
  void ResizeData(int32_t length);
  // Stores the byte, growing the block first when the position lies past it.
  void SetDataByte(int32_t at, int byte);
  // Size in bytes of the block actually held (0 without one).
  int32_t DataBlockSize() const { return data ? data_block_size_ : 0; }
  // Blocks of up to this many bytes (data of up to 8 bytes: every channel event, tempo,
  // metre and key) live inside the event itself, so that reading a file does not
  // allocate once per event; `data` then points into the event.
  static constexpr int32_t kInlineBlockSize = 16;

  static void ErrorMsg(uint32_t code);

  // Dump lines of the track dumps.
  void Dump(std::FILE* file) const;
  void DumpWithDivision(std::FILE* file, int32_t division) const;

  // Fields, in the order the format keeps them.
  uint32_t status = 0;
  int32_t delta = 0;
  int32_t note = 0;
  int32_t duration = 0;
  int32_t velocity = 0;
  uint32_t number = 0;
  int32_t value = 0;
  int32_t data_length = 0;
  uint8_t* data = nullptr;  // zeroed block owned by the event, or none

 protected:
  void ReplaceBlock(uint8_t* block, int32_t size);

 private:
  // Makes a zeroed block of `size` bytes holding the first n bytes of src (which may
  // be the current block) and puts it in place of the current one.
  void InstallBlock(const uint8_t* src, int32_t n, int32_t size);
  bool HoldsInlineBlock() const { return data == inline_block_; }

  int32_t data_block_size_ = 0;
  uint8_t inline_block_[kInlineBlockSize] = {};
};

// Formats one dump line (without the closing CR LF) into text.
std::string MusicEventDumpLine(const MusicEvent& event);
std::string MusicEventDumpLineWithDivision(const MusicEvent& event, int32_t division);
