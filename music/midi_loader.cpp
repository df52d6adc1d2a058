// The SMF loader.
#include "music/midi_loader.h"

#include <algorithm>
#include <cstring>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_data.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "util/gne.h"
#include "util/gne_files.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "MDLD", "Midiファイルの読み込みでエラーが発生しました。",
      {{kMdldInternal, "Midiファイルの読み込みで内部エラーが発生しました。"},
       {kMdldNotMidi, "Midiファイルではありません。"},
       {kMdldTooLarge, "Midiファイルの読み込みでデータが大きすぎてロードできませんでした。"}});
  return reporter;
}

constexpr int32_t kLoaderSongCapacity = 0x60000;

}  // namespace

void MidiLoader::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MidiLoader::ShowText(const std::string& text) { GneErrorBox(text); }

MidiLoader::MidiLoader(const std::string& path_or_pattern) {
  if (path_or_pattern.find('*') == std::string::npos) {
    Load(std::filesystem::path(path_or_pattern));
    return;
  }
  const std::string filter = "指定種別のSMFファイル|" + path_or_pattern + "|";
  std::filesystem::path chosen;
  if (GneOpenFileDialog("mid", filter.c_str(), &chosen)) Load(chosen);
}

MidiLoader::MidiLoader(const std::filesystem::path& file) { Load(file); }

MidiLoader::MidiLoader() {
  std::filesystem::path chosen;
  if (GneOpenFileDialog("mid", "SMF files|*.mid|", &chosen)) {
    Load(chosen);
  } else {
    path.clear();
  }
}

MidiLoader::~MidiLoader() { Clear(); }

void MidiLoader::Clear() {
  delete song;
  song = nullptr;
  delete format0_song;
  format0_song = nullptr;
}

int32_t MidiLoader::SongCapacity() const {
  // Songs of the usual capacity refuse files above it; a larger file gets room for
  // itself and for the chunks a split or a merge writes around it.
  const int64_t room = std::max<int64_t>(kLoaderSongCapacity, 2 * int64_t{file_size} + 0x10000);
  return static_cast<int32_t>(room);
}

void MidiLoader::Load(const std::filesystem::path& file) {
  path = file;
  Clear();
  file_size = 0;
  file_bytes.clear();
  // A file that is not there, is a folder or may not be read is the user's choice: it is said,
  // and the caller goes on without a song.
  const int64_t length = plat::FileSize(file);
  if (length < 0 || !GneCanOpenFile(file)) {
    ShowText("Midiファイルが開けませんでした。" + plat::Utf8ToCp932(file.string()));
    return;
  }
  if (length >= kMidiLoaderSizeLimit) {
    ErrorMsg(kMdldTooLarge);
    return;
  }
  file_bytes.assign(static_cast<size_t>(length), 0);
  if (length > 0 &&
      !GneReadFile(file, file_bytes.data(), file_bytes.size(), GneFileUse::kUserChosen)) {
    file_bytes.clear();
    return;
  }
  file_size = static_cast<int32_t>(length);
  const int format = GetSmfFormat(file_bytes.data(), file_size);
  file_format = format;
  current_format = format;
  if (format == 0) {
    Midi0Data format0(file, SongCapacity());
    // A file the format-0 reader refused leaves an empty track: no song.
    if (format0.state == kSongNotes && format0.track != nullptr &&
        format0.track->event_count > 0) {
      song = new Midi1Data(format0, SongCapacity());
    }
    current_format = 1;
  } else if (format == 1) {
    song = new Midi1Data(file, SongCapacity());
  } else {
    ErrorMsg(kMdldNotMidi);
    file_size = 0;
    return;
  }
  if (song == nullptr || song->track_count == 0) {
    delete song;
    song = nullptr;
    file_size = 0;
  }
}

void MidiLoader::MergeToFormat0(int join_names) {
  if (song == nullptr || song->state != kSongNotes) {
    ErrorMsg(kMdldInternal);
    return;
  }
  auto* merged = new Midi0Data(kSongNotes, 480, SongCapacity());
  merged->division = song->division;
  MidiTrack& out = *merged->track;
  for (int32_t t = song->track_count - 1; t >= 0; --t) {
    if (join_names) {
      out.MergeTrack(*song->tracks[t]);
    } else {
      out.MergeTrackKeepNames(*song->tracks[t]);
    }
  }
  delete song;
  song = nullptr;
  delete format0_song;
  format0_song = merged;
}

void MidiLoader::SplitToFormat1() {
  if (format0_song == nullptr || format0_song->state != kSongNotes) {
    ErrorMsg(kMdldInternal);
    return;
  }
  delete song;
  song = new Midi1Data(*format0_song, SongCapacity());
  delete format0_song;
  format0_song = nullptr;
}
