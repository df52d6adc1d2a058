// MP3 files through an outside encoder program.
//
// The encoder is the program the settings name, or `lame` on PATH when they name none. It is run
// with two arguments, the WAV file and the MP3 file, never through a shell, and is given at most
// 30 seconds. It writes under a temporary name beside the MP3 file; only a run that ends well
// and leaves a non-empty file puts the MP3 in place. Every failure is reported in a box.
#pragma once

#include <filesystem>
#include <string>

constexpr int kEncoderTimeLimitMs = 30000;

enum class Mp3Result {
  kWritten,    // the MP3 file is in place
  kNoEncoder,  // no encoder program (the setting should be forgotten)
  kNoWav,      // the WAV file does not open
  kFailed,     // the encoder failed, wrote nothing or overran its time (and was stopped)
};

// The encoder program of a setting (CP932 path): the file it names when that is a readable
// program, a bare name looked up on PATH; `lame` on PATH for an empty setting. Empty when there
// is none.
std::filesystem::path FindMp3Encoder(const std::string& encoder_setting);

// Encodes `wav` into `mp3`. When this returns, the encoder has ended.
Mp3Result EncodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3,
                        const std::string& encoder_setting,
                        int time_limit_ms = kEncoderTimeLimitMs);
