// Song files on the main window: new, open, save as, MIDI import, files dropped as URLs and the
// conversion of a 3/4 song into a new 4/4 song file.
#include "tests/app/window/window_fixture.h"
#include "dialogs/archive_dialog.h"
#include "dialogs/import_dialogs.h"
#include "draw/chord_table_picture.h"
#include "tests/dialogs/song_info/dialog_test_util.h"
#include "tests/song/archive/archive_files.h"

#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"

#include <QComboBox>
#include <QDropEvent>
#include <QListWidget>
#include <QMimeData>
#include <QSpinBox>
#include <QUrl>

#include <cstring>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class FilesTest : public WindowTest {
 protected:
  void Drop(const fs::path& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(dlg.get())->event(&drop);
  }
};

TEST_F(FilesTest, DroppedFileUrlsOpenImportOrAreRefused) {
  Start();
  const fs::path dir = cantrel_test::TempDir();
  // A song file opens.
  CSongData saved;
  saved.Reset(12, 4, 0, 1);
  saved.cells[8].slot[0] = 71;
  const fs::path mwd = dir / "dropped.mwd";
  ASSERT_TRUE(saved.SaveAs(4, 0, &mwd, 1));
  Drop(mwd);
  EXPECT_EQ(dlg->song->bar_count, 12);
  EXPECT_EQ(dlg->song->cells[8].slot[0], 71);
  EXPECT_EQ(dlg->SongPath(), mwd);
  // A MIDI file is imported, and takes the file's name as a song file.
  const fs::path mid = cantrel_test::DataPath("midi/features.mid");
  // The melody channel is asked for; closed without a choice, the proposed one stands.
  bool asked = false;
  WhenModal<CMelodyChannelDlg>([](CMelodyChannelDlg* d) { QTest::keyClick(d, Qt::Key_Escape); },
                               &asked);
  Drop(mid);
  EXPECT_TRUE(asked);
  EXPECT_EQ(dlg->SongPath().filename(), "features.mwd");
  EXPECT_GT(dlg->song->CountNotes(0, dlg->song->bar_count - 1), 0);
  EXPECT_EQ(dlg->barCountSpin->value(), dlg->song->bar_count);
  // Anything else is refused, and a file named .mid that is no MIDI keeps the song.
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  const fs::path text = dir / "notes.txt";
  std::ofstream(text) << "hello";
  const fs::path fake = dir / "fake.mid";
  std::ofstream(fake) << "not a MIDI file at all";
  cantrel_test::Sink().Clear();
  Drop(text);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CBrevantDlg error"});
  cantrel_test::Sink().Clear();
  Drop(fake);
  ASSERT_FALSE(cantrel_test::Sink().Texts().empty());
  EXPECT_EQ(cantrel_test::Sink().Texts().back(), "CBrevantDlg error");
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
}

TEST_F(FilesTest, ThreeFourSongsBecomeNewFourFourSongs) {
  Start();
  CSongData& s = *dlg->song;
  s.Reset(10, 3, CSongData::KeyIndexFromName("Em"), 1);
  static const char* const kNames[10] = {"C", "Dm", "Em", "F", "G", "Am", "Bm", "C7", "D7", "E7"};
  for (int beat = 0; beat < 30; ++beat) {
    s.cells[beat * 2].slot[0] = 40 + beat;
    std::snprintf(s.chords[beat].first, 8, "%s", kNames[beat % 10]);
  }
  s.info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize, "three");
  const fs::path out = cantrel_test::TempDir() / "four.mwd";
  dialogs.QueueFile(out);
  const std::vector<uint8_t> image = s.SerializeToVector();
  dlg->OnBarMenuCommand(272, 0);
  EXPECT_EQ(dlg->song->SerializeToVector(), image) << "the working song stays";
  int bars = 0, beats = 0, key = 0, metre = 0;
  bool ok = false;
  std::unique_ptr<CSongData> four = CSongData::LoadFromFile(out, &bars, &beats, &key, &metre, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(four->bar_count, 7);
  EXPECT_EQ(four->beats_per_bar, 4);
  EXPECT_EQ(four->key_index, s.key_index);
  EXPECT_EQ(four->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize), "three");
  for (int beat = 0; beat < 28; ++beat) {
    EXPECT_EQ(four->cells[beat * 2].slot[0], 40 + beat) << beat;
    EXPECT_EQ(std::string(four->chords[beat].first), kNames[beat % 10]) << beat;
  }
  // A song in four beats is not converted.
  dlg->song->Reset(8, 4, 0, 1);
  dialogs.QueueFile(cantrel_test::TempDir() / "never.mwd");
  cantrel_test::Sink().Clear();
  dlg->ConvertToFourFour();
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CBrevantDlg error"});
  EXPECT_FALSE(fs::exists(cantrel_test::TempDir() / "never.mwd"));
}

TEST_F(FilesTest, TheArchiveOpensTheChosenSongWithItsTransposition) {
  Start();
  const fs::path archive = dlg->userDataFolder / "Archive";
  archive_test::SaveSong(archive / "c.mwd", {"ハ長調", 500, 0, 0, 6, {60, 62, 64}});
  dlg->modalRunner = [](CDialogSkeleton& d) {
    auto* a = qobject_cast<CArchiveDlg*>(&d);
    if (!a) return 0;
    a->Create();
    while (a->Scanning()) QTest::qWait(5);
    a->SetSearchRunner([](CSearchDlg& s) {
      s.Create();
      s.typeList->setCurrentIndex(4);
      for (int n : {60, 62, 64, 65, 67, 69}) s.OnKey(n);
      s.OnOK();
      return s.result();
    });
    a->RunSearch();
    while (a->Scanning()) QTest::qWait(5);
    EXPECT_EQ(a->personalList->count(), 2);
    a->personalList->setCurrentRow(1);  // "ハ長調<F>"
    a->OnOK();
    return a->result();
  };
  dlg->DispatchButtonCommand(7);
  EXPECT_EQ(dlg->SongPath(), archive / "c.mwd");
  EXPECT_EQ(dlg->song->bar_count, 6);
  EXPECT_EQ(dlg->song->cells[0].slot[0] % 12, 5) << "moved to F";
  // The chord panel's table is the new key's.
  EXPECT_EQ(CChordTablePicture::CellText(0, 0, 0).rfind("F\n", 0), 0u);
  EXPECT_EQ(CChordTablePicture::CellText(0, 0, 3).rfind("Bb\n", 0), 0u);
}

TEST_F(FilesTest, ANewSongIsAskedFor) {
  Start();
  dlg->song->Reset(20, 4, 0, 1);
  cantrel_test::Sink().QueueAnswer(plat::kIdCancel);
  dlg->NewSong();
  EXPECT_EQ(dlg->song->bar_count, 20);
  cantrel_test::Sink().QueueAnswer(plat::kIdOk);
  dlg->NewSong();
  EXPECT_EQ(dlg->song->bar_count, 8);
  EXPECT_EQ(cantrel_test::Sink().Texts().back(), "曲をクリアしますか？");
}

TEST_F(FilesTest, OpenAndSaveAsGoThroughTheirDialogs) {
  Start();
  const fs::path dir = cantrel_test::TempDir();
  CSongData other;
  other.Reset(5, 3, 2, 1);
  const fs::path path = dir / "other.mwd";
  ASSERT_TRUE(other.SaveAs(3, 2, &path, 1));
  dialogs.QueueFile(path);
  dlg->OpenSongWithDialog();
  EXPECT_EQ(dlg->song->bar_count, 5);
  EXPECT_EQ(dlg->song->beats_per_bar, 3);
  ASSERT_EQ(dialogs.FileRequests().size(), 1u);
  EXPECT_EQ(dialogs.FileRequests()[0].default_extension, "mwd");
  EXPECT_EQ(dialogs.FileRequests()[0].filter, "cantrel files|*.mwd|");
  EXPECT_EQ(dialogs.FileRequests()[0].initial_folder, dlg->userDataFolder / "Archive");
  // Saved under a new name; a cancelled dialog changes nothing.
  const fs::path target = dir / "renamed.mwd";
  dialogs.QueueFile(target);
  dlg->SaveSongAs();
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(dlg->SongPath(), target);
  dialogs.QueueFileCancel();
  dlg->SaveSongAs();
  EXPECT_EQ(dlg->SongPath(), target);
  // The program's folder is not written: the song goes to the shared documents instead.
  dialogs.QueueFile(g_programFolder / "mine.mwd");
  dlg->SaveSongAs();
  EXPECT_FALSE(fs::exists(g_programFolder / "mine.mwd"));
  EXPECT_EQ(dlg->SongPath().filename(), "mine.mwd");
  EXPECT_TRUE(fs::exists(dlg->SongPath()));
  ASSERT_FALSE(cantrel_test::Sink().Texts().empty());
  EXPECT_EQ(cantrel_test::Sink().Texts().back().rfind("プログラムフォルダには保存できません。", 0), 0u);
}

TEST_F(FilesTest, LoadingThroughTheArchiveTransposes) {
  Start();
  CSongData other;
  other.Reset(4, 4, 0, 1);
  other.cells[0].slot[0] = 60;
  const fs::path path = cantrel_test::TempDir() / "t.mwd";
  ASSERT_TRUE(other.SaveAs(4, 0, &path, 1));
  ASSERT_TRUE(dlg->LoadSong(path, 5));
  EXPECT_EQ(dlg->song->cells[0].slot[0] % 12, 7) << "transposition 5 moves by 7 semitones";
  EXPECT_EQ(dlg->keyList->currentIndex(), dlg->song->key_index);
  EXPECT_EQ(dlg->topRow, 0);
}

}  // namespace
