// What the melody and chord panels need of the main window: the fields it keeps for them, the
// song, the settings they read, and the few operations they call directly.
#pragma once

#include "dialogs/dialog_owner.h"
#include "dialogs/panel_fields.h"

class CSongData;

class CPanelOwner : public CDialogOwner {
 public:
  // Handles a private message at once (a sent message).
  virtual void SendToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) = 0;
  virtual MelodyPanelFields& MelodyFields() = 0;
  virtual ChordPanelFields& ChordFields() = 0;
  // The working song (never null once the window is up).
  virtual CSongData* Song() = 0;
  // The row of the window's key list (the song's key without a selection).
  virtual int KeyRow() const = 0;
  // Settings: scale marks and digit guides, the advice boxes, the melody keyboard's range.
  virtual int GuideShown() const = 0;
  virtual int AdviceShown() const = 0;
  virtual void KeyboardRange(int* lowest, int* highest) const = 0;

  // The chord panel's entry: sounds the chord of the chord fields, takes an undo image and
  // stores it at the chord cursor.
  virtual void EnterChord() = 0;
  // A beat's chord text (8 bytes of room) and bass byte, and the beats before and after it.
  virtual void GetChordCell(int bar, int beat, char* text, int* attribute) const = 0;
  virtual void GetNextChordCell(int bar, int beat, char* text, int* attribute) const = 0;
  virtual void GetPreviousChordCell(int bar, int beat, char* text, int* attribute) const = 0;
  virtual void SetChordCell(int bar, int beat, const char* text, int attribute) = 0;
  virtual void MoveChordCursorNext() = 0;
};
