// The import tool: a format-1 file of 384 KiB read into the tool's song (what its worker does,
// target 30 ms), and four bars of its densest channel shown on the tool's rows after a scroll
// (target 2 ms).
#include "bench/qt_main.h"
#include "bench/quiet_owner.h"
#include "dialogs/import_tool_dialog.h"
#include "draw/orvanta_common.h"
#include "draw/staff_picture.h"
#include "music/midi1_data.h"
#include "music/midi_event.h"
#include "util/gne.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>

#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

// A format-1 file of 384 KiB: 16 tracks of notes (480 per quarter), channel 3 the busiest.
const fs::path& BigFile() {
  static const fs::path file = [] {
    const fs::path path = fs::temp_directory_path() / "cantrel_bench_import_tool.mid";
    Midi1Data song(480, 0x200000);
    GneSeedRandomWith(12345);
    for (int channel = 0; channel < 16; ++channel) {
      auto* track = new Midi1Track(kTrackNotes, 0x100000);
      track->AddProgramChange(channel, channel * 5);
      track->AddEndOfTrack();
      song.AddTrack(track);
    }
    // Notes are added until the file holds 384 KiB.
    int64_t tick[16] = {};
    while (song.GetPackedSize() < 384 * 1024) {
      for (int round = 0; round < 200; ++round) {
        const int channel = GneRandomRange(0, 19) < 5 ? 3 : GneRandomRange(0, 15);
        const int step = 60 * GneRandomRange(1, 4);
        tick[channel] += step;
        song.tracks[channel]->AddNoteAtTime(channel, static_cast<int32_t>(tick[channel]),
                                            GneRandomRange(36, 83), 90, step);
      }
    }
    song.SaveFile(path);
    return path;
  }();
  return file;
}

void BM_ReadFileIntoToolSong(benchmark::State& state) {
  const fs::path& file = BigFile();
  state.counters["KiB"] = static_cast<double>(fs::file_size(file)) / 1024.0;
  for (auto _ : state) {
    Midi1Data* song = nullptr;
    benchmark::DoNotOptimize(COrvantaCommon::LoadSmf(file.string(), &song, 0));
    delete song;
  }
}
BENCHMARK(BM_ReadFileIntoToolSong)->Unit(benchmark::kMillisecond);

void BM_ShowFourBarsOfDensestChannel(benchmark::State& state) {
  bench_dialogs::QuietOwner owner;
  CImportToolDlg tool;
  tool.SetOwner(&owner);
  CRhythmStaffPicture* picture = nullptr;
  tool.SetLinks(nullptr, nullptr, nullptr, &picture);
  tool.Create();
  auto staff = std::make_unique<CRhythmStaffPicture>(tool.rowHosts[0], plat::Rect{106, 5, 330, 101},
                                                     40, 83, nullptr, 960, 240, nullptr);
  for (int k = 1; k < 4; ++k)
    staff->AddRow(tool.rowHosts[k], plat::Rect{106 + 224 * k, 5, 330 + 224 * k, 101}, 40, 83, 960);
  for (int k = 0; k < 4; ++k) staff->SetClefVisible(k, 0);
  staff->AddRow(tool.headerHost, plat::Rect{10, 5, 106, 101}, 40, 83, 240);
  picture = staff.get();
  tool.SetFirstRow(0);
  tool.StartParse(BigFile());
  while (tool.Parsing()) QApplication::processEvents(QEventLoop::AllEvents, 10);
  int densest = 0;
  for (int c = 1; ImportToolSong && c < 16; ++c) {
    if (ImportToolSong->Track(c + 1)->GetNoteCount() > ImportToolSong->Track(densest + 1)->GetNoteCount())
      densest = c;
  }
  tool.channelList->setCurrentIndex(densest);
  tool.OnChannelChanged();
  const int limit = tool.ScrollLimit();
  state.counters["bars"] = limit + 3;
  int bar = 0;
  for (auto _ : state) {
    bar = (bar + 4) % (limit + 1);
    tool.OnScroll(CImportToolDlg::kThumbPosition, bar);
  }
  tool.ClearImport();
  picture = nullptr;
  staff.reset();
  CStaffPicture::ResetState();
}
BENCHMARK(BM_ShowFourBarsOfDensestChannel)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_qt::RunWithQt(argc, argv); }
