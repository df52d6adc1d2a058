#include "app/about_dialog.h"

#include "platform/core/folders.h"
#include "platform/qt/qt_text.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#ifndef CANTREL_VERSION
#define CANTREL_VERSION "0.1.0"
#endif

QString CAboutDlg::VersionText() {
  return QStringLiteral("Cantrel Version ") + QStringLiteral(CANTREL_VERSION);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("100"));
  setWindowTitle(plat::ToQString("Cantrelのバージョン情報"));
  auto* outer = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  auto* icon = new QLabel(this);
  const QIcon appIcon(QString::fromStdString((plat::ProgramFolder() / "cantrel.png").string()));
  icon->setPixmap(appIcon.pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);
  row->addWidget(icon);
  auto* text = new QVBoxLayout();
  auto* version = new QLabel(VersionText(), this);
  version->setObjectName(QStringLiteral("version"));
  QFont bold = version->font();
  bold.setBold(true);
  version->setFont(bold);
  text->addWidget(version);
  text->addWidget(new QLabel(plat::ToQString("コードが書けなくても、曲が作れる作曲ツール。"), this));
  text->addWidget(new QLabel(
      plat::ToQString("スタイルを選んで小節を作曲し、メロディと歌詞を入れて、再生や書き出しができます。"),
      this));
  row->addLayout(text);
  outer->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  outer->addWidget(buttons);
}
