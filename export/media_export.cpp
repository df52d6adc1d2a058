#include "export/media_export.h"

#include <atomic>
#include <cstdio>
#include <system_error>

#include "export/aiff_data.h"
#include "platform/core/audio_render.h"
#include "platform/core/encoding.h"
#include "platform/core/temp_files.h"
#include "platform/core/message_sink.h"

namespace media {
namespace {

// The built-in synthesizer as the media library.
class SynthLibrary : public MediaLibrary {
 public:
  bool Start() override { return plat::CanRenderMidi(); }
  void Stop() override {}
  bool OpenMovie(const std::filesystem::path& midi, Movie* movie) override {
    movie->open = false;
    FILE* f = std::fopen(midi.c_str(), "rb");
    if (f == nullptr) return false;
    char head[4] = {};
    const size_t n = std::fread(head, 1, 4, f);
    std::fclose(f);
    if (n != 4 || std::string(head, 4) != "MThd") return false;
    movie->file = midi;
    movie->open = true;
    return true;
  }
  bool ConvertMovieToFile(const Movie& movie, const std::filesystem::path& out,
                          MovieFileType type, std::string* error) override {
    if (!movie.open) {
      if (error) *error = "no movie";
      return false;
    }
    plat::RenderOptions options;
    // The synthesizer's player ends once the last notes have died away: no silence is added.
    options.tail_ms = 0;
    // The AIFF is ours and read back at once; a WAVE is the user's file.
    options.durable = type == MovieFileType::kWave;
    options.type = type == MovieFileType::kAiff ? plat::AudioFileType::kAiff
                                                : plat::AudioFileType::kWav;
    return plat::RenderMidiFile(movie.file, out, options, error);
  }
  void DisposeMovie(Movie* movie) override { *movie = Movie{}; }
};

SynthLibrary g_synth_library;
std::atomic<MediaLibrary*> g_library{nullptr};

}  // namespace

MediaLibrary& Library() {
  MediaLibrary* installed = g_library.load();
  return installed ? *installed : g_synth_library;
}

void InstallLibrary(MediaLibrary* library) { g_library.store(library); }

}  // namespace media

namespace {

// "エラー発生 %s" with the MIDI file's path.
void ShowFailure(const std::filesystem::path& midi) {
  plat::ShowBox(plat::BoxKind::Message,
                std::string("エラー発生 ") + plat::Utf8ToCp932(midi.string()));
}

}  // namespace

const char kNoSoundFontText[] =
    "General MIDIのサウンドフォントが見つかりませんでした。WAVやMP3に書き出すには、Debianの"
    "パッケージ fluid-soundfont-gm をインストールしてください。";

bool IsQuickTimeAvailable() { return media::Library().Start(); }

void CloseQuickTime() { media::Library().Stop(); }

CQuickTimeExport::CQuickTimeExport() {
  available_ = IsQuickTimeAvailable();
  if (!available_)
    plat::ShowBox(plat::BoxKind::Message, kNoSoundFontText);
}

CQuickTimeExport::~CQuickTimeExport() { CloseQuickTime(); }

bool CQuickTimeExport::ConvertToAiff(const media::Movie& movie,
                                     const std::filesystem::path& aiff) {
  std::string error;
  return media::Library().ConvertMovieToFile(movie, aiff, media::MovieFileType::kAiff, &error);
}

int CQuickTimeExport::ExportWave(const media::Movie& movie, const std::filesystem::path& wav) {
  return ExportMovieToWave(movie, wav);
}

int CQuickTimeExport::MidiToWav(const std::filesystem::path& midi,
                                const std::filesystem::path& wav) {
  media::MediaLibrary& library = media::Library();
  media::Movie movie;
  if (!available_ || !library.OpenMovie(midi, &movie)) {
    ShowFailure(midi);
    return 0;
  }
  const std::filesystem::path aiff = plat::NewTempFileName("export", ".aiff");
  const bool rendered = ConvertToAiff(movie, aiff);
  library.DisposeMovie(&movie);
  bool written = false;
  if (!rendered)
    ShowFailure(midi);
  else
    written = ConvertAiffToWav(aiff, wav);
  std::error_code ec;
  std::filesystem::remove(aiff, ec);
  return written ? 1 : 0;
}

bool ConvertMidiToWav(const std::filesystem::path& midi, const std::filesystem::path& wav) {
  CQuickTimeExport exporter;
  return exporter.MidiToWav(midi, wav) == 1;
}

std::filesystem::path AiffPathFor(const std::filesystem::path& wav) {
  std::filesystem::path aiff = wav;
  aiff.replace_extension(".aiff");
  return aiff;
}

int MidiFileToAiff(const std::filesystem::path& midi, const std::filesystem::path& wav,
                   std::string* aiff_name) {
  media::MediaLibrary& library = media::Library();
  media::Movie movie;
  if (!library.Start() || !library.OpenMovie(midi, &movie)) {
    plat::ShowBox(plat::BoxKind::Message, "エラー発生");
    library.Stop();
    return 0;
  }
  const std::filesystem::path aiff = AiffPathFor(wav);
  std::error_code ec;
  std::filesystem::remove(aiff, ec);
  if (aiff_name) *aiff_name = plat::Utf8ToCp932(aiff.filename().string());
  std::string error;
  const bool ok =
      library.ConvertMovieToFile(movie, aiff, media::MovieFileType::kAiff, &error);
  library.DisposeMovie(&movie);
  library.Stop();
  if (!ok) plat::ShowBox(plat::BoxKind::Message, "エラー発生");
  return ok ? 1 : 0;
}

int AiffFileToWav(const std::filesystem::path& wav) {
  ConvertAiffToWav(AiffPathFor(wav), wav);
  return 1;
}

int MidiFileToWav(const std::filesystem::path& midi, const std::filesystem::path& wav,
                  std::string* aiff_name) {
  if (MidiFileToAiff(midi, wav, aiff_name)) AiffFileToWav(wav);
  return 1;
}

int ExportMovieToWave(const media::Movie& movie, const std::filesystem::path& wav) {
  std::string error;
  return media::Library().ConvertMovieToFile(movie, wav, media::MovieFileType::kWave, &error)
             ? 0
             : -1;
}
