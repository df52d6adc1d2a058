// The chord-dictionary program through the window: the search button starts the configured program
// with the chord panel's chord, its answers set the panel's chord and the song's, a new press ends
// the instance still running, the window's end ends it too, and without a configured program the
// button says so. The programs are small shell scripts written by the tests.
#include "tests/app/window/window_fixture.h"

#include "app/chord_dictionary.h"
#include "dialogs/chord_panel.h"
#include "draw/offscreen_control.h"
#include "tests/support/process_state.h"
#include "util/registry.h"

#include <QTest>

#include <fstream>

namespace fs = std::filesystem;

namespace {

using cantrel_test::ProcessEnded;

constexpr char kNotSetUp[] = "コード辞典のプログラムが設定されていません。";

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct ChordAtCursor {
  int root = -1, type = -1, bass = -1;
};

class ChordDictionaryTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    folder = cantrel_test::TempDir();
  }
  // A dictionary script: it records its arguments ("args") and its process id ("pids"), then runs
  // `body`. It is configured as the chord dictionary.
  void Configure(const std::string& body) {
    const fs::path script = folder / "dictionary.sh";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "here=$(dirname \"$0\")\n"
                          << "printf '%s\\n' \"$@\" > \"$here/args.tmp\"\n"
                          << "mv \"$here/args.tmp\" \"$here/args\"\n"
                          << "echo $$ >> \"$here/pids\"\n"
                          << body << "\n";
    fs::permissions(script, fs::perms::owner_all);
    ASSERT_TRUE(GneRegistrySet(kChordDictionaryKey, kChordDictionaryName, script.string()));
  }
  // Starts the window with a four-bar 4/4 song in C major and the chord cursor on bar 1, beat 3.
  void StartOnBeat() {
    Start();
    NewSong(4, 4);
    dlg->SetChordCursor(1, 2, 0);
    Pump();
  }
  // The chord panel's search button, pressed with the mouse.
  void PressSearch() {
    COffScreenControl* host = g_chordPanel->buttonHosts[2];
    QTest::mousePress(host, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    QTest::mouseRelease(host, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  }
  // Presses the button and waits until the started script has recorded itself.
  void PressAndWaitStarted(size_t instances) {
    PressSearch();
    window_test::PumpUntil([&] { return Lines(folder / "pids").size() >= instances; });
    ASSERT_EQ(Lines(folder / "pids").size(), instances);
  }
  ChordAtCursor Cursor() const {
    ChordAtCursor c;
    int key = 0;
    dlg->song->GetChord(1, 2, &c.root, &c.type, &key, &c.bass, 0);
    return c;
  }
  bool CursorIs(int root, int type) const {
    const ChordAtCursor c = Cursor();
    return c.root == root && c.type == type;
  }

  fs::path folder;
};

TEST_F(ChordDictionaryTest, TheSearchButtonSendsThePanelsChordAndTheAnswerSetsTheBeat) {
  Configure("echo EmPs; echo gMPsb");
  StartOnBeat();
  // The panel holds A minor seventh over E.
  dlg->chordFields.root = 9;
  dlg->chordFields.type = 4;
  dlg->chordFields.bass = 7;
  bool active = false;
  const std::string before = dlg->ChordCellText(6, &active);
  PressAndWaitStarted(1);
  EXPECT_EQ(Lines(folder / "args"),
            (std::vector<std::string>{std::to_string(dlg->winId()), "AmPs", "E"}));
  // The last answer wins: G flat seventh over B flat.
  window_test::PumpUntil([&] { return CursorIs(6, 2); });
  const ChordAtCursor c = Cursor();
  EXPECT_EQ(c.root, 6);
  EXPECT_EQ(c.type, 2);
  EXPECT_EQ(c.bass, 4);
  EXPECT_EQ(g_chordPanel->rootList->currentIndex(), 6);
  EXPECT_EQ(g_chordPanel->typeList->currentIndex(), 2);
  EXPECT_EQ(g_chordPanel->bassList->currentIndex(), 10);
  EXPECT_NE(dlg->ChordCellText(6, &active), before) << "the chord cell shows the new chord";
  EXPECT_TRUE(cantrel_test::Sink().Texts().empty());
}

TEST_F(ChordDictionaryTest, ANewPressEndsTheRunningInstanceAndTheWindowsEndEndsTheLast) {
  // Each instance leaves a child of its own holding the output open.
  Configure("sleep 60 & echo $! >> \"$here/kids\"\necho CMPo\nwait");
  StartOnBeat();
  PressAndWaitStarted(1);
  // The new song's beat holds C already: the instance's own record says it has answered.
  window_test::PumpUntil([&] { return !Lines(folder / "kids").empty() && CursorIs(0, 0); });
  ASSERT_EQ(Lines(folder / "kids").size(), 1u);
  ASSERT_TRUE(CursorIs(0, 0)) << "the first instance answered";
  const std::string first = Lines(folder / "pids")[0];
  EXPECT_FALSE(ProcessEnded(first));
  PressAndWaitStarted(2);
  EXPECT_TRUE(ProcessEnded(first)) << "the first instance ended before the second started";
  window_test::PumpUntil([&] { return ProcessEnded(Lines(folder / "kids")[0]); });
  EXPECT_TRUE(ProcessEnded(Lines(folder / "kids")[0])) << "and what it started with it";
  const std::string second = Lines(folder / "pids")[1];
  EXPECT_FALSE(ProcessEnded(second));

  window_test::PumpUntil([&] { return Lines(folder / "kids").size() == 2; });
  ASSERT_EQ(Lines(folder / "kids").size(), 2u);
  const std::string kid = Lines(folder / "kids")[1];
  dlg.reset();
  EXPECT_TRUE(ProcessEnded(second)) << "the window's end ends the running instance";
  window_test::PumpUntil([&] { return ProcessEnded(kid); });
  EXPECT_TRUE(ProcessEnded(kid));
}

TEST_F(ChordDictionaryTest, WithoutAProgramThatCanStartTheButtonSaysSo) {
  struct Case {
    const char* what;
    bool configure;
    std::string data;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"no line", false, "", kNotSetUp},
      {"a blank path", true, " ", kNotSetUp},
      {"a missing program", true, "/nonexistent/dictionary",
       "コード辞典のプログラムを起動できません。"},
  };
  StartOnBeat();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.configure) {
      ASSERT_TRUE(GneRegistrySet(kChordDictionaryKey, kChordDictionaryName, c.data));
    }
    cantrel_test::Sink().Clear();
    const int beeps = dlg->beepCount;
    PressSearch();
    EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{c.text});
    EXPECT_EQ(dlg->beepCount, beeps);
  }
}

// Each answer line as the program's reader hands it on, then WM_APP+25, on the panel set to D major
// seventh.
TEST_F(ChordDictionaryTest, AnswersFollowTheTablesAndLettersOutsideThemKeepTheLists) {
  struct Case {
    std::string line;
    bool answer;
    int root, type, bass;  // the beat's chord afterwards
  };
  const std::vector<Case> cases = {
      {"AmPo", true, 9, 1, 0},
      {"gMPs", true, 6, 2, 0},
      {"aMPS", true, 8, 3, 0},
      {"CMPoE", true, 0, 0, 4},   // a bass letter after the code: C over E
      {"CMdsz", true, 0, 17, 0},  // the first row of a code two rows share; no bass letter
      {"Am7 ", true, 9, 3, 0},    // a chord name in place of a code keeps the type
      {"XmPo", true, 2, 1, 0},    // an unknown root keeps the root
      {std::string("\xff\x80\0\x01", 4), true, 2, 3, 0},
      {"Ab", false, 2, 3, 0},  // too short to be an answer
      {"", false, 2, 3, 0},
  };
  StartOnBeat();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    dlg->chordFields.root = 2;
    dlg->chordFields.type = 3;
    dlg->chordFields.bass = 0;
    g_chordPanel->rootList->setCurrentIndex(2);
    g_chordPanel->typeList->setCurrentIndex(3);
    g_chordPanel->FillBassList(dlg->chordFields.keyRow);
    g_chordPanel->ApplySelection();
    ASSERT_TRUE(CursorIs(2, 3));
    int bassRow = -1;
    uint32_t code = 0;
    ASSERT_EQ(ChordDictionaryAnswer(c.line, &bassRow, &code), c.answer);
    if (c.answer) {
      plat::PostAppMessage(dlg.get(), kMsgApp + 25, static_cast<uintptr_t>(bassRow),
                           static_cast<intptr_t>(code));
      Pump();
    }
    const ChordAtCursor after = Cursor();
    EXPECT_EQ(after.root, c.root);
    EXPECT_EQ(after.type, c.type);
    EXPECT_EQ(after.bass, c.bass);
  }
}

TEST_F(ChordDictionaryTest, OddLinesFromTheProgramDoNoHarm) {
  // Short lines, an empty one, bytes outside the tables, a line far longer than any answer and a
  // last line without its line end.
  Configure(
      "printf 'Ab\\n\\nzz\\377\\001\\r\\n'\n"
      "head -c 20000 /dev/zero | tr '\\0' 'Q'; echo\n"
      "printf 'CMPs'");
  StartOnBeat();
  PressAndWaitStarted(1);
  window_test::PumpUntil([&] { return CursorIs(0, 2); });
  EXPECT_TRUE(CursorIs(0, 2));
  EXPECT_TRUE(cantrel_test::Sink().Texts().empty());
}

TEST(ChordDictionaryArgumentsTest, TheChordIsTheRootLetterAndCodeAndTheBassItsOwnLetter) {
  struct Case {
    int root, type, bass;
    std::string chord, bassLetter;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, "CMPo", "C"},    {9, 4, 7, "AmPs", "E"}, {11, 12, 3, "Bmd6", "D"},
      {10, 21, 11, "b4Po", "A"}, {-1, 2, 0, "MPs", ""},  // a beat without a root
      {4, -1, 0, "E", "E"},                              // without a type
      {4, 1, -1, "EmPo", ""},                            // without a bass
  };
  for (const Case& c : cases) {
    ChordPanelFields f;
    f.root = c.root;
    f.type = c.type;
    f.bass = c.bass;
    EXPECT_EQ(ChordDictionaryArguments(4194305ULL, f),
              (std::vector<std::string>{"4194305", c.chord, c.bassLetter}))
        << c.root << " " << c.type << " " << c.bass;
  }
}

}  // namespace
