// Text events: playback markers, full-width letters, finding, setting and deleting.
#include <gtest/gtest.h>

#include <cstring>

#include "music/track_text.h"
#include "passes_util.h"
#include "tests/support/test_support.h"

using namespace passes_test;

TEST(TextEvents, StartStopMarkers) {
  auto t = Make(kTrackNotes, {Meta(0, 7, "Q0F"), Meta(0, 1, "Q00"), Meta(0, 5, "START"),
                              Meta(0, 6, "STOP"), Meta(0, 1, "other"), End(0)});
  t->NormalizeStartStopMarkers();
  const std::vector<std::pair<uint32_t, std::string>> want = {
      {6, "STOP"}, {6, "START"}, {5, "START"}, {6, "STOP"}, {1, "other"}};
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(t->events[i]->number, want[i].first) << i;
    EXPECT_EQ(Text(*t->events[i]), want[i].second) << i;
  }
}

TEST(TextEvents, FullWidthLettersAndDigitsBecomeAscii) {
  struct Case {
    std::string in, out;
  };
  for (const Case& c : {
           Case{"\x82\x60\x82\x61\x82\x50", "AB1"},
           // A kanji whose second byte is 0x82 followed by "P": stays as it is.
           Case{"\x8B\x82P", "\x8B\x82P"},
           // Kana and kanji stay; the digit after them converts.
           Case{"\x83\x41\x8A\xBF\x82\x4F", "\x83\x41\x8A\xBF" "0"},
           Case{"\x82\x81\x82\x9A", "az"},
           Case{"abc", "abc"},
           Case{"\x82", "\x82"},  // a lone lead byte at the end
       }) {
    std::vector<char> text(c.in.begin(), c.in.end());
    text.push_back(0);
    FullWidthAlnumToAscii(text.data());
    EXPECT_EQ(std::string(text.data()), c.out) << c.in;
  }
}

TEST(TextEvents, GetSetAndFind) {
  auto t = Make(kTrackNotes, {Meta(0, 4, "first"), Meta(10, 6, "A"), Meta(10, 4, "second"),
                              Meta(5, 6, "AB"), End(0)});
  char buffer[256];
  EXPECT_EQ(t->GetLastMetaText(4, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "second");
  EXPECT_EQ(t->GetMetaText(4, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "first");
  std::strcpy(buffer, "untouched");
  EXPECT_EQ(t->GetLastMetaText(3, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(t->GetMetaText(3, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(t->FindMarkerTime("AB"), 25);
  EXPECT_EQ(t->FindMarkerIndex("A"), 1);
  EXPECT_EQ(t->FindMetaTextIndex(6, "nothing"), -1);
  EXPECT_EQ(t->FindEventIndex(kStatusMeta, 6), 1);
  EXPECT_EQ(t->FindEventIndex(kStatusMeta, -1), 0);
  // An empty text leaves the old one.
  EXPECT_EQ(t->SetMetaText(4, ""), 1);
  EXPECT_EQ(Text(*t->events[0]), "first");
  EXPECT_EQ(t->SetMetaTextAll(4, "X"), 1);
  EXPECT_EQ(Text(*t->events[2]), "X");
}

TEST(TextEvents, CopiesAreCutAtCharacterBoundaries) {
  // Six double-byte characters into 6 bytes: two whole ones and the terminator.
  std::string kana;
  for (int i = 0; i < 6; ++i) kana += "\x83\x41";
  auto t = Make(kTrackNotes, {Meta(0, 3, kana), End(0)});
  char small[6];
  EXPECT_EQ(t->GetMetaText(3, small, sizeof small), 1);
  EXPECT_EQ(std::string(small), kana.substr(0, 4));
  std::string long_text(600, 'a');
  auto l = Make(kTrackNotes, {Meta(0, 1, long_text), End(0)});
  char buffer[256];
  EXPECT_EQ(l->GetMetaText(1, buffer, sizeof buffer), 1);
  EXPECT_EQ(std::strlen(buffer), 255u);
}

TEST(TextEvents, ReplaceWithSysExStopsAtTheTextsEnd) {
  auto t = Make(kTrackNotes, {Meta(0, 1, "old"), Meta(0, 1, "keep"), End(0)});
  const char with_end[] = "\xF0\x41\x10\xF7tail";
  t->ReplaceMetaText(1, "old", 1, with_end);
  EXPECT_EQ(t->events[0]->status, kStatusSysEx);
  EXPECT_EQ(t->events[0]->data_length, 4);
  // No F7: the message is the text itself, nothing past it.
  auto u = Make(kTrackNotes, {Meta(0, 1, "old"), End(0)});
  u->ReplaceMetaText(1, "old", 1, "\xF0\x41");
  EXPECT_EQ(u->events[0]->status, kStatusSysEx);
  EXPECT_EQ(u->events[0]->data_length, 2);
  // A plain text becomes the new type.
  auto v = Make(kTrackNotes, {Meta(0, 1, "old"), End(0)});
  v->ReplaceMetaText(1, "old", 6, "new");
  EXPECT_EQ(v->events[0]->number, 6u);
  EXPECT_EQ(Text(*v->events[0]), "new");
}

TEST(TextEvents, Deleting) {
  auto t = Make(kTrackNotes, {Meta(0, 3, "a"), Meta(0, 3, "b"), Tempo(0, 500000), Meta(10, 6, "m"),
                              Meta(0, 3, "c"), Note(0, 0, 60, 1, 1), End(10)});
  EXPECT_EQ(t->KeepFirstTrackName(), 1);
  EXPECT_EQ(t->CountMeta(3), 1);
  EXPECT_EQ(t->DeleteMetaTextAt(10, 6, "m"), 1);
  EXPECT_EQ(t->DeleteMetaTextAt(10, 6, "m"), 0);
  t->DeleteAllMetaExceptTempoAndEnd();
  EXPECT_EQ(t->CountMeta(3), 0);
  EXPECT_EQ(t->CountMeta(0x51), 1);
  EXPECT_TRUE(t->LastIsEndOfTrack());
  EXPECT_EQ(Ticks(*t).back(), 20);
}

TEST(TextEvents, ConvertTextsNarrowsLettersAndKana) {
  // Full-width "Ａ１" and the katakana "カ" (0x834A), then a lyric left alone.
  auto t = Make(kTrackNotes, {Meta(0, 5, "\x82\x60\x82\x50\x83\x4A"), Meta(0, 1, "\x82\x60"), End(0)});
  t->ConvertTexts(1, 0, kStatusMeta, 5);
  EXPECT_EQ(Text(*t->events[0]), "A1\x83\x4A");
  t->ConvertTexts(0, 1, kStatusMeta, 5);
  EXPECT_EQ(Text(*t->events[0]), "A1\xB6");
  EXPECT_EQ(Text(*t->events[1]), "\x82\x60");
  // A text far longer than any scratch area.
  std::string long_text;
  for (int i = 0; i < 3000; ++i) long_text += "\x82\x60";
  auto l = Make(kTrackNotes, {Meta(0, 5, long_text), End(0)});
  l->ConvertTexts(1, 1, kStatusMeta, 5);
  EXPECT_EQ(Text(*l->events[0]), std::string(3000, 'A'));
}
