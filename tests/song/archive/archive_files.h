// Song files for the archive tests: real songs saved with the song's own writer, and bare files
// of a song file's length holding only the information block (sparse on disc, so thousands are
// cheap).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "song/song_data.h"

namespace archive_test {

struct SongSpec {
  SongSpec(std::string title_, int popularity_ = 0, int country_ = 0, int key_ = 0,
           int bars_ = 4, std::vector<int> notes_ = {}, std::string lyrics_ = "")
      : title(std::move(title_)), popularity(popularity_), country(country_), key(key_),
        bars(bars_), notes(std::move(notes_)), lyrics(std::move(lyrics_)) {}
  std::string title;
  int popularity;
  int country;
  int key;  // row of the key table
  int bars;
  std::vector<int> notes;  // one eighth each from the first bar on
  std::string lyrics;
};

inline std::unique_ptr<CSongData> MakeSong(const SongSpec& spec) {
  auto song = std::make_unique<CSongData>();
  song->Reset(spec.bars, 4, spec.key, 1);
  song->SetKeyName(spec.key);
  int eighth = 0;
  for (int pitch : spec.notes) {
    song->SetNote(eighth / 8, eighth % 8, pitch, 1, false);
    ++eighth;
  }
  song->info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, spec.title);
  song->info.SetU16(SongInfoBlock::kPopularity, static_cast<uint16_t>(spec.popularity));
  song->info.bytes[SongInfoBlock::kListItem] = static_cast<uint8_t>(spec.country);
  if (!spec.lyrics.empty()) {
    std::snprintf(song->lyrics_area, sizeof song->lyrics_area, "%s", spec.lyrics.c_str());
  }
  return song;
}

inline void SaveSong(const std::filesystem::path& path, const SongSpec& spec) {
  std::filesystem::create_directories(path.parent_path());
  auto song = MakeSong(spec);
  song->Save(&path);
}

// A file of a song file's length whose information block holds only a title and a popularity.
inline void WriteBareSong(const std::filesystem::path& path, const std::string& title,
                          int popularity) {
  std::filesystem::create_directories(path.parent_path());
  SongInfoBlock info{};
  info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, title);
  info.SetU16(SongInfoBlock::kPopularity, static_cast<uint16_t>(popularity));
  {
    std::ofstream out(path, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kImageInfoOffset));
    out.write(reinterpret_cast<const char*>(info.bytes), sizeof info.bytes);
  }
  std::filesystem::resize_file(path, kSongImageSize);
}

}  // namespace archive_test
