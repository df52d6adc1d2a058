// The music data buffer: loading within its capacity and saving its used bytes.
#include <gtest/gtest.h>

#include <vector>

#include "music/music_data.h"
#include "platform/core/files.h"
#include "tests/support/test_support.h"

TEST(MusicData, StartsZeroedAndEmpty) {
  MusicData data(64);
  EXPECT_EQ(data.capacity, 64);
  EXPECT_EQ(data.used_size, 0);
  EXPECT_EQ(data.position, 0);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(data.buffer[i], 0);
}

TEST(MusicData, SaveThenLoad) {
  MusicData data(16);
  for (int i = 0; i < 10; ++i) data.buffer[i] = static_cast<uint8_t>(i + 1);
  data.used_size = 10;
  auto path = cantrel_test::TempDir() / "data.bin";
  ASSERT_EQ(data.Save(path), 1);
  MusicData back(16);
  ASSERT_EQ(back.Load(path), 1);
  EXPECT_EQ(back.used_size, 10);
  EXPECT_EQ(back.buffer[9], 10);
}

TEST(MusicData, FileLongerThanTheBufferIsRefused) {
  auto path = cantrel_test::TempDir() / "long.bin";
  ASSERT_TRUE(plat::WriteFileAtomic(path, std::vector<uint8_t>(40, 0x41)));
  MusicData data(16);
  EXPECT_EQ(data.Load(path), 0);
  EXPECT_EQ(data.used_size, 0);
  EXPECT_GE(cantrel_test::Sink().Count(), 1u);
}

TEST(MusicData, MissingFileIsReportedAndTheProgramGoesOn) {
  MusicData data(16);
  EXPECT_EQ(data.Load(cantrel_test::TempDir() / "none.mid"), 0);
  EXPECT_EQ(data.used_size, 0);
  EXPECT_GE(cantrel_test::Sink().Count(), 1u);
}

TEST(MusicData, IsPastEndAndErrorBox) {
  MusicData data(16);
  data.used_size = 4;
  EXPECT_EQ(data.IsPastEnd(4, "x"), 1);
  EXPECT_EQ(data.IsPastEnd(3, "message"), 0);
  MusicData::ErrorMsg(kMudtFileOpen);
  MusicData::ErrorMsg(0x02000005);
  auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "message");
  EXPECT_EQ(texts[1], "MUDT02000001 ファイルが開けませんでした。使用中か選択中の可能性があります。");
  EXPECT_EQ(texts[2], "MUDT02000005 音楽データでエラーが発生しました。");
}
