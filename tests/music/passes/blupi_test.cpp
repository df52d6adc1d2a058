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

TEST(BlupiFiles, MergeAndSplitSoundAsTheOriginal) {
  SKIP_WITHOUT(std::filesystem::exists(BlupiFile(4)), "planetblupi-music-midi");
  SKIP_WITHOUT(HaveFluidsynth(), "fluidsynth");
  SKIP_WITHOUT(HaveSox(), "sox");
  SKIP_WITHOUT(HaveMido(), "python3-mido");
  SKIP_WITHOUT(!SoundFont().empty(), "a General MIDI soundfont (timgm6mb-soundfont)");
  for (int n : kFiles) {
    SCOPED_TRACE(n);
    const std::filesystem::path dir = cantrel_test::TempDir();
    MidiLoader loader(BlupiFile(n));
    ASSERT_NE(loader.song, nullptr);
    loader.MergeToFormat0Named();
    ASSERT_EQ(loader.format0_song->SaveFile(dir / "merged.mid", 0), 1);
    loader.SplitToFormat1();
    ASSERT_EQ(loader.song->SaveFile(dir / "split.mid"), 1);
    // Notes with lengths keep no order between a note's end and another note's
    // start at one tick: written, the ends come first. mido's merge of the original
    // with that order is the reference; the original itself differs from it a little.
    ASSERT_TRUE(MidoMergeEndsFirst(BlupiFile(n), dir / "reference.mid"));
    ASSERT_TRUE(Render(BlupiFile(n), dir / "original.wav"));
    ASSERT_TRUE(Render(dir / "reference.mid", dir / "reference.wav"));
    ASSERT_TRUE(Render(dir / "merged.mid", dir / "merged.wav"));
    ASSERT_TRUE(Render(dir / "split.mid", dir / "split.wav"));
    EXPECT_EQ(DifferenceRms(dir / "reference.wav", dir / "merged.wav"), 0.0);
    EXPECT_EQ(DifferenceRms(dir / "reference.wav", dir / "split.wav"), 0.0);
    EXPECT_EQ(DifferenceRms(dir / "merged.wav", dir / "split.wav"), 0.0);
    const double original = DifferenceRms(dir / "original.wav", dir / "merged.wav");
    EXPECT_GE(original, 0.0);
    EXPECT_LT(original, 0.005);
    RecordProperty("rms_against_original_" + std::to_string(n), std::to_string(original));
  }
}
