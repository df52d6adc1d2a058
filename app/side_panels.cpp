// The panels and modal dialogs the window opens beside the melody and chord panels: the lyric
// input panel, the guitar and triplet panels, step input and the bar-range edit dialog.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "dialogs/lyric_panel.h"
#include "dialogs/melody_panel.h"
#include "dialogs/step_dialog.h"
#include "dialogs/triplet_guitar_panels.h"
#include "song/song_data.h"

#include <algorithm>

void CBrevantDlg::LyricCursor(int* bar, int* eighth) const {
  const bool placed = cursorBar >= 0 && cursorEighth >= 0;
  *bar = placed ? topRow * g_barsPerRow + cursorBar : -1;
  *eighth = placed ? cursorEighth : -1;
}

int CBrevantDlg::RunModal(CDialogSkeleton& dialog) {
  if (modalRunner) return modalRunner(dialog);
  return dialog.exec();
}

void CBrevantDlg::CreateSidePanels() {
  auto* lyric = new CLyricInputDlg(this);
  lyric->SetOwner(this);
  lyric->SetLyricOwner(this);
  lyric->Create();
  g_lyricInputPanel = lyric;

  auto* guitar = new CGuitarDlg(this);
  guitar->SetOwner(this);
  guitar->SetMelodyPanel(g_melodyPanel);
  guitar->Create();
  guitarPanel = guitar;

  auto* triplet = new CTripletDlg(this);
  triplet->SetOwner(this);
  triplet->SetSharedPicture(g_melodyPanel ? g_melodyPanel->LengthGrid() : nullptr);
  triplet->Create();
  tripletPanel = triplet;
}

void CBrevantDlg::ReleaseSidePanels() {
  delete tripletPanel;
  tripletPanel = nullptr;
  delete guitarPanel;
  guitarPanel = nullptr;
  delete g_lyricInputPanel;
  g_lyricInputPanel = nullptr;
}

void CBrevantDlg::ShowLyricInputPanel() {
  if (g_lyricInputPanel) g_lyricInputPanel->show();
}

void CBrevantDlg::ShowGuitarPanel() {
  if (guitarPanel) guitarPanel->show();
}

void CBrevantDlg::ShowTripletPanel() {
  if (tripletPanel) tripletPanel->show();
}

void CBrevantDlg::ShowStepInput() {
  if (!song) return;
  if (g_melodyPanel) g_melodyPanel->hide();
  CStepDlg dialog(this);
  dialog.SetOwner(this);
  dialog.SetSong(song.get());
  // Without a cursor the list starts at the song's first slot.
  const int bar = cursorBar >= 0 ? topRow * g_barsPerRow + cursorBar : 0;
  const int eighth = std::max(cursorEighth, 0);
  dialog.startRow = (eighth + SongBeatsPerBar() * 2 * bar) * 3 + (cursorHalf == 1 ? 1 : 0);
  RunModal(dialog);
}
