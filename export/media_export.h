// Audio export through the media library: a MIDI file is opened as a movie, its sound is
// converted to an AIFF file, and the system's own AIFF reader and WAV writer make the WAV.
//
// The media library is an interface with the steps of the road (start, open the movie, convert
// it to a file, dispose of it, stop); the program's one implementation renders the MIDI file
// offline with the built-in synthesizer's General MIDI soundfont. Tests install their own.
#pragma once

#include <filesystem>
#include <string>

namespace media {

// An opened movie: the MIDI file it plays.
struct Movie {
  std::filesystem::path file;
  bool open = false;
};

enum class MovieFileType { kAiff, kWave };

class MediaLibrary {
 public:
  virtual ~MediaLibrary() = default;
  // Starts the library; false when it is not there (no soundfont).
  virtual bool Start() = 0;
  virtual void Stop() = 0;
  // Opens a MIDI file as a movie; false when the file does not open as one.
  virtual bool OpenMovie(const std::filesystem::path& midi, Movie* movie) = 0;
  // Writes the movie's sound to `out`; false (with the reason in *error) when it fails.
  virtual bool ConvertMovieToFile(const Movie& movie, const std::filesystem::path& out,
                                  MovieFileType type, std::string* error) = 0;
  virtual void DisposeMovie(Movie* movie) = 0;
};

// The library in use: the synthesizer's unless a test installed another (nullptr restores it).
MediaLibrary& Library();
void InstallLibrary(MediaLibrary* library);

}  // namespace media

// One use of the media library: the constructor starts it (and says so when it is missing), the
// destructor stops it.
class CQuickTimeExport {
 public:
  CQuickTimeExport();
  ~CQuickTimeExport();
  CQuickTimeExport(const CQuickTimeExport&) = delete;
  CQuickTimeExport& operator=(const CQuickTimeExport&) = delete;

  // Renders the MIDI file into a temporary AIFF of ours and converts that into the WAV file.
  // 1 when the WAV was written; 0 after a message otherwise.
  int MidiToWav(const std::filesystem::path& midi, const std::filesystem::path& wav);
  // Writes the movie's sound as an AIFF file; false after a message when it fails.
  bool ConvertToAiff(const media::Movie& movie, const std::filesystem::path& aiff);
  // Lets the library write the movie's sound directly as a WAVE file; 0 on success.
  int ExportWave(const media::Movie& movie, const std::filesystem::path& wav);

  bool IsAvailable() const { return available_; }

 private:
  bool available_ = false;
};

// What the user is told when the library is missing: the General MIDI sound font and the Debian
// package that brings it (CP932).
extern const char kNoSoundFontText[];

// Starts the library; false when it is missing.
bool IsQuickTimeAvailable();
void CloseQuickTime();

// The export road: MIDI file to WAV file. True when the WAV was written; every failure has been
// shown to the user.
bool ConvertMidiToWav(const std::filesystem::path& midi, const std::filesystem::path& wav);

// The AIFF that the two-step road below leaves beside a WAV path: the file name's extension
// replaced by ".aiff" (a dot in a folder name is no extension).
std::filesystem::path AiffPathFor(const std::filesystem::path& wav);

// The two-step road: the MIDI file to the AIFF beside the WAV path (its file name stored in
// *aiff_name), then that AIFF to the WAV; the AIFF stays. 1/0.
int MidiFileToAiff(const std::filesystem::path& midi, const std::filesystem::path& wav,
                   std::string* aiff_name);
int AiffFileToWav(const std::filesystem::path& wav);
int MidiFileToWav(const std::filesystem::path& midi, const std::filesystem::path& wav,
                  std::string* aiff_name);
// The library's own WAVE writer for a movie; 0 on success.
int ExportMovieToWave(const media::Movie& movie, const std::filesystem::path& wav);
