#include "song/archive_scan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/core/message_sink.h"
#include "song/phrase_compare.h"
#include "song/song_data.h"
#include "util/directory_file_list.h"
#include "util/music_names.h"
#include "util/search_text.h"

namespace archive {

const PopularityRow kPopularityFilter[4] = {
    {"全て表示", 0},
    {"知名度低いものも表示", 100},
    {"有名曲のみ表示", 400},
    {"超有名曲のみ表示", 1000},
};

const PopularityRow& FilterRow(int row) {
  return kPopularityFilter[row >= 0 && row < 4 ? row : 0];
}

std::filesystem::path ArchiveFolder(const std::filesystem::path& base) { return base / "Archive"; }

namespace {

// A fixed text field as a string: up to its first zero, never past the field.
std::string FieldText(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

// True when the lyrics text (at most 2048 bytes, up to its zero) holds the keyword's bytes.
bool LyricsHold(const char* lyrics, size_t size, const std::string& keyword) {
  const size_t n = strnlen(lyrics, size);
  return std::search(lyrics, lyrics + n, keyword.begin(), keyword.end()) != lyrics + n;
}

class Scanner {
 public:
  Scanner(const std::filesystem::path& folder, const Request& request,
          const std::atomic<bool>& stop, const Progress& progress)
      : folder_(folder), request_(request), stop_(stop), progress_(progress),
        minimum_(FilterRow(request.filterRow).minimum) {}

  Outcome Run() {
    const CDirectoryFileList list(folder_, "*.mwd", 0, 0);
    const int total = list.count();
    const int files = std::min(total, kMaxFiles);
    out_.files = files;
    out_.denominator = request_.type == kNotes ? files * 12 : files;
    if (request_.type == kListAll && total > kMaxFiles) {
      // Known at once; the listing still lists the first 3000.
      out_.error = 2;
    }
    if (request_.type == kCountry || request_.type == kPhrase || request_.type == kNotes) {
      song_ = std::make_unique<CSongData>();
    }
    for (int i = 0; i < files; ++i) {
      if (stop_.load(std::memory_order_relaxed)) {
        out_.stopped = true;
        break;
      }
      if (!Look(list.Entry(i))) break;
    }
    return std::move(out_);
  }

 private:
  // One file; false ends the scan.
  bool Look(const std::string& file) {
    switch (request_.type) {
      case kCountry:
      case kPhrase:
        return LookAtSong(file);
      case kNotes:
        return LookAtNotes(file);
      default:
        return LookAtInformation(file);
    }
  }

  void Unreadable(const plat::BoxCapture* boxes) {
    if (out_.unreadable++ == 0 && boxes && boxes->Count() > 0) {
      out_.firstComplaint = boxes->First();
    }
  }

  void Add(std::string text, const std::string& file, int item) {
    out_.entries.push_back({std::move(text), file, item});
    if (progress_) progress_(static_cast<int>(out_.entries.size()));
  }

  // The listing, the title and the lyric search: fixed blocks of the file only.
  bool LookAtInformation(const std::string& file) {
    const std::filesystem::path base = folder_.parent_path();
    std::string title, composer, alt_title, alt_composer;
    int popularity = 0;
    char alias[kKeywordSize] = {}, keyword[kKeywordSize] = {};
    const bool texts = request_.type == kTitle;
    const std::string sub = folder_.filename().string();
    if (!song_archive::ReadArchivedSongInfo(&title, &composer, file, sub, &base, &alt_title,
                                            &alt_composer, &popularity, texts ? alias : nullptr,
                                            texts ? keyword : nullptr, nullptr, nullptr)) {
      Unreadable(nullptr);
      return true;
    }
    if (popularity < minimum_) return true;
    if (request_.type == kTitle) {
      if (!search_) search_ = std::make_unique<CSearchText>(request_.keyword.c_str());
      const std::string alias_text = FieldText(alias, sizeof alias);
      const std::string keyword_text = FieldText(keyword, sizeof keyword);
      const bool found = search_->Match(title.c_str()) || search_->Match(composer.c_str()) ||
                         search_->Match(alt_title.c_str()) ||
                         search_->Match(alt_composer.c_str()) ||
                         (!alias_text.empty() && search_->Match(alias_text.c_str())) ||
                         search_->Match(keyword_text.c_str());
      if (!found) return true;
    } else if (request_.type == kLyric) {
      char lyrics[kLyricsAreaSize] = {};
      if (!song_archive::ReadArchivedLyrics(file, sub, &base, lyrics)) {
        Unreadable(nullptr);
        return true;
      }
      if (!LyricsHold(lyrics, sizeof lyrics, request_.keyword)) return true;
    }
    Add(title, file, 0);
    return true;
  }

  // Loads the song into song_; false (counted) when it could not be read.
  bool Load(const std::string& file) {
    plat::BoxCapture boxes;
    if (LoadForSearch(folder_ / file, song_.get())) return true;
    Unreadable(&boxes);
    return false;
  }

  std::string Title() const {
    return song_->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize);
  }
  bool PassesFilter() const { return song_->info.GetU16(SongInfoBlock::kPopularity) >= minimum_; }

  // The country and the phrase search.
  bool LookAtSong(const std::string& file) {
    if (!Load(file) || !PassesFilter()) return true;
    if (request_.type == kCountry) {
      if (song_->info.bytes[SongInfoBlock::kListItem] != request_.country) return true;
    } else {
      if (!request_.current) return true;
      const double similarity = CKvPhraseCompare::CompareBars(
          *request_.current, request_.firstBar, request_.lastBar, *song_);
      if (similarity < request_.threshold) return true;
    }
    Add(Title(), file, 0);
    return true;
  }

  bool LookAtNotes(const std::string& file) {
    if (static_cast<int>(out_.entries.size()) >= kMaxEntries) return false;
    if (!Load(file) || !PassesFilter()) return true;
    int used[128];
    song_->MarkUsedPitches(used);
    int fits[12];
    const std::vector<int>& notes = request_.notes;
    if (!FindFittingShifts(used, notes.data(), static_cast<int>(notes.size()), fits)) return true;
    const std::string title = Title();
    for (int k = 0; k < 12; ++k) {
      if (!fits[k]) continue;
      if (static_cast<int>(out_.entries.size()) >= kMaxEntries) {
        out_.error = 0;
        return false;
      }
      Add(title + "<" + ShiftedKeyName(song_->key_index, k) + ">", file, k);
    }
    return true;
  }

  const std::filesystem::path& folder_;
  const Request& request_;
  const std::atomic<bool>& stop_;
  const Progress& progress_;
  const int minimum_;
  Outcome out_;
  std::unique_ptr<CSongData> song_;
  std::unique_ptr<CSearchText> search_;
};

}  // namespace

Outcome Scan(const std::filesystem::path& folder, const Request& request,
             const std::atomic<bool>& stop, const Progress& progress) {
  return Scanner(folder, request, stop, progress).Run();
}

int FindFittingShifts(const int used[128], const int* pressed, int count, int fits[12]) {
  std::fill(fits, fits + 12, 0);
  int lo = 127, hi = 0;
  bool any = false;
  for (int n = 0; n < 128; ++n) {
    if (!used[n]) continue;
    any = true;
    lo = std::min(lo, n);
    hi = std::max(hi, n);
  }
  if (!any || count <= 0 || !pressed) return 0;
  int pmin = 127, pmax = 0;
  for (int i = 0; i < count; ++i) {
    pmin = std::min(pmin, pressed[i]);
    pmax = std::max(pmax, pressed[i]);
  }
  const int span = hi - lo;
  if (pmax - pmin < span) return 0;
  const int slack = pmax - pmin - span;
  int result = 0;
  for (int a = lo - pmin; a >= lo - pmin - slack; --a) {
    bool keys[128] = {};
    for (int i = 0; i < count; ++i) {
      const int p = pressed[i] + a;
      if (p >= 0 && p < 128) keys[p] = true;
    }
    bool fit = true;
    for (int n = lo; n <= hi && fit; ++n) fit = !used[n] || keys[n];
    if (fit) {
      fits[((a % 12) + 12) % 12] = 1;
      result = 1;
    }
  }
  return result;
}

std::string ShiftedKeyName(int key_index, int k) {
  if (key_index < 0 || key_index >= kKeySignatureCount) key_index = 0;
  const KeySignature& own = KeySignatureTable[key_index];
  const int tonic = ((own.tonic - k) % 12 + 12) % 12;
  for (const KeySignature& row : KeySignatureTable) {
    if (row.tonic == tonic && row.mode == own.mode) return row.name;
  }
  return own.name;
}

bool LoadForSearch(const std::filesystem::path& path, CSongData* song) {
  std::ifstream in(path, std::ios::binary);
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!in || ec) {
    song->Clear();
    song->Reset(4, 4, 0, 1);
    return false;
  }
  // The cells, the information and the shape are all a search reads: the style, the lyrics and
  // the bass lines behind them stay on disc.
  const size_t want = std::min<uintmax_t>(size, kNoLyricsLayoutSize);
  std::vector<uint8_t> data(want);
  if (want > 0) in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(want));
  if (static_cast<size_t>(in.gcount()) != want) {
    song->Clear();
    song->Reset(4, 4, 0, 1);
    return false;
  }
  return song->ReadFileBytes(data.data(), want, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace archive

CArchiveWorker::~CArchiveWorker() { Stop(); }

void CArchiveWorker::Start(std::filesystem::path folder, archive::Request request,
                           archive::Progress progress, Done done) {
  Stop();
  stop_.store(false);
  running_.store(true);
  thread_ = std::thread([this, folder = std::move(folder), request = std::move(request),
                         progress = std::move(progress), done = std::move(done)]() {
    archive::Outcome outcome = archive::Scan(folder, request, stop_, progress);
    running_.store(false);
    if (done) done(std::move(outcome));
  });
}

void CArchiveWorker::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}
