#include "export/mp3_encoder.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/temp_files.h"
#include "platform/core/process.h"
#include "util/gne.h"

namespace fs = std::filesystem;

fs::path FindMp3Encoder(const std::string& encoder_setting) {
  if (encoder_setting.empty()) return plat::FindProgram("lame");
  fs::path named = plat::Cp932ToUtf8(encoder_setting);
  if (!named.has_parent_path()) return plat::FindProgram(named.string());
  std::error_code ec;
  if (!fs::is_regular_file(named, ec) || ::access(named.c_str(), R_OK | X_OK) != 0) return {};
  return named;
}

Mp3Result EncodeMp3(const fs::path& wav, const fs::path& mp3,
                        const std::string& encoder_setting, int time_limit_ms) {
  const fs::path encoder = FindMp3Encoder(encoder_setting);
  if (encoder.empty()) {
    GneErrorBox("エンコーダが見つかりませんでした。");
    return Mp3Result::kNoEncoder;
  }
  if (FILE* f = std::fopen(wav.c_str(), "rb")) {
    std::fclose(f);
  } else {
    GneErrorBox("WAVファイルが見つかりませんでした。");
    return Mp3Result::kNoWav;
  }
  const fs::path partial = plat::TemporaryNameFor(mp3);
  const plat::ProgramEnd end =
      plat::RunProgramWithLimit(encoder, {wav.string(), partial.string()}, time_limit_ms);
  std::error_code ec;
  const bool wrote = end == plat::ProgramEnd::kSucceeded && plat::FileSize(partial) > 0;
  if (!wrote || !plat::CommitTemporary(partial, mp3)) {
    fs::remove(partial, ec);
    GneErrorBox(end == plat::ProgramEnd::kTimedOut
                    ? "エンコーダが時間内に終わらなかったため、停止しました。"
                    : "MP3ファイルを作成できませんでした。");
    return Mp3Result::kFailed;
  }
  return Mp3Result::kWritten;
}
