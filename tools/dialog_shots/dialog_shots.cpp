// Opens each editing, settings and song-information dialog on a sample song and saves a picture
// of it: the lyric input panel, the lyric view, step input and step edit, the bar-range edit
// dialog, the triplet and guitar panels; the settings and input/output settings; the song
// information in Japanese and in English, the part settings of channels 1, 2, 3, 9 and 15, the
// classification, extended information and note range; the melody channel and the ABC text; and
// the import tool of a main window with a file read in. Run by tools/dialog-shots on a virtual X
// screen.
//
// Usage: dialog_shots <output folder> <program folder>
#include "app/lyric_edits.h"
#include "app/main_dialog.h"
#include "dialogs/import_tool_dialog.h"
#include "music/midi1_data.h"
#include "dialogs/bar_edit_dialog.h"
#include "dialogs/import_dialogs.h"
#include "dialogs/lyric_list.h"
#include "dialogs/lyric_panel.h"
#include "dialogs/part_settings_dialogs.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/settings_host.h"
#include "dialogs/song_detail_dialogs.h"
#include "dialogs/song_info_dialog.h"
#include "dialogs/step_dialog.h"
#include "dialogs/triplet_guitar_panels.h"
#include "draw/bitmap_grid_picture.h"
#include "draw/keyboard_picture.h"
#include "draw/offscreen_control.h"
#include "draw/strings_picture.h"
#include "music/midi0_data.h"
#include "platform/core/folders.h"
#include "platform/qt/qt_text.h"
#include "song/song_data.h"

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

class Owner : public CDialogOwner, public CLyricPanelOwner, public CSettingsHost {
 public:
  void PostToMain(uint32_t, uintptr_t, intptr_t) override {}
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return scale; }
  void CloseMidiDevices() override {}
  void OpenMidiOut() override {}
  void FillDefaultSettings(ConfigData*) override {}
  int ScreenDefaultMode() const override { return 5; }
  int scale = 100;
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
  SongInfoBlock& info = song->info;
  info.SetText(SongInfoBlock::kTitle, 33, "かえるのうた");
  info.SetText(SongInfoBlock::kAltTitle, 31, "The Frog Song");
  info.SetText(SongInfoBlock::kComposer, 33, "ドイツ民謡");
  info.SetText(SongInfoBlock::kAltComposer, 31, "German folk song");
  info.SetText(SongInfoBlock::kLyricist, 33, "岡本敏明");
  info.SetInt(SongInfoBlock::kMelodyProgram, 73);
  info.SetInt(SongInfoBlock::kSoloProgram, 128);
  info.SetInt(SongInfoBlock::kAccompProgram, 0);
  info.SetInt(SongInfoBlock::kAccomp2Program, 48);
  info.SetInt(SongInfoBlock::kTempo, 100);
  song->style.instrument[2] = 33;
  song->style.instrument[9] = 0;
  song->SetExtraText(8, "Froschgesang");
  // An arrangement as a style gives it: the melody doubled an octave up, and each part's
  // volume, pattern and density.
  StyleRecord& style = song->style;
  for (int c = 0; c < 16; ++c) style.mixer[c].volume = static_cast<uint8_t>(90 + c);
  for (int c = 0; c < 12; ++c) style.density[c] = 100;
  style.octave[1] = 1;
  style.octave[2] = -1;
  style.accompaniment = 13;
  style.drum_pattern = 2;
  style.bass_pattern = 8;
  return song;
}

// Settings as a fresh start has them, with a named encoder.
ConfigData SampleSettings() {
  ConfigData c{};
  c.keyboardLow = 48, c.keyboardHigh = 83, c.scoreLow = 40, c.scoreHigh = 83;
  c.sendExclusive = 1, c.midiOutDevice = 0, c.midiInDevice = -1, c.adviceShown = 1;
  c.thickenForMobile = 1, c.inputVelocity = 64, c.inputMode = 1, c.screenLayout = 5;
  c.guideShown = 1;
  std::strcpy(c.encoderPath, "/usr/bin/lame");
  return c;
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
  {
    // The import tool of a started main window, showing the channel of a file with most notes.
    const std::filesystem::path file = "/usr/share/planetblupi/music/music000.mid";
    CBrevantDlg window;
    window.show();
    for (int i = 0; i < 50 && window.isReady != 1; ++i) {
      QApplication::processEvents();
      QThread::msleep(10);
    }
    CImportToolDlg* tool = window.importTool;
    if (!tool || !std::filesystem::exists(file)) {
      std::printf("FAILED import tool (no tool or no %s)\n", file.c_str());
      ok = false;
    } else {
      window.ShowImportTool();
      tool->setWindowTitle(QString::fromStdString(file.string()));
      tool->StartParse(file);
      for (int i = 0; i < 500 && tool->Parsing(); ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
      }
      int channel = 0;
      for (int c = 1; ImportToolSong && c < 16; ++c) {
        if (ImportToolSong->Track(c + 1)->GetNoteCount() >
            ImportToolSong->Track(channel + 1)->GetNoteCount()) {
          channel = c;
        }
      }
      tool->channelList->setCurrentIndex(channel);
      tool->OnChannelChanged();
      tool->OnScroll(CImportToolDlg::kThumbPosition, 16);
      ok &= Save(*tool, out / "import_tool.png");
    }
    window.ReleaseAll();
  }

  ConfigData settings = SampleSettings();
  for (int scale : {100, 150}) {
    owner.scale = scale;
    CConfigDlg config;
    config.SetOwner(&owner);
    config.SetSettings(&settings, &owner, nullptr);
    config.Create();
    ok &= Save(config, out / ("settings_" + std::to_string(scale) + ".png"));
  }
  owner.scale = 100;
  {
    CInoutConfigDlg inout;
    inout.SetOwner(&owner);
    inout.SetSettings(&settings);
    inout.Create();
    ok &= Save(inout, out / "inout_settings.png");
  }
  for (int english : {0, 1}) {
    CSongInfoDlg info;
    info.SetOwner(&owner);
    info.SetSong(song.get(), nullptr);
    info.Create();
    if (english) info.ToggleLanguage();
    ok &= Save(info, out / (english ? "song_info_en.png" : "song_info_ja.png"));
  }
  for (int channel : {1, 15}) {
    CMdyDlg part;
    part.SetOwner(&owner);
    part.SetPart(song.get(), channel);
    part.Create();
    ok &= Save(part, out / ("part_settings_" + std::to_string(channel) + ".png"));
  }
  for (int channel : {2, 3, 9}) {
    CHarmonyDlg part;
    part.SetOwner(&owner);
    part.SetPart(song.get(), channel);
    part.Create();
    ok &= Save(part, out / ("part_settings_" + std::to_string(channel) + ".png"));
  }
  {
    CGroupDlg group;
    group.SetOwner(&owner);
    group.SetSong(song.get());
    group.Create();
    ok &= Save(group, out / "classification.png");
  }
  {
    CExtraInfoDlg extra;
    extra.SetOwner(&owner);
    extra.SetSong(song.get());
    extra.Create();
    ok &= Save(extra, out / "extended_information.png");
  }
  {
    CRangeDlg range;
    range.SetOwner(&owner);
    range.SetSong(nullptr, song.get());
    range.Create();
    ok &= Save(range, out / "note_range.png");
  }
  {
    const Midi0Data tune(std::filesystem::path(CANTREL_SOURCE_DIR) / "tests/data/midi/abc_tune.mid",
                         0x60000);
    CMelodyChannelDlg channel;
    channel.SetOwner(&owner);
    channel.SetSong(&tune, 0, &settings);
    channel.Create();
    ok &= Save(channel, out / "melody_channel.png");
  }
  {
    std::vector<char> buffer(30000, '\0');
    CAbcNotationDlg abc;
    abc.SetOwner(&owner);
    abc.SetBuffer(buffer.data(), buffer.size());
    abc.Create();
    if (auto* box = abc.findChild<QPlainTextEdit*>()) {
      box->setPlainText(QStringLiteral("X:1\nT:Froschgesang\nM:4/4\nL:1/4\nK:C\nCDEF|EDC2|EFGA|GFE2|\n"));
    }
    ok &= Save(abc, out / "abc_text.png");
  }
  return ok ? 0 : 1;
}
