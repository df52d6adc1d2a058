// A recording main window for the editing dialogs: posted messages, the display scale and the
// lyric panel's text and cursor; and a small song of two 4/4 bars with notes where a test puts
// them.
#pragma once

#include "dialogs/dialog_owner.h"
#include "dialogs/lyric_panel.h"
#include "song/song_data.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstring>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using Message = std::tuple<uint32_t, uintptr_t, intptr_t>;
constexpr uint32_t kApp = 0x8000;

class EditingOwner : public CDialogOwner, public CLyricPanelOwner {
 public:
  void PostToMain(uint32_t m, uintptr_t w, intptr_t l) override { posted.emplace_back(m, w, l); }
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return scale; }
  std::string& LyricText() override { return text; }
  void LyricCursor(int* b, int* e) const override {
    *b = bar;
    *e = eighth;
  }
  std::vector<Message> Posted() {
    QCoreApplication::processEvents();
    return posted;
  }

  std::vector<Message> posted;
  int scale = 100;
  std::string text;
  int bar = -1, eighth = -1;
};

// Bars of 4/4, each a rest held over the bar (slots of holds and empty third parts).
inline std::unique_ptr<CSongData> EmptySong(int bars = 2) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, 4, 0, 1);
  for (int c = 0; c < song->SongCells(); ++c) {
    for (int s = 0; s < 3; ++s) {
      song->cells[c].slot[s] = s == 2 ? NoteSlotVacant : NoteSlotHold;
      std::memset(song->cells[c].lyric[s], 0, 8);
    }
  }
  for (int bar = 0; bar < bars; ++bar) song->cells[bar * 8].slot[0] = NoteSlotRest;
  return song;
}
