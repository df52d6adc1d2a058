// Opens each editing dialog on a sample song and saves a picture of it: the lyric input panel,
// the lyric view, step input and step edit, the bar-range edit dialog and the triplet and guitar
// panels. Run by tools/dialog-shots on a virtual X screen.
//
// Usage: dialog_shots <output folder> <program folder>
#include "app/lyric_edits.h"
#include "dialogs/bar_edit_dialog.h"
#include "dialogs/lyric_list.h"
#include "dialogs/lyric_panel.h"
#include "dialogs/step_dialog.h"
#include "dialogs/triplet_guitar_panels.h"
#include "draw/bitmap_grid_picture.h"
#include "draw/offscreen_control.h"
#include "draw/strings_picture.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"

#include <QApplication>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

class Owner : public CDialogOwner, public CLyricPanelOwner {
 public:
  void PostToMain(uint32_t, uintptr_t, intptr_t) override {}
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return 100; }
  std::string& LyricText() override { return text; }
  void LyricCursor(int* bar, int* eighth) const override {
    *bar = 0;
    *eighth = 0;
  }
  std::string text;
};

// Four bars of 4/4: a tune of quarter notes with a lyric on each.
std::unique_ptr<CSongData> SampleSong() {
  auto song = std::make_unique<CSongData>();
  song->Reset(4, 4, 0, 1);
  const int tune[] = {60, 62, 64, 65, 67, 67, 69, 67, 65, 65, 64, 64, 62, 62, 60, -1};
  for (int c = 0; c < song->SongCells(); ++c) {
    song->cells[c].slot[0] = c % 2 == 0 ? tune[c / 2] : NoteSlotHold;
    song->cells[c].slot[1] = NoteSlotHold;
    song->cells[c].slot[2] = NoteSlotVacant;
  }
  lyric_edit::PourLyrics(*song, "か え る の う た が き こ え て く る よ", 0);
  song->BuildLyricText();
  return song;
}

bool Save(QWidget& dialog, const std::filesystem::path& file) {
  dialog.show();
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(10);
  }
  const bool ok = dialog.grab().save(QString::fromStdString(file.string()), "PNG");
  std::printf("%s %s\n", ok ? "saved" : "FAILED", file.c_str());
  dialog.hide();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dialog_shots <output folder> <program folder>\n");
    return 2;
  }
  QApplication app(argc, argv);
  const std::filesystem::path out = argv[1];
  plat::SetProgramFolder(argv[2]);
  std::filesystem::create_directories(out);
  auto song = SampleSong();
  Owner owner;
  bool ok = true;

  {
    CLyricInputDlg panel;
    panel.SetOwner(&owner);
    panel.SetLyricOwner(&owner);
    panel.Create();
    ProgramLyricList().Add("かえるのうたが", 0, 0);
    ProgramLyricList().Add("きこえてくるよ", 2, 0);
    panel.RefreshList();
    panel.textBox->setPlainText(plat::ToQString("ぐわっ ぐわっ ぐわっ\nけろけろけろけろ"));
    panel.SplitSyllables();
    ok &= Save(panel, out / "lyric_input.png");
  }
  {
    CLyricDlg view;
    view.SetOwner(&owner);
    view.SetSong(song.get());
    view.Create();
    ok &= Save(view, out / "lyric_view.png");
  }
  {
    CStepDlg steps;
    steps.SetOwner(&owner);
    steps.SetSong(song.get());
    steps.startRow = 6;
    steps.Create();
    ok &= Save(steps, out / "step_input.png");
  }
  {
    CStepEditDlg editor;
    editor.SetOwner(&owner);
    editor.barText = "001";
    editor.beatText = "2表(3)";
    editor.thirdPart = 0;
    editor.value = 62;
    editor.lyric = "え";
    editor.Create();
    ok &= Save(editor, out / "step_edit.png");
  }
  {
    CCopyDlg edit;
    edit.SetOwner(&owner);
    edit.beatsPerBar = 4;
    edit.from = 1;
    edit.to = 4;
    edit.Create();
    ok &= Save(edit, out / "bar_edit.png");
  }
  {
    // The triplet buttons join the melody panel's length-button picture.
    COffScreenControl lengthHost;
    const int lengthIds[2][16] = {{195, 198, 197, 196, 201, 200, 199, 203, 202, 204},
                                  {205, 209, 209, 206, 209, 209, 207, 209, 208, 194}};
    CBitmapGridPicture lengths(&lengthHost, plat::Rect{10, 157, 310, 217}, 2, 10, lengthIds,
                               nullptr, nullptr);
    CTripletDlg triplet;
    triplet.SetOwner(&owner);
    triplet.SetSharedPicture(&lengths);
    triplet.Create();
    triplet.OnTripletPress(0, 1);
    ok &= Save(triplet, out / "triplet.png");
  }
  {
    CGuitarDlg guitar;
    guitar.SetOwner(&owner);
    guitar.Create();
    CStringsMultiPicture::OnClick(CGuitarDlg::kClientWidth / 7, 90, 0);
    ok &= Save(guitar, out / "guitar.png");
  }
  return ok ? 0 : 1;
}
