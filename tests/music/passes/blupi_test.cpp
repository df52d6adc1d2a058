// Real files through the loader, the merge and the split, checked by mido, midicsv
// and by ear: fluidsynth renders the original, the merge and the split, and sox
// finds no difference between them.
#include <gtest/gtest.h>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_loader.h"
#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

namespace {

// Two of the package's files: five tracks and division 192 each.
const int kFiles[] = {4, 6};

#define SKIP_WITHOUT(have, what) \
  CANTREL_NEED(have, what)

// The file through the loader: its merge saved as dir/merged.mid in the order the
// merge keeps (event mode, keepOrder 1), then the split of the merge as dir/split.mid.
void SaveMergeAndSplit(const std::filesystem::path& file, const std::filesystem::path& dir) {
  MidiLoader loader(file);
  ASSERT_NE(loader.song, nullptr);
  loader.MergeToFormat0Named();
  ASSERT_NE(loader.format0_song, nullptr);
  loader.format0_song->ToEventMode();
  ASSERT_EQ(loader.format0_song->SaveFile(dir / "merged.mid", 1), 1);
  loader.format0_song->ToNoteMode();
  loader.SplitToFormat1();
  ASSERT_NE(loader.song, nullptr);
  ASSERT_EQ(loader.song->SaveFile(dir / "split.mid"), 1);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

}  // namespace

TEST(BlupiFiles, LoadMergeAndSplitKeepEveryNote) {
  SKIP_WITHOUT(std::filesystem::exists(BlupiFile(4)), "planetblupi-music-midi");
  SKIP_WITHOUT(HaveMidicsv(), "midicsv");
  SKIP_WITHOUT(HaveMido(), "python3-mido");
  for (int n : kFiles) {
    SCOPED_TRACE(n);
    const std::filesystem::path original = BlupiFile(n);
    std::vector<CsvNote> want;
    ASSERT_TRUE(MidicsvNotes(original, &want));
    ASSERT_GT(want.size(), 1000u);

    MidiLoader loader(original);
    ASSERT_NE(loader.song, nullptr);
    EXPECT_EQ(loader.file_format, 1);
    loader.MergeToFormat0Named();
    ASSERT_NE(loader.format0_song, nullptr);
    const std::filesystem::path merged = cantrel_test::TempDir() / "merged.mid";
    ASSERT_EQ(loader.format0_song->SaveFile(merged, 0), 1);
    loader.SplitToFormat1();
    ASSERT_NE(loader.song, nullptr);
    EXPECT_EQ(loader.song->track_count, 17);
    const std::filesystem::path split = cantrel_test::TempDir() / "split.mid";
    ASSERT_EQ(loader.song->SaveFile(split), 1);
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);

    for (const auto& path : {merged, split}) {
      SCOPED_TRACE(path.filename().string());
      EXPECT_EQ(MidoError(path), "");
      std::vector<CsvNote> got;
      ASSERT_TRUE(MidicsvNotes(path, &got));
      EXPECT_EQ(got.size(), want.size());
      EXPECT_TRUE(got == want);
    }
  }
}

// The merge written in its stored order (event mode, keepOrder 1) and the split play
// every event of the original in the original's order, tick by tick, as mido replays
// the three files; fluidsynth renders them to the same samples.
TEST(BlupiFiles, MergeAndSplitPlayTheOriginalsEventsInItsOrder) {
  SKIP_WITHOUT(std::filesystem::exists(BlupiFile(4)), "planetblupi-music-midi");
  SKIP_WITHOUT(HaveMido(), "python3-mido");
  for (int n : kFiles) {
    SCOPED_TRACE(n);
    const std::filesystem::path dir = cantrel_test::TempDir();
    SaveMergeAndSplit(BlupiFile(n), dir);
    const std::vector<std::string> want = MidoMessages(BlupiFile(n));
    ASSERT_GT(want.size(), 1000u);
    for (const char* name : {"merged.mid", "split.mid"}) {
      SCOPED_TRACE(name);
      // The song adds a master volume at full level where the file sets none.
      std::vector<std::string> got = MidoMessages(dir / name);
      const std::string full_volume = "0 sysex data=[127, 127, 4, 1, 0, 127]";
      if (!got.empty() && got[0] == full_volume && want[0] != full_volume) got.erase(got.begin());
      EXPECT_EQ(got.size(), want.size());
      size_t i = 0;
      while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
      EXPECT_EQ(i, want.size()) << (i < got.size() ? got[i] : "") << " in place of "
                                << (i < want.size() ? want[i] : "");
    }
  }
}

TEST(BlupiFiles, MergeAndSplitSoundAsTheOriginal) {
  SKIP_WITHOUT(std::filesystem::exists(BlupiFile(4)), "planetblupi-music-midi");
  SKIP_WITHOUT(HaveFluidsynth(), "fluidsynth");
  SKIP_WITHOUT(HaveSox(), "sox");
  SKIP_WITHOUT(!SoundFont().empty(), "a General MIDI soundfont (timgm6mb-soundfont)");
  for (int n : kFiles) {
    SCOPED_TRACE(n);
    const std::filesystem::path dir = cantrel_test::TempDir();
    SaveMergeAndSplit(BlupiFile(n), dir);
    ASSERT_TRUE(Render(BlupiFile(n), dir / "original.wav"));
    ASSERT_TRUE(Render(dir / "merged.mid", dir / "merged.wav"));
    ASSERT_TRUE(Render(dir / "split.mid", dir / "split.wav"));
    // Music was rendered, not silence: a difference of 0 then means something.
    EXPECT_GT(Rms(dir / "original.wav"), 0.01);
    EXPECT_EQ(DifferenceRms(dir / "original.wav", dir / "merged.wav"), 0.0);
    EXPECT_EQ(DifferenceRms(dir / "original.wav", dir / "split.wav"), 0.0);
    EXPECT_EQ(DifferenceRms(dir / "merged.wav", dir / "split.wav"), 0.0);
    // sox rounds its figures: a few differing samples would still print 0. The samples
    // themselves are the same.
    EXPECT_TRUE(SameSamples(dir / "original.wav", dir / "merged.wav"));
    EXPECT_TRUE(SameSamples(dir / "original.wav", dir / "split.wav"));
  }
}
