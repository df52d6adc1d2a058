#include "dialogs/web_library.h"

#include "dialogs/config_block.h"
#include "dialogs/dialog_skeleton.h"
#include "dialogs/preview_page.h"
#include "dialogs/web_search_dialog.h"
#include "platform/core/folders.h"
#include "platform/core/message_sink.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"
#include "util/gne_files.h"
#include "util/gne_text.h"
#include "util/internet.h"
#include "util/list_file.h"
#include "util/program_errors.h"
#include "util/registry.h"
#include "util/search_text.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

// Replies of the workers, to the web half itself.
constexpr uint32_t kMsgListArrived = plat::WM_APP + 320;
constexpr uint32_t kMsgSongArrived = plat::WM_APP + 321;

struct Genre {
  const char* name;
  const char* path;
};
constexpr Genre kGenres[CWebLibrary::kGenreCount] = {
    {"全て表示", "/music/music_get_list.php"},
    {"アニメ", "/music/anime_get_list.php"},
    {"JPOP", "/music/jpop_get_list.php"},
    {"懐メロ・演歌", "/music/natsumero_get_list.php"},
    {"ドラマ・CM", "/music/themesong_get_list.php"},
    {"童謡・唱歌", "/music/kayou_get_list.php"},
};

const char kHiddenNotice[] = "Webライブラリが非表示に設定されています。";
const char kLoading[] = "読込み中・・・";
const char kConnectFailed[] = "インターネットの接続に失敗しました。";
const char kRetryQuestion[] = "インターネット読み込みに失敗しました。再試行しますか？";
const char kStillLoading[] = "曲リストの読込み中です。";
const char kSongRequest[] = "/music/music_get_file.php?fn=";

std::atomic<int> g_retryPauseMs{1000};

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

// One download on a worker thread. The UI thread starts it, may cancel it, and joins it when
// its reply has been posted (or before the dialog goes); only then does it read the results.
struct CWebLibrary::Fetch {
  std::unique_ptr<CInternet> net;
  std::thread thread;
  uint64_t generation = 0;
  bool received = false;
  std::unique_ptr<CListFile> table;
  // Set by the worker as its last step.
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;

  void Finish() {
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    ended.notify_all();
  }

  ~Fetch() {
    if (!thread.joinable()) return;
    net->Cancel();
    // A worker may be waiting for a message box (a refused list, an overlong reply), which the
    // UI thread shows: keep showing those while waiting, so that the two never wait on each other.
    std::unique_lock<std::mutex> lock(mutex);
    while (!ended.wait_for(lock, std::chrono::milliseconds(10), [this] { return finished; })) {
      lock.unlock();
      QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
      lock.lock();
    }
    lock.unlock();
    thread.join();
  }
};

CWebLibrary::CWebLibrary(CDialogSkeleton* dialog, ConfigData* config)
    : QObject(dialog), dialog_(dialog), config_(config) {}

CWebLibrary::~CWebLibrary() { Shutdown(); }

const char* CWebLibrary::ListPath(int row) {
  return kGenres[row >= 1 && row < kGenreCount ? row : 0].path;
}

const char* CWebLibrary::GenreName(int row) {
  return row >= 0 && row < kGenreCount ? kGenres[row].name : "";
}

std::string CWebLibrary::SongRequestPath(const std::string& fileKey) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string path = kSongRequest;
  for (const char c : fileKey) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || b == '#' || b == '&' || b == '%') {
      path += '%';
      path += kHex[b >> 4];
      path += kHex[b & 15];
    } else {
      path += c;
    }
  }
  return path;
}

bool CWebLibrary::HasSongFile(const std::string& fileKey) {
  return !StartsWith(fileKey.c_str(), "JRC") && !StartsWith(fileKey.c_str(), "elicense");
}

bool CWebLibrary::IsShownTitle(const char* title) {
  return !StartsWith(title, "＊") && !StartsWith(title, "（楽譜）");
}

std::string CWebLibrary::BaseAddress() {
  std::string base;
  if (!GneRegistryGet(kServerKey, kServerName, base)) return std::string();
  while (!base.empty() && (base.back() == '/' || base.back() == ' ')) base.pop_back();
  return base;
}

std::unique_ptr<CListFile> CWebLibrary::ReadListReply(const uint8_t* bytes, size_t n,
                                                      const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  if (!GneWriteFileQuietly(file, bytes, n)) return nullptr;
  return std::make_unique<CListFile>(file, kListColumns, ',');
}

void CWebLibrary::SetRetryPause(int ms) { g_retryPauseMs = ms; }

void CWebLibrary::Prepare() {
  list_ = Control<QListWidget>(kListBoxId);
  genres_ = Control<QComboBox>(kGenreComboId);
  count_ = Control<QLabel>(kCountLabelId);
  dialog_->UseDialogColours(count_);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { OpenPreviewPage(); });
  table_.reset();
  keyword_.clear();
  ready_ = 0;
  if (config_ && config_->hideWebLibrary == 1) {
    list_->addItem(plat::ToQString(kHiddenNotice));
    ready_ = 1;
    return;
  }
  for (const Genre& g : kGenres) genres_->addItem(plat::ToQString(g.name));
  genres_->setCurrentIndex(0);
  connect(genres_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          [this](int row) { OnGenreChanged(row); });
  list_->addItem(plat::ToQString(kLoading));
  plat::PostAppMessage(this, kMsgFetchList);
}

template <typename W>
W* CWebLibrary::Control(int id) {
  W* w = dialog_->findChild<W*>(QString::number(id), Qt::FindDirectChildrenOnly);
  return w ? w : dialog_->MakeControl<W>(id);
}

void CWebLibrary::Shutdown() {
  shutDown_ = true;
  StopFetch(listFetch_);
  if (songFetch_) {
    StopFetch(songFetch_);
    SetBusy(false);
  }
}

void CWebLibrary::OnGenreChanged(int) {
  if (config_ && config_->hideWebLibrary == 1) return;
  list_->clear();
  list_->addItem(plat::ToQString(kLoading));
  plat::PostAppMessage(this, kMsgFetchList);
}

void CWebLibrary::StartFetch(std::unique_ptr<Fetch>& slot, uint32_t replyMessage, std::string url,
                             std::function<void(Fetch&)> work) {
  StopFetch(slot);
  slot = std::make_unique<Fetch>();
  Fetch* f = slot.get();
  f->net = std::make_unique<CInternet>(kReceiveCapacity);
  f->generation = ++generation_;
  f->thread = std::thread([this, f, replyMessage, url = std::move(url), work = std::move(work)] {
    // Without a server nothing is requested: the fetch fails as an unreachable one does.
    if (!url.empty()) f->received = f->net->Download(url.c_str(), 0) == 1 && f->net->count() > 0;
    if (work) work(*f);
    plat::PostAppMessage(this, replyMessage, static_cast<uintptr_t>(f->generation));
    f->Finish();
  });
}

void CWebLibrary::StopFetch(std::unique_ptr<Fetch>& slot) { slot.reset(); }

void CWebLibrary::FetchWebList() {
  if (shutDown_ || !genres_) return;
  const std::string base = BaseAddress();
  const std::string url = base.empty() ? std::string() : base + ListPath(genres_->currentIndex());
  const std::filesystem::path file = plat::UserDataFolder() / kTempFileName;
  StartFetch(listFetch_, kMsgListArrived, url, [file](Fetch& f) {
    if (f.received) f.table = ReadListReply(f.net->buffer(), static_cast<size_t>(f.net->count()), file);
  });
}

void CWebLibrary::customEvent(QEvent* event) {
  const plat::AppMessage* m = plat::IsAppMessage(event);
  if (!m) return;
  switch (m->message) {
    case kMsgFetchList:
    case kMsgRetryFetch:
      FetchWebList();
      break;
    case kMsgListArrived:
      if (listFetch_ && listFetch_->generation == m->wparam) OnListArrived();
      break;
    case kMsgSongArrived:
      if (songFetch_ && songFetch_->generation == m->wparam) OnSongArrived();
      break;
    default:
      break;
  }
}

void CWebLibrary::OnListArrived() {
  listFetch_->thread.join();  // it has posted its last word: its results are ours now
  const std::unique_ptr<Fetch> done = std::move(listFetch_);
  if (!done->received) {
    dialog_->ShowMessage(kConnectFailed);
    EmptyList();
    ready_ = 1;
    return;
  }
  if (done->table && done->table->rows() >= kFewestRows) {
    table_ = std::move(done->table);
    FillWebList();
    std::error_code ec;
    std::filesystem::remove(plat::UserDataFolder() / kTempFileName, ec);
    ready_ = 1;
    return;
  }
  table_.reset();
  const uint64_t generation = generation_;
  QTimer::singleShot(g_retryPauseMs.load(), this, [this, generation] { AskRetry(generation); });
}

void CWebLibrary::AskRetry(uint64_t generation) {
  // A later fetch (another genre) has taken over the question.
  if (shutDown_ || generation != generation_ || listFetch_) return;
  if (AskByCode(kRetryQuestion) == plat::kIdOk) {
    plat::PostAppMessage(this, kMsgRetryFetch);
    return;
  }
  EmptyList();
  ready_ = 1;
}

void CWebLibrary::EmptyList() {
  if (list_) list_->clear();
}

int CWebLibrary::FillList(QListWidget* list, const CListFile& table, const std::string& keyword) {
  list->clear();
  CSearchText search(keyword.c_str());
  int shown = 0;
  for (int row = 0; row < table.rows(); ++row) {
    const char* title = table.Cell(row, 0);
    if ((keyword.empty() || search.Match(title)) && IsShownTitle(title)) {
      auto* item = new QListWidgetItem(plat::ToQString(title));
      item->setData(Qt::UserRole, row);
      list->addItem(item);
      ++shown;
    }
  }
  if (list->count() > 0) list->setCurrentRow(0);
  return shown;
}

void CWebLibrary::FillWebList() {
  if (!list_ || !table_) return;
  const int shown = FillList(list_, *table_, keyword_);
  if (genres_ && genres_->currentIndex() == 0) allGenreTotal_ = shown;
  char text[32];
  std::snprintf(text, sizeof text, "%d / %d", shown, allGenreTotal_);
  if (count_) count_->setText(plat::ToQString(text));
}

void CWebLibrary::WebKeywordSearch() {
  if (!table_) return;
  if (runKeywordDialog) {
    keyword_ = runKeywordDialog(dialog_);
  } else {
    CWebSearchDlg search(dialog_);
    search.SetOwner(dialog_->Owner());
    search.exec();
    keyword_ = search.Keyword();
  }
  keyword_.resize(GneFitCp932(keyword_.data(), keyword_.size(), kKeywordSize - 1));
  FillWebList();
  keyword_.clear();
}

void CWebLibrary::OpenPreviewPage() {
  if (!ready_) {
    dialog_->ShowMessage(kStillLoading);
    return;
  }
  if (songFetch_ || !list_) return;
  const QListWidgetItem* item = list_->currentItem();
  const QVariant row = item ? item->data(Qt::UserRole) : QVariant();
  if (!row.isValid()) {
    // No entry chosen (the notice lines are no entries).
    ++beeps_;
    QApplication::beep();
    return;
  }
  if (!table_ || row.toInt() < 0 || row.toInt() >= table_->rows()) return;
  const std::string key = table_->Cell(row.toInt(), 2);
  std::string page = table_->Cell(row.toInt(), 3);
  page.resize(GneFitCp932(page.data(), page.size(), kPageAddressSize - 1));
  if (!HasSongFile(key)) {
    RunPreview(nullptr, page);
    return;
  }
  const std::string base = BaseAddress();
  songPage_ = page;
  SetBusy(true);
  StartFetch(songFetch_, kMsgSongArrived, base.empty() ? std::string() : base + SongRequestPath(key),
             nullptr);
}

void CWebLibrary::OnSongArrived() {
  songFetch_->thread.join();
  const std::unique_ptr<Fetch> done = std::move(songFetch_);
  SetBusy(false);
  // An image the song refuses (nothing received among them) is reported by the song itself;
  // the page then opens without a song.
  std::unique_ptr<CSongData> song = CSongData::LoadFromImage(
      done->net->buffer(), done->received ? static_cast<size_t>(done->net->count()) : 0);
  if (song && song->bar_count <= 0) song.reset();
  RunPreview(std::move(song), songPage_);
}

void CWebLibrary::RunPreview(std::unique_ptr<CSongData> song, const std::string& pageAddress) {
  CTrialDlg page(dialog_);
  page.SetOwner(dialog_->Owner());
  const int scale = dialog_->Owner() ? dialog_->Owner()->DisplayScale() : 100;
  const int layout = config_ ? config_->screenLayout : 0;
  if (layout == 0 || layout == 2) {
    page.windowWidth = 800;
    page.windowHeight = 600;
  } else {
    page.windowWidth = scale >= 200 ? 1059 : 959;
    page.windowHeight = 731;
  }
  page.song = song.get();
  page.pageAddress = pageAddress;
  page.userDataFolder = plat::UserDataFolder();
  dialog_->PostToMain(kMsgPreviewOpening);
  if (runPreviewPage) {
    runPreviewPage(page);
  } else {
    page.exec();
  }
  dialog_->PostToMain(kMsgPreviewClosed);
}

void CWebLibrary::SetBusy(bool busy) {
  if (busy) {
    dialog_->setCursor(Qt::BusyCursor);
  } else {
    dialog_->unsetCursor();
  }
  if (list_) list_->setEnabled(!busy);
}
