#include "dialogs/import_dialogs.h"

#include "dialogs/dialog_text.h"
#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "music/midi0_data.h"
#include "music/midi_player.h"
#include "music/play_thread.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_text.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <cstdio>
#include <cstring>

namespace {

CMelodyChannelDlg* g_melodyChannelDlg = nullptr;

const char* const kPreviewCaption = "　試　聴";
const char* const kStopCaption = "　停　止";

}  // namespace

// ----------------------------------------------------------------------------- CMelodyChannelDlg

CMelodyChannelDlg::CMelodyChannelDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(QStringLiteral("Melody Channel"));
  label = MakeControl<QLabel>(1184);
  channelList = MakeControl<QComboBox>(1082);
  hosts[0] = MakeControl<COffScreenControl>(1065);
  hosts[1] = MakeControl<COffScreenControl>(1066);
}

CMelodyChannelDlg::~CMelodyChannelDlg() {
  StopPreview();
  buttons_.reset();
  if (g_melodyChannelDlg == this) g_melodyChannelDlg = nullptr;
}

CMelodyChannelDlg* CMelodyChannelDlg::Instance() { return g_melodyChannelDlg; }

void CMelodyChannelDlg::SetSong(const Midi0Data* song, int channel, const ConfigData* config) {
  song_ = song;
  channel_ = channel;
  config_ = config;
}

bool CMelodyChannelDlg::OnInitDialog() {
  g_melodyChannelDlg = this;
  previewing_ = false;
  label->setText(plat::ToQString("チャネル"));
  UseDialogColours(label);
  label->setGeometry(10, 14, 60, 22);
  PlaceControls({{1082, 75, 14, 181, 300}});
  buttons_ = std::make_unique<CButtonPicture2>(
      [](int index) {
        if (CMelodyChannelDlg* d = Instance()) d->OnButton(index);
      },
      [](int) {}, hosts[0], plat::Rect{5, 50, 93, 80}, "　読　込", 168, 167, 0);
  buttons_->AddButton(hosts[1], plat::Rect{93, 50, 181, 80}, kPreviewCaption, 168, 167, 1);
  hosts[0]->SetId(0);
  hosts[1]->SetId(1);
  CButtonPicture2::DrawAll();
  for (int c = 1; c <= 16; ++c) channelList->addItem(QString::number(c));
  channelList->setCurrentIndex(0);
  resize(186, 88);
  return true;
}

void CMelodyChannelDlg::OnButton(int index) {
  if (ClosePending()) return;
  if (index == 0) {
    StopPreview();
    channel_ = channelList->currentIndex();
    CloseAfterButton(QDialog::Accepted);
  } else if (index == 1) {
    TogglePreview();
  }
}

void CMelodyChannelDlg::StopPreview() {
  if (!previewing_) return;
  previewing_ = false;
  ++generation_;  // the end of the stopped preview changes nothing any more
  if (copy_) copy_->StopPlay();
  copy_.reset();
  CButtonPicture2::SetCaption(1, kPreviewCaption);
}

void CMelodyChannelDlg::TogglePreview() {
  if (previewing_) {
    StopPreview();
    return;
  }
  if (!song_) return;
  previewing_ = true;
  copy_ = std::make_unique<Midi0Data>(*song_);
  copy_->KeepOnlyChannel(channelList->currentIndex());
  if (config_) PlayerSettings().reporting_device_id = config_->midiOutDevice;
  QPointer<CMelodyChannelDlg> self(this);
  const uintptr_t generation = ++generation_;
  const int started = copy_->PlayWithCallback(
      [self, generation] {
        // The player's thread tells the dialog, which acts on its own thread.
        if (self) plat::PostAppMessage(self.data(), kMsgPreviewEnd, generation);
      },
      nullptr, 1, 0);
  if (started != 1) {
    previewing_ = false;
    copy_.reset();
    return;
  }
  CButtonPicture2::SetCaption(1, kStopCaption);
}

void CMelodyChannelDlg::OnPreviewEnd() {
  previewing_ = false;
  CButtonPicture2::SetCaption(1, kPreviewCaption);
}

void CMelodyChannelDlg::WindowProc(uint32_t message, uintptr_t wparam, intptr_t) {
  if (message == kMsgPreviewEnd && wparam == generation_ && previewing_) OnPreviewEnd();
}

void CMelodyChannelDlg::done(int result) {
  // Whatever way it closes, a preview does not play on after the dialog.
  StopPreview();
  CModalDialog::done(result);
}

void CMelodyChannelDlg::CopyPictures() { CButtonPicture2::BlitAll(); }

// ------------------------------------------------------------------------------- CAbcNotationDlg

namespace {
const char* const kTooLong = "ABCテキストが長すぎます。";
const char* const kUnstorable = "ABCテキストに使えない文字があります。";
}  // namespace

CAbcNotationDlg::CAbcNotationDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(QStringLiteral("ABC Notation"));
  textBox = MakeControl<QPlainTextEdit>(1189);
  submit = MakeControl<QPushButton>(1190);
  discard = MakeControl<QPushButton>(1191);
  submit->setText(plat::ToQString("投入"));
  discard->setText(plat::ToQString("破棄"));
  // Enter is a line break of the text, never a button.
  submit->setAutoDefault(false);
  discard->setAutoDefault(false);
  connect(submit, &QPushButton::clicked, this, [this] { OnSubmit(); });
  connect(discard, &QPushButton::clicked, this, [this] { OnDiscard(); });
}

void CAbcNotationDlg::SetBuffer(char* buffer, size_t size) {
  buffer_ = buffer;
  size_ = size;
}

bool CAbcNotationDlg::OnInitDialog() {
  textBox->setGeometry(8, 8, 484, 320);
  submit->setGeometry(316, 336, 84, 26);
  discard->setGeometry(408, 336, 84, 26);
  resize(500, 370);
  textCame_ = false;
  length_ = 0;
  return true;
}

void CAbcNotationDlg::OnSubmit() {
  std::string text;
  if (!dialog_text::ToCp932(textBox->toPlainText(), &text)) {
    ShowMessage(kUnstorable);
    return;
  }
  text = dialog_text::ToCrLf(text);
  if (!buffer_ || size_ == 0 || text.size() > size_ - 1) {
    ShowMessage(kTooLong);
    return;
  }
  std::memcpy(buffer_, text.data(), text.size());
  buffer_[text.size()] = '\0';
  length_ = text.size();
  textCame_ = !text.empty();
  done(QDialog::Accepted);
}

void CAbcNotationDlg::OnDiscard() { done(QDialog::Accepted); }
