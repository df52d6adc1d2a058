#include "style/style_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/core/encoding.h"
#include "style/choice_lists.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStyleModule();
    ResetEngineServices();
    BuildStyleTable();
  }
  void TearDown() override {
    ResetStyleModule();
    ResetEngineServices();
  }
  static const StyleRecord& At(int c, int s) { return StyleTableSlot(c, s); }
};

bool IsCp932(const std::string& text) {
  std::string utf8;
  return plat::TryCp932ToUtf8(text, utf8);
}

// Every slot's record is complete and consistent: codes in their choice lists,
// MIDI values in range, sensible tempo, form and ranges.
TEST_F(CatalogueTest, EveryRecordIsValid) {
  for (int c = 0; c < kStyleCategoryCount; ++c) {
    for (int s = 0; s < kStyleSlotCount; ++s) {
      SCOPED_TRACE(testing::Message() << "style " << c << "." << s);
      const StyleRecord& r = At(c, s);
      EXPECT_GE(r.tempo, 300000);
      EXPECT_LE(r.tempo, 2000000);
      EXPECT_GE(r.song_bars, 1);
      EXPECT_LE(r.song_bars, kMaxCustomChordEntries);
      EXPECT_TRUE(MetreChoiceList.HasCode(r.metre));
      EXPECT_TRUE(KeyChoiceList.HasCode(r.key_mode));
      EXPECT_TRUE(BasicBeatChoiceList.HasCode(r.basic_beat));
      EXPECT_TRUE(ScaleChoiceList.HasCode(r.scale));
      EXPECT_TRUE(ProgressionChoiceList.HasCode(r.progression));
      EXPECT_TRUE(AccompanimentChoiceList.HasCode(r.accompaniment));
      EXPECT_TRUE(AccompanimentChoiceList.HasCode(r.subharmony_accompaniment));
      EXPECT_TRUE(DrumPatternChoiceList.HasCode(r.drum_pattern));
      EXPECT_TRUE(BassPatternChoiceList.HasCode(r.bass_pattern));
      EXPECT_TRUE(SubDrumChoiceList.HasCode(r.subdrum_pattern));
      // 6.8 and 7.15 keep the engine's sub-melody mode 4, which has no name.
      if (!((c == 6 && s == 8) || (c == 7 && s == 15))) {
        EXPECT_TRUE(SubMelodyChoiceList.HasCode(r.submelody_mode));
      }
      EXPECT_TRUE(ChordMethodChoiceList.HasCode(r.chord_method));
      EXPECT_TRUE(ChordBeatsChoiceList.HasCode(r.chord_beats));
      EXPECT_TRUE(ChordsPerBlockChoiceList.HasCode(r.chords_per_block));
      EXPECT_TRUE(r.triple_metre_kind == 1 || r.triple_metre_kind == 2);

      for (int ch = 0; ch < 16; ++ch) {
        const int32_t v = r.instrument[ch];
        if (ch == kDrumChannel) {
          // 4.19 stores 22 as its kit; the engine plays it like kit 2.
          if (!(c == 4 && s == 19)) {
            EXPECT_TRUE((v >= 1 && v <= 4) || v == kInstrumentOff) << v;
          }
        } else {
          EXPECT_TRUE((v >= 0 && v < kInstrumentNameCount) || v == kInstrumentOff) << ch << ": " << v;
        }
        const MixerRecord& m = r.mixer[ch];
        for (uint8_t b : {m.volume, m.chorus, m.reverb, m.brightness, m.attack, m.decay, m.release,
                          m.resonance, m.pan})
          EXPECT_LE(b, 127) << "mixer of channel " << ch;
        EXPECT_LE(m.double_delay, 96) << ch;
      }
      EXPECT_TRUE(r.octave[1] == 0 || r.octave[1] == 1);
      EXPECT_TRUE((r.octave[2] >= -2 && r.octave[2] <= 2) || r.octave[2] == 99 || r.octave[2] == 101);
      for (int ch : {3, 4, 5, 7}) EXPECT_TRUE(r.octave[ch] >= -2 && r.octave[ch] <= 2) << ch;
      EXPECT_LE(r.unison_velocity, 127);

      for (int ch : {1, 4, 5}) {
        SCOPED_TRACE(testing::Message() << "part of channel " << ch);
        const PartRecord& p = r.parts[ch];
        EXPECT_TRUE(DissonanceChoiceList.HasCode(p.dissonance));
        EXPECT_TRUE(NoteLengthChoiceList.HasCode(p.note_length));
        EXPECT_TRUE(SyncopationChoiceList.HasCode(p.syncopation));
        EXPECT_TRUE(OrnamentChoiceList.HasCode(p.ornament));
        EXPECT_TRUE(EffectChoiceList.HasCode(p.effect));
        EXPECT_TRUE(VoicingChoiceList.HasCode(p.voicing));
        EXPECT_TRUE(AlgorithmChoiceList.HasCode(p.algorithm));
        EXPECT_TRUE(TensionChoiceList.HasCode(p.tension));
        EXPECT_TRUE(RepeatChoiceList.HasCode(p.rhythm_repeat));
        EXPECT_TRUE(RepeatChoiceList.HasCode(p.melody_repeat));
        EXPECT_GE(p.range_low, 12);
        EXPECT_LE(p.range_high, 127);
        EXPECT_GE(p.range_high - p.range_low, 12);
      }
      for (int ch = 1; ch <= 9; ++ch) {
        if (ch == 6) continue;
        EXPECT_GE(r.density[ch], 20) << ch;
        EXPECT_LE(r.density[ch], 160) << ch;
      }
      EXPECT_GE(r.melody_table_mode, 0);
      EXPECT_LE(r.melody_table_mode, 2);
      for (int i = 0; i < 8; ++i) {
        EXPECT_GE(r.melody_intervals[i], 0);
        EXPECT_LE(r.melody_intervals[i], 100);
        EXPECT_GE(r.melody_directions[i], -50);
        EXPECT_LE(r.melody_directions[i], 50);
      }

      const std::string tones = StyleText(r.scale_tones);
      ASSERT_EQ(tones.size(), 16u);
      EXPECT_EQ(tones.substr(0, 4), "xxxx");
      for (size_t i = 4; i < 16; ++i) EXPECT_TRUE(tones[i] >= '0' && tones[i] <= '9');
      const std::string db = StyleText(r.pattern_db);
      EXPECT_TRUE(db == "PATTERN.DB" || db == "PATTERN.DB2" || db == "PATTERN.DBB") << db;
      EXPECT_EQ(StyleText(r.chorus_db), "RESOLUT." + db.substr(8));

      EXPECT_TRUE(r.use_x[kGridHarmony] >= 0 && r.use_x[kGridHarmony] <= 2);
      for (const CustomGridSet& set : r.custom_grids)
        for (const CustomGrid& g : set.grid) {
          for (const auto& row : g.NoteTable)
            for (int32_t v : row) ASSERT_TRUE(v == 0 || v == 1);
          for (int32_t v : g.pn_continuem) ASSERT_TRUE(v == 0 || v == 1);
        }

      const std::vector<ChordEntry> chords = ReadChordList(r.custom_chords, sizeof r.custom_chords);
      if (s == 0) {
        EXPECT_TRUE(chords.empty());  // random entries are not finalised
      } else {
        ASSERT_EQ(static_cast<int>(chords.size()), r.song_bars);
        for (const ChordEntry& e : chords) EXPECT_EQ(e.length, StyleBarTicks(r.metre));
      }

      const std::string name = StyleText(r.name);
      EXPECT_TRUE(IsCp932(name));
      EXPECT_TRUE(IsCp932(StyleText(r.description)));
    }
  }
}

TEST_F(CatalogueTest, CategoriesHoldTheirNamedStylesAndEmptySlots) {
  const int named[kStyleCategoryCount] = {23, 15, 21, 18, 23, 17, 16, 22, 10};
  int total = 0;
  std::set<std::string> names;
  for (int c = 0; c < kStyleCategoryCount; ++c) {
    int count = 0;
    for (int s = 1; s < kStyleSlotCount; ++s) {
      if (IsNamedStyleSlot(c, s)) ++count;
      const std::string name = StyleText(At(c, s).name);
      if (!name.empty()) {
        EXPECT_TRUE(names.insert(name).second) << "duplicate name at " << c << "." << s;
      }
    }
    EXPECT_EQ(count, named[c]) << c;
    total += count;
  }
  EXPECT_EQ(total, 165);
  EXPECT_EQ(names.size(), 163u);  // 3.18 and 8.10 have no Japanese name
  for (auto slot : {std::pair<int, int>{2, 10}, {2, 23}, {7, 23}, {1, 16}, {8, 11}}) {
    EXPECT_FALSE(IsNamedStyleSlot(slot.first, slot.second));
    EXPECT_EQ(StyleText(At(slot.first, slot.second).description),
              "このボタンに音楽スタイルは定義されていません。");
  }
}

struct Row {
  int c, s;
  const char* name;
  const char* english;
  int tempo, bars, metre, key, beat, scale, prog;
  int patterns[4];
  int instruments[9];
};

TEST_F(CatalogueTest, TableRowsAreStored) {
  const int X = kInstrumentOff;
  const Row rows[] = {
      {0, 5, "ＡＯＲ", "AOR", 750000, 40, 0, 2, 3, 1, 1, {2, 12, 9, 1}, {52, 32, 1, 30, X, 30, X, 1, 48}},
      {0, 19, "ﾌﾟﾛｸﾞﾚ", "Progressive rock", 500000, 25, 2, 2, 0, 1, 5, {10, 15, 20, 13},
       {30, 32, 18, 17, X, X, X, 1, 90}},
      {2, 20, "ﾋﾞｯｸﾞﾊﾞﾝﾄﾞ", "Big Band Jazz", 500000, 40, 0, 1, 3, 1, 1, {10, 54, 11, 8},
       {56, 32, 61, 11, X, 26, 126, 1, 65}},
      {3, 17, "ﾌﾞﾗｽﾊﾞﾝﾄﾞﾏｰﾁ", "BrassBand March", 571000, 32, 0, 1, 1, 1, 3, {31, 12, 3, 20},
       {56, 58, 61, 68, X, 48, X, 1, 61}},
      {4, 19, "二胡の調べ", "Erhu Music", 1500000, 40, 0, 1, 0, 2, 3, {7, 51, 1, 1},
       {40, 42, 107, X, X, 86, X, 22, 111}},
      {5, 14, "ﾌﾞﾙｶﾞﾘｱﾝﾎﾞｲｽ", "Bulgarian Voice", 1000000, 30, 2, 2, 0, 1, 3, {47, 55, 33, 21},
       {52, 52, X, X, X, X, X, X, 91}},
      {6, 16, "メロディとアルペジオ", "Melody and Arpeggio", 750000, 16, 0, 1, 0, 1, 3, {12, 15, 1, 1},
       {0, X, 0, X, X, X, X, X, 0}},
      {7, 15, "ｽﾍﾟｰｽｻｳﾝﾄﾞ", "Space Sound", 850000, 30, 0, 2, 0, 12, 5, {40, 12, 1, 4},
       {46, 88, 88, 91, X, 97, X, X, 88}},
      {8, 8, "よさこいｿｰﾗﾝ", "Yosakoi Soran", 461000, 25, 0, 1, 0, 1, 6, {30, 17, 28, 20},
       {82, 38, 106, 55, 116, 91, X, 3, 90}},
      {8, 9, "バサラ祭り風", "Basara", 750000, 40, 0, 1, 0, 1, 3, {7, 24, 6, 1}, {90, 38, 107, 86, 116, 91, X, 1, 82}},
      {8, 10, "", "", 600000, 40, 0, 1, 1, 1, 2, {47, 15, 1, 11}, {11, 32, 1, X, X, X, X, 1, 11}},
  };
  const int channels[9] = {1, 2, 3, 4, 5, 7, 8, 9, 15};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.c << "." << row.s);
    const StyleRecord& r = At(row.c, row.s);
    EXPECT_EQ(StyleText(r.name), row.name);
    EXPECT_EQ(StyleText(r.english_name), row.english);
    EXPECT_EQ(r.tempo, row.tempo);
    EXPECT_EQ(r.song_bars, row.bars);
    EXPECT_EQ(r.metre, row.metre);
    EXPECT_EQ(r.key_mode, row.key);
    EXPECT_EQ(r.basic_beat, row.beat);
    EXPECT_EQ(r.scale, row.scale);
    EXPECT_EQ(r.progression, row.prog);
    EXPECT_EQ(r.accompaniment, row.patterns[0]);
    EXPECT_EQ(r.subharmony_accompaniment, row.patterns[1]);
    EXPECT_EQ(r.drum_pattern, row.patterns[2]);
    EXPECT_EQ(r.bass_pattern, row.patterns[3]);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(r.instrument[channels[i]], row.instruments[i]) << channels[i];
  }
  EXPECT_EQ(StyleText(At(6, 16).name).size(), 20u);  // fills its whole field
  EXPECT_EQ(StyleText(At(8, 10).description), "");
  EXPECT_EQ(StyleText(At(3, 18).description), "このボタンに音楽スタイルは定義されていません。");
  EXPECT_EQ(StyleText(At(1, 13).english_name), StyleText(At(2, 21).english_name));
}

TEST_F(CatalogueTest, SeventiesPopsIsTheDocumentedDefinition) {
  const StyleRecord& r = At(1, 9);
  EXPECT_EQ(StyleText(r.description),
            "７０年代のポップスをイメージした音楽を演奏します。軽快でかわいい感じの音楽を演奏します。");
  EXPECT_EQ(r.octave[1], 1);
  const uint8_t vcrb[5][4] = {{115, 60, 60, 80}, {110, 60, 0, 64}, {100, 60, 0, 64}, {65, 60, 120, 64}, {100, 60, 0, 64}};
  const int ch[5] = {1, 2, 3, 4, 9};
  for (int i = 0; i < 5; ++i) {
    const MixerRecord& m = r.mixer[ch[i]];
    EXPECT_EQ(m.volume, vcrb[i][0]) << ch[i];
    EXPECT_EQ(m.chorus, vcrb[i][1]) << ch[i];
    EXPECT_EQ(m.reverb, vcrb[i][2]) << ch[i];
    EXPECT_EQ(m.brightness, vcrb[i][3]) << ch[i];
    EXPECT_EQ(m.pan, 64);
    EXPECT_EQ(m.attack, 64);
  }
  const PartRecord& p = r.parts[1];
  EXPECT_EQ(p.dissonance, 9);
  EXPECT_EQ(p.note_length, 5);
  EXPECT_EQ(p.range_high, 78);
  EXPECT_EQ(p.range_low, 52);
  EXPECT_EQ(p.algorithm, 6);
  EXPECT_EQ(p.ornament, 0);
  EXPECT_EQ(r.parts[4].algorithm, 6);  // copied by the finalising step
  EXPECT_EQ(r.density[1], 80);
  EXPECT_EQ(r.density[2], 100);
  EXPECT_EQ(r.melody_intervals[0], 40);
  EXPECT_EQ(r.melody_directions[7], 50);
  EXPECT_EQ(r.accompaniment, 47);
  EXPECT_EQ(r.custom_grids[0].grid[kGridHarmony].NoteTable[4][6], 1);
  EXPECT_EQ(r.custom_grids[0].grid[kGridHarmony].NoteTable[4][7], 0);  // no fill step
}

TEST_F(CatalogueTest, RulesKeyedBySlot) {
  EXPECT_EQ(StyleText(At(0, 2).pattern_db), "PATTERN.DB");     // minor, major databases
  EXPECT_EQ(StyleText(At(0, 1).pattern_db), "PATTERN.DB2");
  EXPECT_EQ(StyleText(At(4, 11).chorus_db), "RESOLUT.DB2");    // major, minor databases
  EXPECT_EQ(StyleText(At(2, 3).pattern_db), "PATTERN.DBB");
  EXPECT_EQ(StyleText(At(2, 14).pattern_db), "PATTERN.DBB");
  EXPECT_EQ(At(4, 23).subdrum_pattern, 1);
  EXPECT_EQ(At(4, 22).subdrum_pattern, 0);
  EXPECT_EQ(At(0, 23).submelody_mode, 7);
  EXPECT_EQ(At(6, 8).submelody_mode, 4);
  EXPECT_EQ(At(7, 6).chord_method, 1);
  EXPECT_EQ(At(5, 6).fit_chord_tones, 1);
  EXPECT_EQ(At(4, 15).chords_per_block, 1);
  EXPECT_EQ(At(4, 15).chord_beats, 0);
  EXPECT_EQ(At(5, 16).chord_beats, 4);
  EXPECT_EQ(At(3, 17).melody_table_mode, 2);
  EXPECT_EQ(StyleText(At(2, 14).scale_tones), "xxxx909099090909");
  EXPECT_EQ(StyleText(At(2, 13).scale_tones), "xxxx909909090990");
  EXPECT_EQ(StyleText(At(4, 21).scale_tones), "xxxx900099090909");
  EXPECT_EQ(StyleText(At(5, 6).scale_tones), "xxxx990099099009");
  EXPECT_EQ(At(0, 14).use_x[kGridHarmony], 2);
  EXPECT_EQ(At(0, 14).stroke[kGridSubHarmony], 1);
  EXPECT_EQ(At(6, 1).continue_major[kGridHarmony], 1);
  EXPECT_EQ(At(8, 7).continue_major[kGridSubHarmony], 0);  // stored after its preset
  EXPECT_EQ(At(8, 8).continue_major[kGridSubHarmony], 1);
  const CustomGrid& drum = At(4, 6).custom_grids[0].grid[kGridDrum];
  EXPECT_EQ(drum.pn_interval[0], 32);
  EXPECT_EQ(drum.NoteTable[0][11], 1);
  EXPECT_EQ(At(7, 5).custom_grids[0].grid[kGridDrum].pn_interval[0], 46);
  EXPECT_EQ(At(1, 6).custom_grids[0].grid[kGridDrum].NoteTable[6][14], 1);
  // Custom sub-melodies get their own part record.
  EXPECT_LT(At(8, 4).parts[4].range_high, At(8, 4).parts[1].range_high);
}

TEST_F(CatalogueTest, FixedRiffStyles) {
  const uint8_t head[6] = {2, 4, 1, 2, 8, 5};
  for (auto slot : {std::pair<int, int>{6, 3}, {6, 11}, {7, 10}, {8, 3}, {8, 6}, {8, 7}}) {
    const StyleRecord& r = At(slot.first, slot.second);
    EXPECT_EQ(std::memcmp(r.riff, head, 6), 0) << slot.first << "." << slot.second;
    EXPECT_EQ(r.riff[38], 255);
    EXPECT_EQ(r.riff[39], 0);
    EXPECT_EQ(r.riff[95], 0);
  }
}

TEST_F(CatalogueTest, RandomEntries) {
  const char* names[9] = {"ﾗﾝﾀﾞﾑ海外", "ﾗﾝﾀﾞﾑ国内", "ﾗﾝﾀﾞﾑｼﾞｬｽﾞ", "ﾗﾝﾀﾞﾑｸﾗｼｯｸ", "ﾗﾝﾀﾞﾑ民族東",
                          "ﾗﾝﾀﾞﾑ民族西", "ﾗﾝﾀﾞﾑｹﾞｰﾑ", "ﾗﾝﾀﾞﾑﾋｰﾘﾝｸﾞ", "ﾗﾝﾀﾞﾑﾃｸﾉ"};
  for (int c = 0; c < kStyleCategoryCount; ++c) {
    const StyleRecord& r = At(c, 0);
    EXPECT_EQ(StyleText(r.name), names[c]);
    EXPECT_EQ(r.random_category, c + 1);
    EXPECT_EQ(r.tempo, 750000);
    EXPECT_EQ(r.song_bars, 40);
    EXPECT_EQ(r.instrument[2], kInstrumentOff);
  }
  EXPECT_EQ(StyleText(At(1, 0).english_name), "Random Pops");
  EXPECT_EQ(StyleText(At(1, 0).description), "ジャズ風の音楽スタイルを自動生成し、演奏します。");
  EXPECT_EQ(StyleText(At(4, 0).description), StyleText(At(5, 0).description));
  EXPECT_EQ(At(3, 5).random_category, 0);
}

TEST_F(CatalogueTest, StylesSoundLikeTheirNames) {
  const StyleRecord& bossa = At(5, 3);
  const StyleRecord& trance = At(8, 4);
  const StyleRecord& healing = At(7, 13);
  EXPECT_LT(bossa.mixer[1].brightness, 64);
  EXPECT_LT(bossa.mixer[9].volume, trance.mixer[9].volume);
  EXPECT_GE(trance.mixer[1].brightness, 100);
  EXPECT_GT(trance.density[1], 120);
  EXPECT_GT(trance.mixer[1].double_delay, 0);
  EXPECT_GT(healing.mixer[1].reverb, trance.mixer[1].reverb);
  EXPECT_LT(healing.density[1], 100);
}

// The option alternatives change values whose base the tables give.
TEST_F(CatalogueTest, OptionBaseValues) {
  EXPECT_EQ(At(0, 9).octave[7], -1);
  EXPECT_EQ(At(0, 10).parts[1].effect, 0);
  EXPECT_EQ(At(0, 10).parts[1].range_high, 58);
  EXPECT_EQ(At(0, 10).parts[1].range_low, 33);
  EXPECT_EQ(At(4, 3).parts[1].effect, 9);
  EXPECT_EQ(At(4, 3).parts[1].range_high, 48);
  EXPECT_EQ(At(4, 3).parts[1].range_low, 28);
  EXPECT_EQ(At(5, 2).mixer[1].volume, 115);
  struct Base {
    int c, s, ch1_volume;
  };
  for (Base b : {Base{6, 2, 100}, Base{7, 9, 110}, Base{7, 13, -1}, Base{7, 15, 120}, Base{7, 20, -1}}) {
    SCOPED_TRACE(testing::Message() << b.c << "." << b.s);
    const StyleRecord& r = At(b.c, b.s);
    if (b.ch1_volume >= 0) {
      EXPECT_EQ(r.mixer[1].volume, b.ch1_volume);
    }
    EXPECT_EQ(r.mixer[1].brightness, 50);
    EXPECT_EQ(r.mixer[3].volume, 90);
    EXPECT_EQ(r.mixer[4].brightness, 45);
  }
  EXPECT_EQ(At(7, 15).mixer[7].volume, 90);
}

TEST_F(CatalogueTest, InstrumentGroupOption) {
  InstrumentGroupOption() = 1;
  BuildStyleTable();
  EXPECT_EQ(At(0, 1).instrument[1], 144);
  EXPECT_EQ(At(0, 9).instrument[7], 138);
  EXPECT_EQ(At(0, 9).octave[7], 0);
  EXPECT_EQ(At(1, 9).instrument[4], 142);
  EXPECT_EQ(At(8, 3).instrument[3], 143);
  EXPECT_EQ(At(0, 2).instrument[1], 30);  // no alternative
}

TEST_F(CatalogueTest, SoundSourceOption) {
  SoundSourceOption() = 2;
  BuildStyleTable();
  EXPECT_EQ(At(0, 1).instrument[1], 53);
  EXPECT_EQ(At(0, 10).instrument[1], 53);
  EXPECT_EQ(At(0, 10).parts[1].effect, 18);
  EXPECT_EQ(At(0, 10).parts[1].range_high, 80);
  EXPECT_EQ(At(0, 10).parts[4].range_low, 50);
  EXPECT_EQ(At(4, 12).instrument[4], 9);
  EXPECT_EQ(At(4, 3).instrument[1], 90);  // only with option 1
  EXPECT_EQ(At(5, 2).mixer[1].volume, 127);
  EXPECT_EQ(At(7, 15).mixer[1].volume, 112);
  EXPECT_EQ(At(7, 15).mixer[7].volume, 80);

  SoundSourceOption() = 1;
  BuildStyleTable();
  EXPECT_EQ(At(4, 3).instrument[1], 133);
  EXPECT_EQ(At(4, 3).parts[1].range_high, 68);
  EXPECT_EQ(At(4, 12).instrument[4], 131);
}

TEST_F(CatalogueTest, DefinitionFillsAnyRecordWithItsStyle) {
  StyleRecord r;
  RunStyleSlotDefinition(8, 4, r);
  EXPECT_EQ(StyleText(r.english_name), "Trance");
  StyleRecord empty;
  RunStyleSlotDefinition(2, 10, empty);
  EXPECT_EQ(StyleText(empty.name), "");
  EXPECT_EQ(ReadChordList(empty.custom_chords, 4096).size(), 40u);
}

}  // namespace
