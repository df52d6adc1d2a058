// MA-1 ringtone data: a four-voice song written as a fixed header with one FM voice record per
// voice and two bytes per note on a grid of 12 ticks per quarter note; and its Melody Mail text
// (a short heading and the data in Base64).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "export/ringtone/mobile.h"
#include "music/music_data.h"

constexpr uint32_t kA1dtTooLarge = 0x0a000001;
constexpr uint32_t kA1dtInternal = 0x0a000002;
constexpr uint32_t kA1dtRange = 0x0a000003;  // warning
constexpr int32_t kMa1HeaderSize = 84;
constexpr int32_t kMa1MaxSize = 0xFFFF;  // the size field's largest value

class Ma1Data : public MusicData {
 public:
  // The whole conversion of a merged track of voices 0-3 at the division; a division of 0 or
  // less, or data past the size field, gives no bytes.
  Ma1Data(int32_t division, const MobileTrack& source);
  ~Ma1Data();

  static void ErrorMsg(uint32_t code);
  static void Warn(uint32_t code);
  // Step code and class (0 short, 1 long) of a step in ticks; -1 when the table has none.
  static int StepCode(int32_t step, int* long_class);
  static int DurationCode(int32_t duration, int long_class);
  static int PitchCode(int32_t distance_mod_12);
  static void VolumeCode(int32_t volume, uint8_t* out);
  static int32_t OctaveShiftOfProgram(int32_t program);

  std::unique_ptr<MobileTrack> track;
  int32_t octave_bases[4] = {};

 private:
  void WriteVoiceHeader(uint8_t* out);
  void ShiftOctavesByProgram();
  bool Quantise();
  uint8_t NoteByte(const MobileEvent& e);
  uint8_t LengthByte(const MobileEvent& e, int32_t step);
};

// "--B:M", CR, LF and the Base64 of the bytes, without a terminating zero. Returns 0 and
// writes nothing when the text would not fit the buffer.
int EncodeMelodyMailText(const uint8_t* bytes, size_t count, char* text, size_t room,
                         int* text_length);
char Base64Char(int value);
