// The Qt file dialogs behind the general library's dialog interface.
#include "platform/core/files.h"
#include "platform/qt/qt_file_dialogs.h"
#include "platform/qt/qt_text.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

TEST(QtFileDialogsTest, FiltersFollowTheFilterText) {
  EXPECT_EQ(plat::NameFiltersFor("midi files|*.mid|abc files|*.abc|"),
            (QStringList{"midi files (*.mid)", "abc files (*.abc)"}));
  EXPECT_EQ(plat::NameFiltersFor("曲|*.mwd;*.dat|"),
            QStringList{QString::fromUtf8("\xE6\x9B\xB2 (*.mwd *.dat)")});
  EXPECT_TRUE(plat::NameFiltersFor("").isEmpty());
}

// The program speaks Japanese whatever the system's language, and so do Qt's own dialogs.
TEST(QtFileDialogsTest, QtsOwnTextsAreJapanese) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  CANTREL_NEED(QFile::exists(folder + "/qtbase_ja.qm"),
               "Qt's Japanese translations (qt6-translations-l10n)");
  ASSERT_TRUE(plat::InstallJapaneseQtTexts());
  EXPECT_TRUE(plat::InstallJapaneseQtTexts()) << "a second call keeps the one translator";
  const QString lookIn = QCoreApplication::translate("QFileDialog", "Look in:");
  EXPECT_NE(lookIn, QStringLiteral("Look in:"));
  EXPECT_FALSE(lookIn.isEmpty());
}

TEST(QtFileDialogsTest, ConfiguresOpenAndSave) {
  plat::FileDialogRequest open;
  open.kind = plat::FileDialogRequest::Kind::Open;
  open.default_extension = "mid";
  open.filter = "midi files|*.mid|abc files|*.abc|";
  open.filter_index = 2;
  open.initial_folder = cantrel_test::TempDir();
  QFileDialog d;
  plat::ConfigureFileDialog(d, open);
  EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(d.defaultSuffix(), "mid");
  EXPECT_EQ(d.selectedNameFilter(), "abc files (*.abc)");
  EXPECT_EQ(d.directory().absolutePath().toStdString(), cantrel_test::TempDir().string());

  plat::FileDialogRequest save;
  save.kind = plat::FileDialogRequest::Kind::Save;
  save.confirm_overwrite = true;
  save.filter = "cantrel files|*.mwd|";
  QFileDialog s;
  plat::ConfigureFileDialog(s, save);
  EXPECT_EQ(s.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(s.testOption(QFileDialog::DontConfirmOverwrite));
}

// Accepts the next file dialog that opens, choosing `name` in it.
void AcceptNextDialog(const QString& name) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, name]() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* d = qobject_cast<QFileDialog*>(w);
      if (d && d->isVisible()) {
        d->selectFile(name);
        QMetaObject::invokeMethod(d, "accept");
        poll->stop();
        poll->deleteLater();
        return;
      }
    }
  });
  poll->start(1);
}

TEST(QtFileDialogsTest, AWorkersDialogRunsOnTheUiThread) {
  const auto dir = cantrel_test::TempDir();
  ASSERT_TRUE(plat::WriteFileAtomic(dir / "song.mwd", std::string("x")));
  plat::QtFileDialogs dialogs;
  plat::FileDialogRequest req;
  req.kind = plat::FileDialogRequest::Kind::Open;
  req.filter = "cantrel files|*.mwd|";
  req.initial_folder = dir;
  std::atomic<bool> done{false};
  plat::FileDialogResult result;
  std::thread worker([&]() {
    result = dialogs.RunFileDialog(req);
    done = true;
  });
  AcceptNextDialog(QString::fromStdString((dir / "song.mwd").string()));
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  ASSERT_TRUE(result.chosen);
  EXPECT_EQ(result.path, dir / "song.mwd");
  EXPECT_EQ(result.filter_index, 1);
}

}  // namespace
