// The import tool on the main window: the panel with the window's buttons 22-24 and second
// knob, its four score rows in the window's score picture, and bars dragged between the page
// and the tool.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "dialogs/import_tool_dialog.h"
#include "draw/button_picture.h"
#include "draw/knob_picture.h"
#include "draw/offscreen_control.h"
#include "draw/staff_picture.h"
#include "music/midi1_data.h"
#include "platform/qt/text_drag_drop.h"
#include "song/midi_import.h"
#include "song/song_data.h"
#include "util/music_names.h"

#include <QSpinBox>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

struct ImportButton {
  int code;
  const char* caption;
  int left;
  int right;
};
constexpr ImportButton kImportButtons[] = {
    {22, "   閉じる", 900, 988},
    {23, "   読込", 50, 138},
    {24, "   再生", 150, 238},
};

// The top of the tool's knob and buttons.
int ImportToolTop() { return g_displayScale == 100 ? 110 : 140; }

}  // namespace

void CBrevantDlg::CreateImportTool() {
  auto* tool = new CImportToolDlg(this);
  tool->SetOwner(this);
  tool->SetLinks(&config, &g_isPlaying, &g_auditionDevice, &g_scorePicture);
  tool->Create();
  importTool = tool;
  const int t = ImportToolTop();
  if (g_toolbarButtons) {
    for (int i = 0; i < 3; ++i) {
      const ImportButton& b = kImportButtons[i];
      g_toolbarButtons->AddButton(tool->buttonHosts[i], plat::Rect{b.left, t, b.right, t + 30},
                                  b.caption, 168, 167, b.code);
    }
    CButtonPicture::DrawAll();
    CButtonPicture::BlitRange(22, 24);
  }
  AddImportKnob();
  // Bars of the page dropped on the tool's rows.
  importDropTarget = std::make_unique<CDropTarget>(
      [this](const char* text, int x, int y) {
        if (importTool) OnImportToolDrop(text, importTool->mapToGlobal(QPoint(x, y)));
      },
      [](const char*, int, int) {});
  importDropTarget->Register(tool);
  CreateImportRows();
}

void CBrevantDlg::AddImportKnob() {
  if (!importTool || !knob) return;
  const int t = ImportToolTop();
  if (!knob->AddKnob(importTool->knobHost, plat::Rect{10, t, 46, t + 36}, 0, 100)) return;
  importTool->knobHost->SetId(CImportToolDlg::kKnob);
  CKnobPicture::SetBackgroundColor(0xC8C2C2, CImportToolDlg::kKnob);
  CKnobPicture::SetMode(1, CImportToolDlg::kKnob);
  CKnobPicture::SetValue(0, CImportToolDlg::kKnob);
  CKnobPicture::DrawKnob(CImportToolDlg::kKnob);
  CKnobPicture::BlitAll();
}

void CBrevantDlg::CreateImportRows() {
  if (!importTool || !g_scorePicture) return;
  const int first = g_barsPerPage + layout_.headerCount;
  const int low = config.scoreLow, high = config.scoreHigh;
  auto rightClick = [](int x, int y, int id) {
    if (g_mainDialog) g_mainDialog->ShowBarMenu(id, x, y);
  };
  for (int k = 0; k < CImportToolDlg::kRowCount; ++k) {
    const int row = first + k;
    COffScreenControl* control = importTool->rowHosts[k];
    if (!g_scorePicture->AddRow(control, plat::Rect{106 + 224 * k, 5, 330 + 224 * k, 101}, low,
                                high, 960)) {
      return;
    }
    control->SetId(row);
    g_scorePicture->SetClefVisible(row, 0);
    g_scorePicture->ShowBarLines(row, 1);
    g_scorePicture->SetRightClickCallback(row, rightClick);
  }
  const int header = first + CImportToolDlg::kRowCount;
  if (!g_scorePicture->AddRow(importTool->headerHost, plat::Rect{10, 5, 106, 101}, low, high,
                              240)) {
    return;
  }
  importTool->headerHost->SetId(header);
  if (song) {
    const int key = std::clamp(static_cast<int>(song->key_index), 0, kKeySignatureCount - 1);
    g_scorePicture->SetKeySignature(header, static_cast<uint8_t>(KeySignatureTable[key].accidentals));
  }
  g_scorePicture->ShowKeySignature(header, 1);
  importTool->SetFirstRow(first);
  importTool->SetBeatsPerBar(SongBeatsPerBar());
  if (ImportToolSong) importTool->ShowRows();
}

void CBrevantDlg::ShowImportTool() {
  if (!importTool) return;
  importTool->show();
  importTool->raise();
  if (g_scorePicture && importTool->FirstRow() >= 0) {
    g_scorePicture->BlitRange(importTool->FirstRow(),
                              importTool->FirstRow() + CImportToolDlg::kRowCount);
  }
  CButtonPicture::BlitRange(22, 24);
}

void CBrevantDlg::HideImportTool() {
  if (importTool) importTool->hide();
}

void CBrevantDlg::ImportToolLoad() {
  if (importTool) importTool->OpenSmfWithDialog();
}

void CBrevantDlg::ImportToolPlay() {
  if (importTool) importTool->TogglePreview();
}

void CBrevantDlg::ClearImportTool() {
  if (importTool) importTool->ClearImport();
}

void CBrevantDlg::ImportToolBeats(int beats) {
  if (importTool) importTool->SetBeatsPerBar(beats);
}

bool CBrevantDlg::IsOverImportTool(const QPoint& global) const {
  if (!importTool || !importTool->isVisible()) return false;
  return importTool->frameGeometry().contains(global);
}

int CBrevantDlg::ImportRowAt(const QPoint& global) const {
  if (!importTool) return -1;
  for (int k = 0; k < CImportToolDlg::kRowCount; ++k) {
    const COffScreenControl* host = importTool->rowHosts[k];
    if (host->rect().contains(host->mapFromGlobal(global))) return k;
  }
  return -1;
}

void CBrevantDlg::OnImportToolDrop(const char* text, const QPoint& global) {
  if (!song || !text || !importTool) return;
  if (!IsOverImportTool(global)) {
    Beep(300);
    return;
  }
  const int row = ImportRowAt(global);
  int bar = 0, copy = 0;
  // Only a bar of the page goes into the tool; other texts do nothing there.
  if (row < 0 || !ParseScoreDrop(text, &bar, &copy) || copy != 1) return;
  importTool->WriteBarsToChannel(row, bar, song.get());
}

void CBrevantDlg::DragImportRow(int row) {
  if (!importTool || !ImportToolSong || row < 0 || row >= CImportToolDlg::kRowCount) return;
  dropTarget = std::make_unique<CDropTarget>(
      [this](const char* text, int px, int py) { OnScoreDrop(text, px, py); },
      [this](const char*, int px, int py) { OnScoreDragOver(px, py); });
  dropTarget->Register(this);
  char text[256] = {};
  std::snprintf(text, sizeof text, "score:Import:%d", importTool->FirstBar() + row);
  DROPSRC* source = new DROPSRC("DROPSRC.TXT", text, static_cast<int>(std::strlen(text)));
  source->AddRef();
  source->DoDragDrop(importTool->rowHosts[row]);
  source->Release();
}

// Bar `importBar` of the import tool's song, its chosen channel, as the note cells of the
// song's bar `target`: each note's pitch in the slot of its sixteenth (or of its triplet eighth)
// and a rest where it ends.
void CBrevantDlg::DropImportBar(int target, int importBar) {
  if (!song || target < 0 || importBar < 0) return;
  if (target >= song->bar_count) {
    if (!song->SetBarCount(target + 1)) {
      Beep(100);
      return;
    }
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setValue(song->bar_count);
  }
  if (ImportToolSong && ImportToolSong->division >= 6) {
    const int64_t D = ImportToolSong->division;
    const int64_t B = importTool ? importTool->BeatsPerBar() : song->beats_per_bar;
    const int64_t start = D * B * importBar, end = start + D * B;
    const int channel = importTool ? importTool->Channel() : 0;
    if (end <= INT32_MAX) {
      Midi1Data copy(*ImportToolSong, std::max<int32_t>(0x60000, ImportToolSong->capacity));
      if (copy.state == kSongNotes) copy.ToEventMode();
      MidiTrack* track = nullptr;
      if (copy.state == kSongEvents) {
        const int32_t ranges[2] = {static_cast<int32_t>(start), static_cast<int32_t>(end)};
        copy.KeepRanges(ranges, 1);
        copy.ToNoteMode();
        for (int32_t t = 0; t < copy.track_count && !track; ++t)
          if (copy.Track(t)->GetChannel() == channel) track = copy.Track(t);
      }
      if (track) WriteImportedBar(target, *track, static_cast<int32_t>(D));
    }
  }
  RedrawChordCells();
  RefreshMelodyBox(1);
  RefreshScore(1);
}

void CBrevantDlg::WriteImportedBar(int target, MidiTrack& track, int32_t D) {
  song->ClearBar(target, true);
  PrepareMelodyTrack(track, D);
  const int first = song->CellIndex(target, 0);
  if (first < 0) return;
  auto put = [&](int64_t eighth, int slot, int value) {
    const int64_t cell = first + eighth;
    if (cell < song->SongCells()) song->SetSlotValue(static_cast<int>(cell), slot, value);
  };
  const int64_t sixteenth = D / 4, third = D / 6;
  int64_t f = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.Event(i);
    f += std::max<int32_t>(e.delta, 0);
    if (e.status != kStatusNote) continue;
    const int64_t k = f / sixteenth;
    const int s = static_cast<int>(f % third != 0 ? k % 2 : (f / third) % 3);
    const int64_t eighth = k / 2;
    put(eighth, s, e.note);
    const int64_t t = (std::max<int32_t>(e.duration, 0) + sixteenth - 1) / sixteenth;
    const int64_t u = s + t % 2;
    put(eighth + t / 2 + u / 2, static_cast<int>(u % 2), NoteSlotRest);
  }
}
