// The guitar panel's fretboard: its lines and dots, the note of a click, the note-name labels and
// the bounds it keeps on strings, frets and label lengths.
#include "draw/strings_picture.h"
#include "tests/draw/panel_pictures/picture_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr plat::ColorRef kBlack = 0x000000;
constexpr plat::ColorRef kWhite = 0xFFFFFF;

class FretboardPictureTest : public PictureFixture {
 protected:
  void SetUp() override {
    PictureFixture::SetUp();
    CStringsMultiPicture::ResetState();
    cantrel_test::Sink().Clear();
  }
  void TearDown() override { CStringsMultiPicture::ResetState(); }

  // A board of 280 x 425 pixels: frets 0-15 and 6 strings give columns of 40 and rows of 25.
  std::unique_ptr<CStringsMultiPicture> Make(int strings = 6, int clickable = 1) {
    control = NewControl();
    auto board = std::make_unique<CStringsMultiPicture>(
        control, Rect{10, 10, 290, 435}, 0, 15, [this](int note) { notes.push_back(note); },
        strings, clickable);
    control->SetId(0);
    return board;
  }
  plat::ColorRef Pixel(int x, int y) const { return CStringsMultiPicture::Surface(0)->GetPixel(x, y); }

  COffScreenControl* control = nullptr;
  std::vector<int> notes;
};

TEST_F(FretboardPictureTest, LinesDivideTheBoardIntoColumnsAndRows) {
  auto board = Make();
  // Strings at x = 40 .. 240 from the nut down; nothing left of the first or right of the last.
  for (int s = 1; s <= 6; ++s) EXPECT_EQ(Pixel(s * 40, 300), kBlack) << "string " << s;
  EXPECT_EQ(Pixel(20 + 40 * 3, 300 + 5), kWhite);
  // Fret lines at every row step; the nut doubles the first at 0.8 of a row.
  for (int y : {20, 25, 50, 400}) EXPECT_EQ(Pixel(60, y), kBlack) << "y " << y;
  EXPECT_EQ(Pixel(60, 22), kWhite);
  EXPECT_EQ(Pixel(60, 410), kWhite) << "sixteen fret lines, no more";
  // Fret numbers in grey beside the rows.
  bool grey = false;
  for (int y = 18; y < 32 && !grey; ++y) {
    for (int x = 20; x < 34 && !grey; ++x) grey = Pixel(x, y) == 0x646464;
  }
  EXPECT_TRUE(grey) << "the number 0 at the nut";
}

TEST_F(FretboardPictureTest, AClickGivesTheNoteOfItsStringAndFret) {
  auto board = Make();
  struct Case {
    int x, y, note;
  } cases[] = {
      {5, 100, -1},     // before half a column
      {40, 81, 55},     // string 0 just above fret line 4: 52 + 3
      {40, 105, 55},
      {40, 106, 56},
      {240, 31, 77},    // string 5, fret 1
      {59, 6, 52},      // the open string, just right of string 0
      {60, 6, 57},      // half a column on: string 1
      {40, 5, -1},      // above the rows
      {40, 405, 67},    // the last fret, 15
      {40, 406, -1},    // below the last fret: no fret of this board
      {270, 100, -1},   // past the last string
  };
  for (const Case& c : cases) {
    notes.clear();
    CStringsMultiPicture::OnClick(c.x, c.y, 0);
    ASSERT_EQ(notes.size(), 1u) << c.x << "," << c.y;
    EXPECT_EQ(notes[0], c.note) << c.x << "," << c.y;
  }
}

TEST_F(FretboardPictureTest, AClickMarksItsStringAndGreysTheOthers) {
  auto board = Make();
  CStringsMultiPicture::OnClick(40, 90, 0);
  const FretMark clicked = CStringsMultiPicture::Mark(0, 0);
  EXPECT_EQ(clicked.fret, 3);
  EXPECT_EQ(clicked.colour, CStringsMultiPicture::kClickedColour);
  for (int s = 1; s < 6; ++s) EXPECT_EQ(CStringsMultiPicture::Mark(0, s).fret, -1) << s;
  // The red dot sits just above fret line 4, the grey ones above the nut.
  EXPECT_EQ(Pixel(40, 94), CStringsMultiPicture::kClickedColour);
  EXPECT_EQ(Pixel(80, 12), 0xB4B4B4u);
  EXPECT_EQ(Pixel(40, 12), kWhite) << "the clicked string has no grey dot";
}

TEST_F(FretboardPictureTest, BoardsThatTakeNoClicksAndControlsWithoutAnId) {
  auto board = Make(6, 0);
  CStringsMultiPicture::OnClick(40, 90, 0);
  EXPECT_EQ(notes, std::vector<int>{0});
  CStringsMultiPicture::OnClick(40, 90, -1);
  EXPECT_EQ(notes.size(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"CStringsMultiPicture::ErrorMsg"});
}

TEST_F(FretboardPictureTest, NoteNameLabels) {
  auto board = Make();
  CStringsMultiPicture::SetGuitarNoteNames(0, 1, 0);
  struct Case {
    int string, fret;
    const char* name;
  } guitar[] = {{0, 0, "E"}, {0, 1, "F"}, {0, 2, "F#"}, {5, 15, "G"}, {2, 0, "D"}};
  for (const Case& c : guitar) {
    EXPECT_EQ(CStringsMultiPicture::Label(0, c.string, c.fret), c.name) << c.string << c.fret;
  }
  CStringsMultiPicture::SetGuitarNoteNames(0, 1, 1);
  EXPECT_EQ(CStringsMultiPicture::Label(0, 0, 0), "D");
  EXPECT_EQ(CStringsMultiPicture::Label(0, 3, 0), "F#");
  // The four-string tunings label four strings and leave the other two empty.
  CStringsMultiPicture::SetFourStringNoteNames(0, 1, 0);
  EXPECT_EQ(CStringsMultiPicture::Label(0, 0, 0), "G");
  EXPECT_EQ(CStringsMultiPicture::Label(0, 1, 2), "D");
  EXPECT_EQ(CStringsMultiPicture::Label(0, 4, 0), "");
  EXPECT_EQ(CStringsMultiPicture::FourStringPitch(0, 2, 4), 64);
  EXPECT_EQ(CStringsMultiPicture::GuitarPitch(5, 3, 0), 79);
  // Drawn labels show in their colour on the board.
  CStringsMultiPicture::SetLabelColor(0x00FF00, 0);
  CStringsMultiPicture::DrawFretboard(0);
  bool green = false;
  for (int y = 36; y < 50 && !green; ++y) {
    for (int x = 26; x < 54 && !green; ++x) green = Pixel(x, y) == 0x00FF00;
  }
  EXPECT_TRUE(green);
}

TEST_F(FretboardPictureTest, BoundsOnStringsLabelsAndBoards) {
  auto board = Make(8);
  // Eight strings are six: the columns stay 40 wide.
  notes.clear();
  CStringsMultiPicture::OnClick(240, 31, 0);
  EXPECT_EQ(notes, std::vector<int>{77});
  std::vector<std::string> labels(16 * 6, "ABCDEFGHIJK");
  labels[1] = "あいうえお";
  CStringsMultiPicture::SetLabels(labels.data(), 0);
  EXPECT_EQ(CStringsMultiPicture::Label(0, 0, 0), "ABCDEFGHI");
  EXPECT_EQ(CStringsMultiPicture::Label(0, 0, 1), "あいうえ") << "cut before a split character";
  // Three boards at most.
  EXPECT_TRUE(board->AddFretboard(NewControl(), Rect{0, 0, 100, 100}, 0, 4, nullptr, 4, 1));
  EXPECT_TRUE(board->AddFretboard(NewControl(), Rect{0, 0, 100, 100}, 0, 4, nullptr, 4, 1));
  cantrel_test::Sink().Clear();
  EXPECT_FALSE(board->AddFretboard(NewControl(), Rect{0, 0, 100, 100}, 0, 4, nullptr, 4, 1));
  EXPECT_EQ(CStringsMultiPicture::Count(), 3);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
}

}  // namespace
