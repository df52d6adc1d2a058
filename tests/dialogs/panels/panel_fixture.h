// A recording main window for the melody and chord panels: the fields it keeps for them, a song,
// the settings they read, and every message and call they make.
#pragma once

#include "dialogs/panel_owner.h"
#include "song/song_data.h"
#include "tests/support/test_support.h"
#include "util/music_names.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using Message = std::tuple<uint32_t, uintptr_t, intptr_t>;
constexpr uint32_t kApp = 0x8000;

class RecordingOwner : public CPanelOwner {
 public:
  RecordingOwner() : song(std::make_unique<CSongData>()) {
    song->Reset(8, 4, 0, 1);
    for (int c = 0; c < 8 * 8; ++c) {
      for (int s = 0; s < 3; ++s) song->cells[c].slot[s] = s == 2 ? NoteSlotVacant : NoteSlotHold;
    }
    for (int bar = 0; bar < 8; ++bar) song->cells[bar * 8].slot[0] = NoteSlotRest;
  }

  void PostToMain(uint32_t m, uintptr_t w, intptr_t l) override { posted.emplace_back(m, w, l); }
  void SendToMain(uint32_t m, uintptr_t w, intptr_t l) override { sent.emplace_back(m, w, l); }
  int InputMode() const override { return inputMode; }
  int DisplayScale() const override { return 100; }
  MelodyPanelFields& MelodyFields() override { return melody; }
  ChordPanelFields& ChordFields() override { return chord; }
  CSongData* Song() override { return song.get(); }
  int KeyRow() const override { return keyRow; }
  int GuideShown() const override { return guide; }
  int AdviceShown() const override { return advice; }
  void KeyboardRange(int* lowest, int* highest) const override {
    *lowest = low;
    *highest = high;
  }
  void EnterChord() override {
    entered.push_back(chord);
    if (chord.root >= 0 && chord.type >= 0) {
      song->SetChord(chord.cursorBar, chord.cursorBeat, chord.root, chord.type, chord.beats,
                     chord.bass, chord.entryMode == 1);
    }
  }
  void GetChordCell(int bar, int beat, char* text, int* attribute) const override {
    const int b = std::clamp(bar * 4 + beat, 0, song->SongBeats() - 1);
    std::memcpy(text, song->chords[b].first, 8);
    text[7] = '\0';
    *attribute = song->bass_first[b];
  }
  void GetNextChordCell(int bar, int beat, char* text, int* attribute) const override {
    const int b = std::min(bar * 4 + beat + 1, song->SongBeats() - 1);
    GetChordCell(b / 4, b % 4, text, attribute);
  }
  void GetPreviousChordCell(int bar, int beat, char* text, int* attribute) const override {
    const int b = std::max(bar * 4 + beat - 1, 0);
    GetChordCell(b / 4, b % 4, text, attribute);
  }
  void SetChordCell(int bar, int beat, const char* text, int attribute) override {
    char* field = song->chords[bar * 4 + beat].first;
    std::memset(field, 0, 8);
    std::strncpy(field, text, 7);
    song->bass_first[bar * 4 + beat] = static_cast<uint8_t>(attribute);
  }
  void MoveChordCursorNext() override { ++cursorMoves; }

  // Notes written straight into the song: pitch (-1 rest) over whole eighths from (bar, eighth).
  void PutNote(int bar, int eighth, int value, int eighths) {
    const int c = bar * 8 + eighth;
    song->cells[c].slot[0] = value;
    for (int i = 1; i < eighths; ++i) song->cells[c + i].slot[0] = NoteSlotHold;
  }
  void PutSkip(int bar, int beat) { SetChordCell(bar, beat, "Skip", 0); }

  std::vector<Message> Posted() {
    QCoreApplication::processEvents();
    return posted;
  }

  std::unique_ptr<CSongData> song;
  MelodyPanelFields melody;
  ChordPanelFields chord;
  std::vector<Message> posted, sent;
  std::vector<ChordPanelFields> entered;
  int cursorMoves = 0;
  int inputMode = 1;
  int keyRow = 0;
  int guide = 1;
  int advice = 1;
  int low = 48, high = 83;
};
