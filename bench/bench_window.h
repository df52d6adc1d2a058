// A started main window with a song of notes, lyrics and a chord on every beat, for the
// benchmarks of the page, printing and the score image.
#pragma once

#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "bench/qt_main.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/folders.h"
#include "platform/qt/printer.h"
#include "song/song_data.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace bench_window {

// A main window shown and let start (for at most ten seconds).
inline std::unique_ptr<CBrevantDlg> StartedWindow() {
  auto dlg = std::make_unique<CBrevantDlg>();
  dlg->show();
  QElapsedTimer guard;
  guard.start();
  while (dlg->isReady != 1 && guard.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return dlg;
}

struct Window {
  std::filesystem::path folder;
  std::unique_ptr<CBrevantDlg> dlg;
  plat::ScriptedFileDialogs dialogs;

  // A window on a screen of the size, in the layout, with a song of `bars` eighth notes, lyrics
  // and chords.
  Window(const char* tag, int screenWidth, int screenHeight, int layout, int bars) {
    folder = std::filesystem::temp_directory_path() /
             (std::string("cantrel_") + tag + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    plat::SetUserDataFolder(folder);
    plat::InstallFileDialogs(&dialogs);
    SetScreenSizeOverride(screenWidth, screenHeight);
    dlg = StartedWindow();
    dlg->config.screenLayout = static_cast<int8_t>(layout);
    dlg->RebuildLayout();
    CSongData& song = *dlg->song;
    song.SetBarCount(bars);
    static const char* const kChords[] = {"C", "Am", "F", "G7"};
    for (int cell = 0; cell < bars * 8; ++cell) {
      song.cells[cell].slot[0] = 60 + (cell * 5) % 19;
      std::snprintf(song.cells[cell].lyric[0], 8, "l%d", cell % 100);
    }
    for (int beat = 0; beat < bars * 4; ++beat) {
      std::strncpy(song.chords[beat].first, kChords[beat % 4], 7);
    }
  }
  ~Window() {
    dlg.reset();
    plat::InstallFileDialogs(nullptr);
    plat::InstallPrinterFactory(nullptr);
    ResetMainGlobals();
    SetScreenSizeOverride(0, 0);
    plat::SetUserDataFolder({});
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

}  // namespace bench_window
