// The web song library: the right half of the archive dialog. A server publishes one song list
// per genre and one song file per entry over plain HTTP; the user picks a genre, may narrow the
// list by a keyword, and opens an entry in the preview page (dialogs/preview_page.h).
//
// Requests: GET <base>/music/<genre>_get_list.php for a list, and
// GET <base>/music/music_get_file.php?fn=<file key> for a song image. The base address (scheme,
// host and port) is the key-value file's value WebLibrary/Server; with none set nothing is
// requested and every fetch fails as an unreachable server does.
//
// A list reply is a CP932 delimited list of five cells a row (title, -, file key, page address,
// -). It is written to "temp.dat" in the user data folder and read back as the held table; a
// reply of 12 rows or fewer is a failed read, and the user is asked whether to try again. Rows
// whose title begins with "＊" or "（楽譜）" are never shown.
//
// Threads: each fetch runs on a worker that only downloads, writes and parses, then posts; the
// UI thread joins it, takes its result and fills the widgets. One list fetch runs at a time (a
// new genre cancels the running one), the song request runs off the UI thread with the dialog
// shown busy, and Shutdown cancels and joins every worker before the dialog goes.
#pragma once

#include "platform/qt/app_message.h"

#include <QObject>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class CDialogSkeleton;
class CInternet;
class CListFile;
class CSongData;
class CTrialDlg;
class QComboBox;
class QLabel;
class QListWidget;
struct ConfigData;

class CWebLibrary : public QObject {
  Q_OBJECT

 public:
  // Private messages: start a list fetch (a genre change, and the first fetch) and start one
  // again after the retry question.
  static constexpr uint32_t kMsgFetchList = plat::WM_APP + 301;
  static constexpr uint32_t kMsgRetryFetch = plat::WM_APP + 304;
  // Posted to the main window around the preview page: it closes its audition device before and
  // opens it again after.
  static constexpr uint32_t kMsgPreviewOpening = plat::WM_APP + 302;
  static constexpr uint32_t kMsgPreviewClosed = plat::WM_APP + 303;

  static constexpr int kListBoxId = 1063;
  static constexpr int kGenreComboId = 1151;
  static constexpr int kCountLabelId = 1154;
  static constexpr int kGenreCount = 6;
  static constexpr int kReceiveCapacity = 262144;
  static constexpr int kListColumns = 5;
  static constexpr int kFewestRows = 13;       // 12 rows or fewer: a failed read
  static constexpr int kKeywordSize = 1024;    // the keyword with its terminator
  static constexpr int kPageAddressSize = 260;  // a page address with its terminator
  static constexpr const char* kServerKey = "WebLibrary";
  static constexpr const char* kServerName = "Server";
  static constexpr const char* kTempFileName = "temp.dat";

  // The dialog whose right half this is, and the settings (hide flag, screen layout).
  CWebLibrary(CDialogSkeleton* dialog, ConfigData* config);
  ~CWebLibrary() override;

  // Takes the dialog's list, genre combo and count label (by their ids; those it lacks are made
  // for it to place) and starts: the notice line when the library is hidden, else the six
  // genres and the first fetch.
  void Prepare();
  // Cancels and joins every worker; later replies are dropped. Run before the dialog goes.
  void Shutdown();

  // 0 until the first list fetch has ended (then 1; 1 at once when the library is hidden).
  // The dialog refuses OK and Cancel while it is 0.
  int Ready() const { return ready_; }
  // True while the song of a preview is being fetched (the dialog is shown busy).
  bool FetchingSong() const { return songFetch_ != nullptr; }

  // Starts the list fetch of the genre the combo shows, cancelling a running one.
  void FetchWebList();
  // Fills the list from the held table: rows whose title matches the keyword and is shown.
  void FillWebList();
  // The keyword search (the archive dialog's button 5): only while a table is held.
  void WebKeywordSearch();
  // The preview page of the chosen entry (button 5 and a double click on an entry).
  void OpenPreviewPage();

  QListWidget* List() const { return list_; }
  QComboBox* GenreCombo() const { return genres_; }
  QLabel* CountLabel() const { return count_; }
  const CListFile* Table() const { return table_.get(); }
  int AllGenreTotal() const { return allGenreTotal_; }
  // Times an OpenPreviewPage without a chosen entry has beeped.
  int BeepCount() const { return beeps_; }

  // The keyword dialog and the preview page, replaceable by tests (the default runs them
  // modally). The keyword runner answers the typed keyword ("" unless it ended with OK).
  std::function<std::string(QWidget* parent)> runKeywordDialog;
  std::function<void(CTrialDlg& page)> runPreviewPage;

  // ---- the protocol ----
  // The list path of a genre row (any row but 1 to 5 uses row 0's).
  static const char* ListPath(int row);
  static const char* GenreName(int row);
  // The song request's path for a file key: bytes outside printable ASCII, the blank, "#", "&"
  // and "%" percent-encoded, every other byte as it stands.
  static std::string SongRequestPath(const std::string& fileKey);
  // False for the keys whose entries have no song file ("JRC...", "elicense...").
  static bool HasSongFile(const std::string& fileKey);
  // False for the titles the list never shows ("＊...", "（楽譜）...").
  static bool IsShownTitle(const char* title);
  // The base address from the key-value file, without trailing "/"; "" when none is set.
  static std::string BaseAddress();
  // Reads a list reply the way a fetch does: written to the file, read as a table. Null when the
  // file cannot be written (reported as a failed read, never as a fatal error).
  static std::unique_ptr<CListFile> ReadListReply(const uint8_t* bytes, size_t n,
                                                  const std::filesystem::path& file);
  // Lists the shown rows of the table whose title holds the keyword (each item's value is its
  // row) and chooses the first; answers how many were listed.
  static int FillList(QListWidget* list, const CListFile& table, const std::string& keyword);
  // The pause before the retry question (ms; tests shorten it).
  static void SetRetryPause(int ms);

 protected:
  void customEvent(QEvent* event) override;

 private:
  struct Fetch;
  void StartFetch(std::unique_ptr<Fetch>& slot, uint32_t replyMessage, std::string url,
                  std::function<void(Fetch&)> work);
  void StopFetch(std::unique_ptr<Fetch>& slot);
  // The dialog's control of the id, made when it has none.
  template <typename W>
  W* Control(int id);
  void OnGenreChanged(int row);
  void OnListArrived();
  void AskRetry(uint64_t generation);
  void EmptyList();
  void OnSongArrived();
  void RunPreview(std::unique_ptr<CSongData> song, const std::string& pageAddress);
  void SetBusy(bool busy);

  CDialogSkeleton* dialog_;
  ConfigData* config_;
  QListWidget* list_ = nullptr;
  QComboBox* genres_ = nullptr;
  QLabel* count_ = nullptr;
  std::unique_ptr<CListFile> table_;
  int ready_ = 0;
  std::string keyword_;
  int allGenreTotal_ = 0;
  int beeps_ = 0;
  uint64_t generation_ = 0;  // of the list fetch whose reply counts
  std::unique_ptr<Fetch> listFetch_;
  std::unique_ptr<Fetch> songFetch_;
  std::string songPage_;  // the page address of the entry whose song is on its way
  bool shutDown_ = false;
};
