// The About box: the program's name, version and a line about it, with its icon.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  // The version text shown ("Cantrel Version x.y.z").
  static QString VersionText();
};
