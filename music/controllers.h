// Numbers of the MIDI control changes the program writes and reads (the General MIDI ones).
#pragma once

namespace cc {

constexpr int kBankMsb = 0;
constexpr int kModulation = 1;
constexpr int kDataEntry = 6;         // value of the selected registered parameter
constexpr int kVolume = 7;
constexpr int kPan = 10;
constexpr int kExpression = 11;
constexpr int kBankLsb = 32;
constexpr int kDataEntryLsb = 38;
constexpr int kVolumeLsb = 39;
constexpr int kExpressionLsb = 43;
constexpr int kSustain = 64;
constexpr int kBrightness = 74;       // sound controller 5
constexpr int kReverb = 91;
constexpr int kChorus = 93;
constexpr int kRpnLsb = 100;
constexpr int kRpnMsb = 101;
constexpr int kResetAll = 121;
constexpr int kAllNotesOff = 123;

// The registered parameter 0/0: pitch-bend range in semitones (data entry MSB).
constexpr int kRpnBendRange = 0;

}  // namespace cc
