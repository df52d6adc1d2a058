// The melody and chord panels against a main window that only records: a PC key through the
// melody panel's hook handler to the posted note (target 1 ms), and the chord panel's refresh for
// a key with its lists refilled and its table rebuilt and drawn (target 3 ms).
#include "dialogs/chord_panel.h"
#include "dialogs/melody_panel.h"
#include "dialogs/panel_owner.h"
#include "song/song_data.h"

#include "bench/qt_main.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace {

class Owner : public CPanelOwner {
 public:
  Owner() { song.Reset(16, 4, 0, 1); }
  void PostToMain(uint32_t, uintptr_t, intptr_t) override { ++posted; }
  void SendToMain(uint32_t, uintptr_t, intptr_t) override { ++posted; }
  int InputMode() const override { return 0; }
  int DisplayScale() const override { return 100; }
  MelodyPanelFields& MelodyFields() override { return melody; }
  ChordPanelFields& ChordFields() override { return chord; }
  CSongData* Song() override { return &song; }
  int KeyRow() const override { return chord.keyRow; }
  int GuideShown() const override { return 1; }
  int AdviceShown() const override { return 1; }
  void KeyboardRange(int* low, int* high) const override {
    *low = 48;
    *high = 83;
  }
  void EnterChord() override {}
  void GetChordCell(int, int, char* text, int* attribute) const override {
    text[0] = '\0';
    *attribute = 0;
  }
  void GetNextChordCell(int b, int t, char* text, int* a) const override { GetChordCell(b, t, text, a); }
  void GetPreviousChordCell(int b, int t, char* text, int* a) const override { GetChordCell(b, t, text, a); }
  void SetChordCell(int, int, const char*, int) override {}
  void MoveChordCursorNext() override {}

  CSongData song;
  MelodyPanelFields melody;
  ChordPanelFields chord;
  long posted = 0;
};

void BM_PcKeyToPostedNote(benchmark::State& state) {
  Owner owner;
  CMelodyDlg panel;
  panel.SetPanelOwner(&owner);
  panel.Create();
  panel.FillNoteLengthLists();
  const int keys[] = {'F', 'G', 'H', 'J', 'K', 'L', 'D', 'S'};
  int i = 0;
  for (auto _ : state) {
    panel.OnHookKey(keys[i++ % 8], 0);
  }
  benchmark::DoNotOptimize(owner.posted);
}
BENCHMARK(BM_PcKeyToPostedNote)->Unit(benchmark::kMicrosecond);

void BM_ChordPanelRefreshForKey(benchmark::State& state) {
  Owner owner;
  CChordDlg panel;
  panel.SetPanelOwner(&owner);
  panel.Create();
  panel.FillTypeAndKeyLists();
  panel.show();
  owner.chord.root = 2;
  owner.chord.type = 1;
  int key = 0;
  for (auto _ : state) {
    owner.chord.keyRow = key++ % 30;
    panel.BuildKeyChordTable();
    panel.RefreshForKey();
  }
}
BENCHMARK(BM_ChordPanelRefreshForKey)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
