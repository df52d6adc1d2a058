#include "dialogs/bar_edit_dialog.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/qt_text.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>

const BarEditOperation BarEditOperationTable[16] = {
    {0, "ｺﾋﾟｰ"},
    {1, "移動"},
    {2, "挿入"},
    {3, "削除(小節)"},
    {4, "削除(拍)"},
    {5, "削除(8分音符)"},
    {6, "歌詞クリア"},
    {7, "トランスポーズ"},
    {8, "音価を半分に"},
    {9, "音価を倍に"},
    {10, "6/8拍子を4/4拍子に"},
    {11, "4/4拍子を6/8拍子に"},
    {12, "自動でｺｰﾄﾞ作成"},
    {13, "自動でﾒﾛﾃﾞｨ作成"},
    {14, "自動でﾒﾛﾃﾞｨとｺｰﾄﾞ作成"},
    {15, "ﾒﾛﾃﾞｨとｺｰﾄ垂直反転"},
};

namespace {

CCopyDlg* g_instance = nullptr;

// The button row's top at display scales other than 100.
int ButtonTop(int scale) {
  if (scale >= 126 && scale <= 150) return 140;
  if (scale >= 151 && scale <= 175) return 160;
  if (scale >= 176 && scale <= 200) return 190;
  return 120;
}

void SetSpin(QSpinBox* box, int low, int high, int value) {
  const QSignalBlocker block(box);
  box->setRange(low, high);
  box->setValue(value);
}

}  // namespace

CCopyDlg* CCopyDlg::Instance() { return g_instance; }

CCopyDlg::CCopyDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("編集"));
  fromBox = MakeControl<QSpinBox>(1024);
  toBox = MakeControl<QSpinBox>(1026);
  targetBox = MakeControl<QSpinBox>(1028);
  fromLabel = MakeControl<QLabel>(1068);
  toLabel = MakeControl<QLabel>(1069);
  targetLabel = MakeControl<QLabel>(1030);
  tailLabel = MakeControl<QLabel>(1031);
  targetLabel->setText(plat::ToQString("小節目に"));
  tailLabel->setText(plat::ToQString("する。"));
  for (QLabel* l : {fromLabel, toLabel, targetLabel, tailLabel}) UseDialogColours(l);
  operationList = MakeControl<QComboBox>(1051);
  buttonHosts[0] = MakeControl<COffScreenControl>(1065);
  buttonHosts[1] = MakeControl<COffScreenControl>(1066);
  connect(operationList, qOverload<int>(&QComboBox::activated), this,
          [this] { OnOperationChanged(); });
  connect(fromBox, qOverload<int>(&QSpinBox::valueChanged), this, [this] { OnFromChanged(); });
}

CCopyDlg::~CCopyDlg() {
  buttons_.reset();
  if (g_instance == this) g_instance = nullptr;
}

bool CCopyDlg::OnInitDialog() {
  ready = 0;
  g_instance = this;
  targetBox->show();
  targetLabel->show();
  for (const BarEditOperation& op : BarEditOperationTable) {
    operationList->addItem(plat::ToQString(op.label), op.code);
  }
  operationList->setCurrentIndex(0);
  const int bars = 1024 / (beatsPerBar > 0 ? beatsPerBar : 4);
  SetSpin(targetBox, 1, bars, 1);
  PlaceControls({
      {1024, 10, 10, 70, 34},  {1068, 74, 13, 160, 31}, {1026, 160, 10, 220, 34},
      {1069, 224, 13, 320, 31}, {1028, 10, 50, 70, 74}, {1030, 74, 53, 140, 71},
      {1051, 140, 50, 270, 300}, {1031, 274, 53, 320, 71},
  });
  LayoutForOperation();

  const bool at100 = AtScale100();
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const int y = ButtonTop(scale);
  const plat::Rect ok = at100 ? plat::Rect{50, 95, 138, 125} : plat::Rect{60, y, 148, y + 30};
  const plat::Rect cancel =
      at100 ? plat::Rect{170, 95, 258, 125} : plat::Rect{190, y, 278, y + 30};
  auto press = [](int number) {
    if (CCopyDlg* d = Instance()) d->OnButton(number);
  };
  buttons_ = std::make_unique<CButtonPicture3>(press, [](int) {}, buttonHosts[0], ok,
                                               at100 ? "　入　力" : "　入 力", 168, 167, 0);
  buttons_->AddButton(buttonHosts[1], cancel, at100 ? "　取　消" : "　取 消", 168, 167, 1);
  CButtonPicture3::DrawAll();
  setFixedSize(330, (at100 ? 125 : y + 30) + 12);

  OnOperationChanged();
  ready = 1;
  return true;
}

void CCopyDlg::CopyPictures() {
  if (buttons_) CButtonPicture3::BlitAll();
}

void CCopyDlg::OnOperationChanged() {
  operation = operationList->currentData().toInt();
  const char* fromText = "小節目から";
  const char* toText = "小節目までを";
  bool targetShown = false;
  switch (operation) {
    case 0:
    case 1:
      targetShown = true;
      targetLabel->setText(plat::ToQString("小節目に"));
      break;
    case 7:
      targetShown = true;
      targetLabel->setText(plat::ToQString("の値で"));
      break;
    case 4:
      fromText = "小節目の";
      toText = "拍目を";
      break;
    case 5:
      fromText = "小節目の";
      toText = "つ目を";
      break;
    default: break;
  }
  fromLabel->setText(plat::ToQString(fromText));
  toLabel->setText(plat::ToQString(toText));
  targetLabel->setVisible(targetShown);
  LayoutForOperation();
}

void CCopyDlg::LayoutForOperation() {
  const int op = operation;
  if (op == 10 || op == 11) {
    for (QWidget* w : {static_cast<QWidget*>(fromBox), static_cast<QWidget*>(toBox),
                       static_cast<QWidget*>(fromLabel), static_cast<QWidget*>(toLabel),
                       static_cast<QWidget*>(targetBox)}) {
      w->hide();
    }
    targetLabel->hide();
    return;
  }
  for (QWidget* w : {static_cast<QWidget*>(fromBox), static_cast<QWidget*>(toBox),
                     static_cast<QWidget*>(fromLabel), static_cast<QWidget*>(toLabel)}) {
    w->show();
  }
  targetBox->setVisible(op == 0 || op == 1 || op == 7);
  const int bars = 1024 / (beatsPerBar > 0 ? beatsPerBar : 4);
  const int f = from, t = to;
  switch (op) {
    case 0: case 1: case 6: case 8: case 9: case 15:
      SetSpin(fromBox, 1, bars, f);
      SetSpin(toBox, 1, bars, t);
      SetSpin(targetBox, 1, bars, t + 1);
      break;
    case 2:
      SetSpin(fromBox, 1, bars, t + 1);
      SetSpin(toBox, 1, bars, t + 1);
      SetSpin(targetBox, 1, bars, t + 1);
      break;
    case 3:
      SetSpin(fromBox, 1, bars, f);
      SetSpin(toBox, 1, bars, t);
      break;
    case 4:
      SetSpin(fromBox, 1, bars, t + 1);
      SetSpin(toBox, 1, beatsPerBar, 1);
      break;
    case 5:
      SetSpin(fromBox, 1, bars, t + 1);
      SetSpin(toBox, 1, 2 * beatsPerBar, 1);
      break;
    case 7:
      SetSpin(fromBox, 1, bars, f);
      SetSpin(toBox, 1, bars, t);
      SetSpin(targetBox, -12, 12, 12);
      break;
    case 12: case 13: case 14:
      SetSpin(fromBox, 1, bars, t + 1);
      SetSpin(toBox, 1, bars, t + 1);
      SetSpin(targetBox, targetBox->minimum(), targetBox->maximum(), t + 1);
      break;
    default: break;
  }
}

void CCopyDlg::OnFromChanged() {
  if (!ready || operation == 4 || operation == 5) return;
  if (toBox->value() < fromBox->value()) toBox->setValue(fromBox->value());
}

void CCopyDlg::TakeValues() {
  operation = operationList->currentData().toInt();
  from = fromBox->value();
  to = toBox->value();
  // A last bar typed below the first covers the first bar alone.
  if (operation != 4 && operation != 5 && to < from) to = from;
  target = static_cast<int16_t>(targetBox->value());
  accept();
}

void CCopyDlg::OnButton(int index) {
  if (index == 0) {
    TakeValues();
  } else if (index == 1) {
    operation = -1;
    QDialog::reject();
  }
}

void CCopyDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    TakeValues();
    return;
  }
  CDialogSkeleton::keyPressEvent(event);
}

void CCopyDlg::reject() {
  operation = -1;
  QDialog::reject();
}
