// The personal archive: the song files of the folder "Archive", listed under a popularity filter
// and searched by title, country, phrase, lyric or the notes a song uses. The scans run on a
// worker thread (CArchiveWorker) that a stop flag ends between files; they report through
// callbacks and never touch a window.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CSongData;

namespace archive {

// The most files a scan looks at and the most entries a list holds.
constexpr int kMaxFiles = 3000;
constexpr int kMaxEntries = 3000;
constexpr int kKeywordSize = 256;
constexpr int kMaxPressedNotes = 128;

// The popularity filter: the row's name and the least popularity index a song needs.
struct PopularityRow {
  const char* name;
  int minimum;
};
extern const PopularityRow kPopularityFilter[4];
// The row, 0 for one outside the table.
const PopularityRow& FilterRow(int row);

// What a scan does: -1 lists every song; 0-4 are the searches of the search dialog.
enum ScanType { kListAll = -1, kTitle = 0, kCountry = 1, kPhrase = 2, kLyric = 3, kNotes = 4 };

struct Request {
  int type = kListAll;
  int filterRow = 0;
  std::string keyword;  // titles and lyrics (CP932)
  int country = 0;
  // The phrase: bars first..last of `current`, a copy of the open song the worker owns.
  int firstBar = 0;
  int lastBar = 1;
  double threshold = 0.6;
  std::shared_ptr<const CSongData> current;
  std::vector<int> notes;  // MIDI notes pressed for the notes search
};

// One row of the personal list: its text, its file (native name in the folder) and its item
// value (the transposition, 0-11, after the notes search; else 0).
struct Entry {
  std::string text;
  std::string file;
  int item = 0;
};

struct Outcome {
  std::vector<Entry> entries;
  // Files looked at, and the count the label sets the entries against (twelve times the files
  // after the notes search).
  int files = 0;
  int denominator = 0;
  // The archive error to show at the end: 2 more files than the listing holds, 0 the notes
  // search's list full; -1 none.
  int error = -1;
  // Files that could not be read, and the first complaint one of them raised.
  int unreadable = 0;
  std::string firstComplaint;
  bool stopped = false;
};

// Called on the scanning thread with the number of entries so far.
using Progress = std::function<void(int entries)>;

// The archive folder below `base`.
std::filesystem::path ArchiveFolder(const std::filesystem::path& base);

// Runs one scan of `folder` ("*.mwd", in name order) to its end or until `stop` is set.
Outcome Scan(const std::filesystem::path& folder, const Request& request,
             const std::atomic<bool>& stop, const Progress& progress = nullptr);

// The shifts k (0-11) that move the song's notes onto pressed keys: `used` marks the 128 MIDI
// notes the song uses, `pressed` holds `count` notes. The song fits shift k when, moved down by
// k semitones (modulo octaves of the shift itself), it uses only pressed keys. fits[] is cleared
// first; returns 1 when any shift fits. A song without notes fits none.
int FindFittingShifts(const int used[128], const int* pressed, int count, int fits[12]);

// The name of the key a song in key row `key_index` moves to when shifted by k (the first row
// of the key table with the new tonic and the same mode; the song's own key when none).
std::string ShiftedKeyName(int key_index, int k);

// Reads the parts of a song file the searches use (notes, information, shape) into `song`.
// False when the file could not be read or was refused (the song then holds an empty song).
bool LoadForSearch(const std::filesystem::path& path, CSongData* song);

}  // namespace archive

// One scan at a time on its own thread. Starting another stops and joins the running one; the
// destructor does the same, so a dialog that goes never leaves a scan behind.
class CArchiveWorker {
 public:
  using Done = std::function<void(archive::Outcome)>;

  CArchiveWorker() = default;
  ~CArchiveWorker();
  CArchiveWorker(const CArchiveWorker&) = delete;
  CArchiveWorker& operator=(const CArchiveWorker&) = delete;

  // `progress` and `done` run on the worker thread; `done` once, also after a stop.
  void Start(std::filesystem::path folder, archive::Request request, archive::Progress progress,
             Done done);
  // Sets the stop flag and waits for the thread.
  void Stop();
  bool Running() const { return running_.load(); }

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
};
