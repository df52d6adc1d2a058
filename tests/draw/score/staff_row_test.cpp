// The score rows: geometry tables, ledger lines, notes, accidentals, beams, ties, brackets,
// key and time signatures, octave shifts, the rhythm queue and rests; golden images of rows.
#include "draw/staff_picture.h"
#include "tests/draw/score/golden.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace {

class StaffRowTest : public ::testing::Test {
 protected:
  void SetUp() override { CStaffPicture::ResetState(); }
  void TearDown() override {
    picture.reset();
    rhythm.reset();
    CStaffPicture::ResetState();
  }
  COffScreenControl* NewControl() {
    controls.push_back(std::make_unique<COffScreenControl>(&parent));
    return controls.back().get();
  }
  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
  std::unique_ptr<CLongStaffPicture> picture;
  std::unique_ptr<CRhythmStaffPicture> rhythm;
};

// The showcase row: D major, 4/4, with the clef; every kind of glyph the score draws.
void FillShowcase(CLongStaffPicture& p, int row) {
  p.SetKeySignature(row, 2);
  p.ShowKeySignature(row, 1);
  p.SetTimeSignature(row, 4);
  p.ShowBarLines(row, 1);
  p.AddNote(row, 72, 0, 0, kNoteQuarter, 0);          // C natural against C sharp in the key
  p.AddNote(row, 74, 240, 0, kNoteEighthPairFirst, 0);
  p.AddNote(row, 76, 360, 0, kNoteEighthPairSecond, 0);
  p.AddNote(row, 65, 480, 0, kNoteSixteenthPairFirst, 0);  // F natural
  p.AddNote(row, 66, 540, 0, kNoteSixteenthPairSecond, 0);  // F sharp again
  p.AddNote(row, -1, 600, 0, kNoteEighth, 0);
  p.AddNote(row, 70, 720, 0, kNoteEighth, 0);           // B flat (flat spelling below)
  p.AddNote(row, 79, 800, 0, kNoteEighth, 0);
  p.AddNote(row, 81, 880, 0, kNoteEighth, 1);           // tied, on a ledger line
  p.AddNote(row, 45, 0, 0, kNoteHalf, 1);                // bass staff: half tied
  p.AddNote(row, 45, 480, 0, kNoteDottedQuarter, 0);
  p.AddNote(row, -1, 840, 0, kNoteSixteenth, 0);
  p.AddNote(row, 40, 900, 0, kNoteSixteenth, 0);         // ledger line below the bass staff
}

TEST_F(StaffRowTest, GeometryOfTheStandardRange) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 140}, 40, 83,
                                                nullptr, 960, nullptr);
  EXPECT_EQ(picture->LineCount(0), 13);
  EXPECT_DOUBLE_EQ(picture->Spacing(0), 10.0);
  int drawn = 0;
  for (int i = 0; i < 13; ++i) drawn += picture->IsDrawnLine(0, i);
  EXPECT_EQ(drawn, 10);
  EXPECT_FALSE(picture->IsDrawnLine(0, 0));   // 81
  EXPECT_FALSE(picture->IsDrawnLine(0, 6));   // 60
  EXPECT_FALSE(picture->IsDrawnLine(0, 12));  // 40
  struct Case {
    int pitch, spelling, top, bottom;
  };
  const Case cases[] = {{40, 2, 125, 135}, {60, 2, 65, 75}, {83, 2, 0, 10}, {60, 1, 65, 75},
                        {61, 2, 65, 75},   {61, 1, 60, 70}, {62, 1, 60, 70}, {42, 1, 115, 125},
                        {42, 2, 120, 130}};
  for (const Case& c : cases) {
    StaffPosition p;
    ASSERT_TRUE(picture->Position(0, c.pitch, c.spelling, &p)) << c.pitch;
    EXPECT_EQ(p.top, c.top) << c.pitch << " spelling " << c.spelling;
    EXPECT_EQ(p.bottom, c.bottom) << c.pitch << " spelling " << c.spelling;
  }
  StaffPosition p;
  ASSERT_TRUE(picture->Position(0, 61, 2, &p));
  EXPECT_EQ(p.accidental, 2);
  ASSERT_TRUE(picture->Position(0, 61, 1, &p));
  EXPECT_EQ(p.accidental, 1);
  ASSERT_TRUE(picture->Position(0, 60, 1, &p));
  EXPECT_EQ(p.accidental, 3);
  // With the clef the notes start at a quarter of the width.
  EXPECT_EQ(picture->NoteStartX(0), 56);
  EXPECT_EQ(p.left, static_cast<int>(56 - 5.0));
  picture->SetClefVisible(0, 0);
  EXPECT_EQ(picture->NoteStartX(0), 14);
}

TEST_F(StaffRowTest, PlainStaffWithoutClefLeavesItsLeftEdgeBlank) {
  COffScreenControl* c = NewControl();
  CStaffPicture staff(c, Rect{0, 0, 120, 140}, 40, 83, nullptr, nullptr);
  staff.ShowClef(0, 0);
  plat::Dc* dc = staff.Surface(0);
  for (int x = 0; x < 34; ++x) EXPECT_EQ(dc->GetPixel(x, 20), 0xFFFFFFu) << x;
  EXPECT_EQ(dc->GetPixel(40, 20), 0x646464u);  // the staff line of 77
  staff.ShowClef(0, 1);
  staff.DrawRow(0);
  int ink = 0;
  for (int y = 0; y < 140; ++y) {
    for (int x = 0; x < 34; ++x) ink += dc->GetPixel(x, y) == 0;
  }
  EXPECT_GT(ink, 50);  // the clefs
  staff.ToggleSpelling(0);
  EXPECT_EQ(staff.Spelling(0), 1);
  staff.ToggleSpelling(0);
  EXPECT_EQ(staff.Spelling(0), 2);
}

TEST_F(StaffRowTest, SpellingChoices) {
  EXPECT_EQ(ChooseKeySpelling(9, 1), 2);
  EXPECT_EQ(ChooseKeySpelling(0, 0), 1);
  EXPECT_EQ(ChooseKeySpelling(7, 0), 2);
  EXPECT_EQ(ChooseKeySpelling(5, 0), 1);
  EXPECT_EQ(ChooseKeySpelling(4, -1), 2);
  EXPECT_EQ(ChooseKeySpelling(12, 0), 1);
  EXPECT_EQ(ChooseKeySpelling(2, 4), 1);
  EXPECT_EQ(ChooseSpellingByKeyName("E", "m"), 2);
  EXPECT_EQ(ChooseSpellingByKeyName("D", "m"), 1);
  EXPECT_EQ(ChooseSpellingByKeyName("G", ""), 2);
  EXPECT_EQ(ChooseSpellingByKeyName("Bb", ""), 2);
  EXPECT_EQ(CStaffPicture::AccidentalOf(61, 1), 1);
  EXPECT_EQ(CStaffPicture::AccidentalOf(62, 1), 3);
}

// A pixel of the row is dark.
bool Dark(plat::Dc* dc, int x, int y) { return plat::GetRValue(dc->GetPixel(x, y)) < 100; }

TEST_F(StaffRowTest, LedgerLines) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 140}, 40, 83,
                                                nullptr, 960, nullptr);
  picture->SetClefVisible(0, 0);
  struct Case {
    int pitch;
    std::vector<int> lines;  // y of ledger lines expected near the note
  };
  const Case cases[] = {{59, {70}}, {60, {70}}, {40, {130}}, {81, {10}}, {83, {10}}, {64, {}},
                        {71, {}}};
  for (const Case& c : cases) {
    picture->ClearRow(0);
    picture->AddNote(0, c.pitch, 480, 0, kNoteWhole, 0);
    plat::Dc* dc = picture->Surface(0);
    StaffPosition p;
    ASSERT_TRUE(picture->Position(0, c.pitch, 2, &p));
    const int x = p.left + (224 - 14) * 480 / 960;
    // Ledger lines reach left of the head, where no staff line and no head is.
    const int probe = x - static_cast<int>(10 / 2) - 10 + 9;
    for (int y : {10, 70, 130}) {
      const bool expected = std::find(c.lines.begin(), c.lines.end(), y) != c.lines.end();
      EXPECT_EQ(Dark(dc, probe, y), expected) << "pitch " << c.pitch << " y " << y;
    }
  }
}

TEST_F(StaffRowTest, RowOperationsRefuseBadRowsAndFullLists) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 96}, 40, 83,
                                                nullptr, 960, nullptr);
  auto& sink = cantrel_test::Sink();
  EXPECT_FALSE(picture->AddNote(1, 60, 0, 0, kNoteQuarter, 0));
  EXPECT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Texts().back(), "CLongStaffPicture::error");
  EXPECT_EQ(picture->HasNoteAt(5, 0, 60), 0);
  for (int i = 0; i < 64; ++i) EXPECT_TRUE(picture->AddNote(0, 60, i * 15, 0, kNoteSixteenth, 0));
  EXPECT_FALSE(picture->AddNote(0, 60, 0, 0, kNoteSixteenth, 0));
  EXPECT_EQ(picture->Notes(0).size(), 64u);
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(picture->AddHighlight(0, i, i + 1, 0xFF));
  const size_t before = sink.Count();
  EXPECT_FALSE(picture->AddHighlight(0, 0, 1, 0xFF));
  EXPECT_EQ(sink.Count(), before + 1);
  EXPECT_EQ(picture->HighlightCount(0), 8);
  for (int i = 0; i < CLongStaffPicture::kMaxLabels; ++i) {
    EXPECT_TRUE(picture->AddLabel(0, "1234567890ABCDEFGH", 0, 0));
  }
  EXPECT_FALSE(picture->AddLabel(0, "x", 0, 0));
  for (int i = 0; i < CLongStaffPicture::kMaxBrackets; ++i) {
    EXPECT_TRUE(picture->AddTripletBracket(0, 0, 120, 0));
  }
  EXPECT_FALSE(picture->AddTripletBracket(0, 0, 120, 0));
  // A range upside down is reported and kept to one pitch; nothing divides by zero.
  EXPECT_TRUE(picture->AddRow(NewControl(), Rect{0, 0, 100, 50}, 83, 40, 960));
  EXPECT_EQ(picture->RowCount(), 2);
  picture->AddNote(1, 83, 0, 0, kNoteQuarter, 0);
  EXPECT_NE(picture->Surface(1), nullptr);
}

TEST_F(StaffRowTest, OctaveShiftMovesPitchesButNotRests) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 140}, 40, 83,
                                                nullptr, 960, nullptr);
  picture->SetClefVisible(0, 0);
  picture->AddNote(0, 86, 0, 0, kNoteQuarter, 0);
  picture->AddNote(0, -1, 480, 0, kNoteHalf, 0);
  plat::Dc* dc = picture->Surface(0);
  // "8va" at the bottom left.
  bool text = false;
  for (int y = 120; y < 140; ++y) {
    for (int x = 10; x < 40; ++x) text = text || Dark(dc, x, y);
  }
  EXPECT_TRUE(text);
  // The rest stays a half rest on the middle line; no note head appears for it lower down.
  StaffPosition b;
  ASSERT_TRUE(picture->Position(0, 71, 2, &b));
  const int x = 14 - 5 + (224 - 14) * 480 / 960;
  int dark = 0;
  for (int y = 0; y < 140; ++y) {
    for (int xx = x; xx < x + 10; ++xx) {
      if (y >= 30 && y <= 40) continue;  // the rest itself
      if (!picture->IsDrawnLine(0, 0) && Dark(dc, xx, y) && y % 10 != 0) ++dark;
    }
  }
  EXPECT_LT(dark, 6);
}

// Dark pixels in the place where the accidental of a note at `tick` stands.
int AccidentalInk(CLongStaffPicture& p, int row, int pitch, int spelling, int tick) {
  StaffPosition pos;
  if (!p.Position(row, pitch, spelling, &pos)) return -1;
  const double s = p.Spacing(row);
  const int x = pos.left + (p.NoteOriginX(row) - p.NoteStartX(row)) +
                (p.RowWidth(row) - p.NoteOriginX(row)) * tick / p.TicksPerRow(row);
  plat::Dc* dc = p.Surface(row);
  int n = 0;
  for (int y = pos.top - static_cast<int>(s / 3); y < pos.top + static_cast<int>(s); ++y) {
    for (int xx = static_cast<int>(x - 1.2 * s); xx < x - 1; ++xx) {
      n += plat::GetRValue(dc->GetPixel(xx, y)) < 90;
    }
  }
  return n;
}

TEST_F(StaffRowTest, AccidentalsAgainstTheKeyAndTheRow) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 448, 140}, 40, 83,
                                                nullptr, 960, nullptr);
  picture->SetClefVisible(0, 0);
  picture->SetKeySignature(0, 1);  // G major: F sharp
  // F sharp in the key: no sign. F natural: a natural, once. F sharp after it: a sharp.
  picture->AddNote(0, 66, 0, 0, kNoteQuarter, 0);
  picture->AddNote(0, 65, 240, 0, kNoteQuarter, 0);
  picture->AddNote(0, 65, 480, 0, kNoteQuarter, 0);
  picture->AddNote(0, 66, 720, 0, kNoteQuarter, 0);
  EXPECT_EQ(AccidentalInk(*picture, 0, 66, 2, 0), 0);
  EXPECT_GT(AccidentalInk(*picture, 0, 65, 2, 240), 4);
  EXPECT_EQ(AccidentalInk(*picture, 0, 65, 2, 480), 0);
  EXPECT_GT(AccidentalInk(*picture, 0, 66, 2, 720), 4);
}

TEST_F(StaffRowTest, BeamedPairSharesOneStemDirectionAndAThickBeam) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 140}, 40, 83,
                                                nullptr, 960, nullptr);
  picture->SetClefVisible(0, 0);
  // Average 68.5: stems up, so the beam lies above both heads.
  picture->AddNote(0, 65, 0, 0, kNoteEighthPairFirst, 0);
  picture->AddNote(0, 72, 120, 0, kNoteEighthPairSecond, 0);
  plat::Dc* dc = picture->Surface(0);
  StaffPosition a, b;
  picture->Position(0, 65, 2, &a);
  picture->Position(0, 72, 2, &b);
  const int s = 10;
  // Between the stems, the beam is three pixels thick at the first stem's height.
  const int x = a.left + 5 + 8;
  int thick = 0;
  for (int y = 0; y < 140; ++y) thick += plat::GetRValue(dc->GetPixel(x, y)) == 0;
  EXPECT_GE(thick, 3);
  EXPECT_LE(thick, 4);
  // Nothing below the heads: the stems point up.
  int below = 0;
  for (int y = a.bottom + 2; y < a.bottom + 4 * s; ++y) {
    if (y % 10 == 0) continue;  // staff lines
    below += plat::GetRValue(dc->GetPixel(a.left + 2, y)) == 0;
  }
  EXPECT_EQ(below, 0);
}

// The pair's direction comes from the exact middle of its pitches: a middle half a semitone
// above 69 or 59 lies beyond the bound, not on it.
TEST_F(StaffRowTest, BeamedPairDirectionFromTheExactMiddle) {
  struct Case {
    int first, second;
    bool down;
  };
  const Case cases[] = {{65, 72, false}, {67, 72, true}, {72, 67, true}, {55, 64, false},
                        {53, 64, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " " << c.second);
    CStaffPicture::ResetState();
    picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 140}, 40, 83,
                                                  nullptr, 960, nullptr);
    picture->SetClefVisible(0, 0);
    picture->AddNote(0, c.first, 0, 0, kNoteEighthPairFirst, 0);
    picture->AddNote(0, c.second, 120, 0, kNoteEighthPairSecond, 0);
    plat::Dc* dc = picture->Surface(0);
    StaffPosition a;
    ASSERT_TRUE(picture->Position(0, c.first, 2, &a));
    const int s = 10;
    // Ink around the first note's stem, above and below its head (staff lines left out).
    auto ink = [&](int y0, int y1) {
      int n = 0;
      for (int y = std::max(y0, 0); y < std::min(y1, 140); ++y) {
        if (y % 10 == 0) continue;
        for (int x = a.left - s; x <= a.right + 2; ++x) {
          n += plat::GetRValue(dc->GetPixel(x, y)) == 0;
        }
      }
      return n;
    };
    const int above = ink(a.top - 4 * s, a.top - 1);
    const int below = ink(a.bottom + 2, a.bottom + 4 * s);
    EXPECT_EQ(above > 0, !c.down);
    EXPECT_EQ(below > 0, c.down);
  }
}

TEST_F(StaffRowTest, SignaturesDrawOnlyWhenAsked) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 96, 140}, 40, 83,
                                                nullptr, 240, nullptr);
  picture->ShowClef(0, 0);
  const QImage plain = draw_test::ToImage(*picture->Surface(0));
  picture->SetTimeSignature(0, 0);
  picture->SetKeySignature(0, 253);
  EXPECT_EQ(draw_test::CountDifferent(plain, draw_test::ToImage(*picture->Surface(0)), 0), 0);
  picture->ShowKeySignature(0, 1);
  const QImage keyed = draw_test::ToImage(*picture->Surface(0));
  EXPECT_GT(draw_test::CountDifferent(plain, keyed, 0), 20);
  picture->SetTimeSignature(0, 3);
  EXPECT_GT(draw_test::CountDifferent(keyed, draw_test::ToImage(*picture->Surface(0)), 0), 20);
}

TEST_F(StaffRowTest, ClickReportsTheRowAndChordNotesDrawAtTheCentre) {
  std::vector<std::array<int, 3>> clicks;
  picture = std::make_unique<CLongStaffPicture>(
      NewControl(), Rect{0, 0, 224, 96}, 40, 83,
      [&](int row, int x, int y) { clicks.push_back({row, x, y}); }, 960, nullptr);
  COffScreenControl* second = NewControl();
  picture->AddRow(second, Rect{0, 100, 224, 196}, 40, 83, 960);
  second->SetId(1);
  QMouseEvent ev(QEvent::MouseButtonPress, QPointF(7, 9), second->mapToGlobal(QPointF(7, 9)),
                 Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(second, &ev);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], (std::array<int, 3>{1, 7, 9}));
  // Chord notes: sorted by pitch, drawn with the staff.
  CStaffPicture& base = *picture;
  base.AddChordNote(0, 67, 0);
  base.AddChordNote(0, 60, 0);
  int lo = 0, hi = 0;
  base.GetChordRange(0, &lo, &hi);
  EXPECT_EQ(lo, 60);
  EXPECT_EQ(hi, 67);
  base.ClearChordNotes(0);
  base.GetChordRange(0, &lo, &hi);
  EXPECT_EQ(lo, 127);
  EXPECT_EQ(hi, 0);
}

TEST_F(StaffRowTest, AddingARowLeavesTheEarlierRowsAlone) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 96}, 40, 83,
                                                nullptr, 960, nullptr);
  plat::Dc* first = picture->Surface(0);
  first->SetPixel(3, 3, 0x0000FF);  // a mark that a redraw would wipe out
  for (int i = 1; i < 48; ++i) picture->AddRow(NewControl(), Rect{0, 0, 224, 96}, 40, 83, 960);
  picture->BlitAll();
  EXPECT_EQ(picture->Surface(0)->GetPixel(3, 3), 0x0000FFu);
  // A change to a row redraws that row only.
  picture->AddNote(0, 60, 0, 0, kNoteQuarter, 0);
  picture->Surface(1)->SetPixel(3, 3, 0x0000FF);
  picture->BlitAll();
  EXPECT_NE(picture->Surface(0)->GetPixel(3, 3), 0x0000FFu);
  EXPECT_EQ(picture->Surface(1)->GetPixel(3, 3), 0x0000FFu);
}

TEST_F(StaffRowTest, StrangeNotesDrawNothingHarmful) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 96}, 40, 83,
                                                nullptr, 0, nullptr);  // no ticks: held to 1
  EXPECT_EQ(picture->TicksPerRow(0), 1);
  const int starts[] = {0, -5000, 2147483647, -2147483647};
  const int pitches[] = {-4, -1, 0, 127, 200, -3};
  const int types[] = {0, 2, 5, 12, 15, 16, 21, 99, -7};
  for (int start : starts) {
    for (int pitch : pitches) {
      picture->ClearRow(0);
      for (int type : types) picture->AddNote(0, pitch, start, 0, type, 1);
      picture->AddTripletBracket(0, start, start, 0);
      picture->AddHighlightByTicks(0, start, start, 0xFF);
      picture->ClearHighlights(0);
      ASSERT_NE(picture->Surface(0), nullptr);
    }
  }
}

// Shaded glyphs (colour 0) darken a pixel once per mask cell. Where several cells share each
// pixel the edges come out grey and smooth; where a cell spans more than half a pixel an inside
// pixel may take a single cell, and the glyph must still be solid, not hatched.
TEST_F(StaffRowTest, ShadedGlyphsAreSolidWhenCellsGrowAndSmoothWhenTheyShrink) {
  auto greys = [&](int height) {
    CStaffPicture::ResetState();
    picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 200, height}, 40, 83,
                                                  nullptr, 960, nullptr);
    picture->SetClefVisible(0, 0);
    picture->SetKeySignature(0, 3);
    picture->ShowKeySignature(0, 1);
    const QImage img = draw_test::ToImage(*picture->Surface(0));
    int black = 0, grey = 0;
    for (int y = 0; y < img.height(); ++y) {
      for (int x = 0; x < img.width(); ++x) {
        const int c = qRed(img.pixel(x, y));
        black += c == 0;
        grey += c != 0 && c != 100 && c != 255;  // neither ink, staff line nor paper
      }
    }
    EXPECT_GT(black, 0) << height;
    return grey;
  };
  EXPECT_EQ(greys(196), 0);  // spacing 14: a cell is 0.63 pixels
  EXPECT_EQ(greys(280), 0);  // spacing 20: 0.89 pixels
  EXPECT_GT(greys(96), 0);   // spacing 6.9: about three cells to a pixel, grey edges
}

TEST_F(StaffRowTest, NotesAtTickZeroStandAfterTheSignatures) {
  // Every size the score uses: the first note and its accidental begin right of the key and
  // time signatures' ink.
  for (const Rect rect : {Rect{0, 0, 224, 96}, Rect{0, 0, 420, 126}, Rect{0, 0, 640, 224},
                          Rect{0, 0, 160, 96}}) {
    for (int key : {2, 7, 249}) {
      auto render = [&](bool signatures, bool notes) {
        CStaffPicture::ResetState();
        controls.clear();
        picture = std::make_unique<CLongStaffPicture>(NewControl(), rect, 40, 83, nullptr, 960,
                                                      nullptr);
        picture->SetKeySignature(0, key);
        picture->SetSpelling(0, key < 240 ? 2 : 1);
        if (signatures) {
          picture->ShowKeySignature(0, 1);
          picture->SetTimeSignature(0, 3);
        }
        if (notes) {
          picture->AddNote(0, key < 240 ? 65 : 71, 0, 0, kNoteQuarter, 0);  // a natural
          picture->AddNote(0, 48, 0, 0, kNoteHalf, 0);
        }
        return draw_test::ToImage(*picture->Surface(0));
      };
      const QImage plain = render(false, false), signed_ = render(true, false), full = render(true, true);
      int signatureRight = -1, noteLeft = rect.right;
      for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
          const bool sig = qRed(signed_.pixel(x, y)) < 160 && qRed(plain.pixel(x, y)) >= 160;
          if (sig) signatureRight = std::max(signatureRight, x);
          if (full.pixel(x, y) != signed_.pixel(x, y)) noteLeft = std::min(noteLeft, x);
        }
      }
      ASSERT_GE(signatureRight, 0);
      EXPECT_LT(signatureRight, noteLeft) << rect.right << "x" << rect.bottom << " key " << key;
    }
  }
}

TEST_F(StaffRowTest, TripletBracketsKeepClearOfStemsAndFlags) {
  const struct {
    Rect rect;
    int pitches[3];
  } kCases[] = {
      {Rect{0, 0, 224, 96}, {67, 69, 70}},    // stems up into the top of the row
      {Rect{0, 0, 224, 96}, {72, 74, 76}},    // stems down
      {Rect{0, 0, 420, 126}, {60, 64, 67}},
      {Rect{0, 0, 640, 224}, {79, 81, 77}},
  };
  for (const auto& c : kCases) {
    auto render = [&](bool bracket) {
      CStaffPicture::ResetState();
      controls.clear();
      picture = std::make_unique<CLongStaffPicture>(NewControl(), c.rect, 40, 83, nullptr, 960,
                                                    nullptr);
      picture->SetClefVisible(0, 0);
      for (int k = 0; k < 3; ++k) picture->AddNote(0, c.pitches[k], 720 + 80 * k, 0, kNoteEighth, 0);
      if (bracket) picture->AddTripletBracket(0, 720, 960, 0);
      return draw_test::ToImage(*picture->Surface(0));
    };
    const QImage notes = render(false), with = render(true);
    int left = c.rect.right, right = -1, top = c.rect.bottom, bottom = -1;
    for (int y = 0; y < with.height(); ++y) {
      for (int x = 0; x < with.width(); ++x) {
        if (with.pixel(x, y) == notes.pixel(x, y)) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    ASSERT_GE(right, 0) << "no bracket drawn";
    // Within the bracket's columns no note ink (staff lines aside) lies in its band.
    const QImage empty = [&] {
      CStaffPicture::ResetState();
      controls.clear();
      picture = std::make_unique<CLongStaffPicture>(NewControl(), c.rect, 40, 83, nullptr, 960,
                                                    nullptr);
      picture->SetClefVisible(0, 0);
      return draw_test::ToImage(*picture->Surface(0));
    }();
    int crossing = 0;
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        if (qRed(notes.pixel(x, y)) < 160 && qRed(empty.pixel(x, y)) >= 160) ++crossing;
      }
    }
    EXPECT_EQ(crossing, 0) << c.rect.right << "x" << c.rect.bottom << " " << c.pitches[0];
  }
}

TEST_F(StaffRowTest, ShowcaseRowGolden) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 420, 126}, 40, 83,
                                                nullptr, 960, nullptr);
  FillShowcase(*picture, 0);
  picture->SetSpelling(0, 2);
  draw_test::ExpectGolden(draw_test::ToImage(*picture->Surface(0)), "staff_showcase");
}

TEST_F(StaffRowTest, PageRowGoldenAtDefaultHeight) {
  // A bar cell of the page: no clef, edge lines, 96 pixels high (s about 6.9).
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 224, 96}, 40, 83,
                                                nullptr, 960, nullptr);
  picture->SetClefVisible(0, 0);
  picture->ShowBarLines(0, 1);
  picture->SetKeySignature(0, 254);  // two flats
  picture->SetSpelling(0, 1);
  picture->AddNote(0, 70, 0, 0, kNoteEighthPairFirst, 0);   // B flat of the key: no sign
  picture->AddNote(0, 72, 120, 0, kNoteEighthPairSecond, 0);
  picture->AddNote(0, 64, 240, 0, kNoteQuarter, 1);          // E natural, tied
  picture->AddNote(0, 64, 480, 0, kNoteDottedEighthBeamed, 0);
  picture->AddNote(0, 63, 660, 0, kNoteSixteenthAfterDotted, 0);  // E flat shown again
  picture->AddNote(0, 67, 720, 0, kNoteEighth, 0);
  picture->AddNote(0, 69, 800, 0, kNoteEighth, 0);
  picture->AddNote(0, 70, 880, 0, kNoteEighth, 0);
  picture->AddTripletBracket(0, 720, 960, 0);
  picture->AddNote(0, 48, 0, 0, kNoteHalf, 0);
  picture->AddNote(0, -1, 720, 0, kNoteQuarter, 0);
  draw_test::ExpectGolden(draw_test::ToImage(*picture->Surface(0)), "staff_page_row");
}

TEST_F(StaffRowTest, LargeRowGolden) {
  // At a large display scale the rows are taller: the glyphs scale with the spacing.
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 640, 224}, 40, 83,
                                                nullptr, 960, nullptr);
  FillShowcase(*picture, 0);
  draw_test::ExpectGolden(draw_test::ToImage(*picture->Surface(0)), "staff_large");
}

TEST_F(StaffRowTest, HeaderRowGoldenWithClefsAndSignatures) {
  picture = std::make_unique<CLongStaffPicture>(NewControl(), Rect{0, 0, 80, 96}, 40, 83,
                                                nullptr, 240, nullptr);
  picture->SetKeySignature(0, 253);  // three flats
  picture->ShowKeySignature(0, 1);
  picture->SetTimeSignature(0, 3);
  picture->SetSpelling(0, 1);
  draw_test::ExpectGolden(draw_test::ToImage(*picture->Surface(0)), "staff_header_row");
}

}  // namespace
