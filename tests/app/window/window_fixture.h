// A started main window on a 1280 x 1024 screen with a recording MIDI-out device, for the tests
// that drive its cells, commands and sound.
#pragma once

#include "app/compose_worker.h"
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "music/midi_out_device.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/midi_devices.h"
#include "platform/core/midi_input.h"
#include "platform/qt/app_message.h"
#include "platform/qt/keyboard_hook.h"
#include "song/song_data.h"
#include "tests/app/window/window_test_util.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QComboBox>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMainGlobals();
    SetScreenSizeOverride(1280, 1024);
    cantrel_test::Sink().Clear();
    recording = backend.AddRecordingDevice("rec");
    plat::InstallMidiOutBackend(&backend);
    plat::InstallMidiInBackend(&inputs);
    plat::InstallFileDialogs(&dialogs);
  }
  void TearDown() override {
    dlg.reset();
    delete g_auditionDevice;
    g_auditionDevice = nullptr;
    CKeyboardHook::Reset();
    plat::InstallFileDialogs(nullptr);
    plat::InstallMidiInBackend(nullptr);
    plat::InstallMidiOutBackend(nullptr);
    SetScreenSizeOverride(0, 0);
    ResetMainGlobals();
  }
  void Start() {
    dlg = std::make_unique<CBrevantDlg>();
    dlg->show();
    window_test::PumpUntil([&]() { return dlg->isReady == 1; });
    ASSERT_EQ(dlg->isReady, 1);
    cantrel_test::Sink().Clear();
  }
  static void Pump() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  // Whether the window has handed an arrangement to the worker (which keeps the window disabled
  // until its completion). A started worker is waited for, so that the next request may start;
  // its completion stays in the window's queue.
  bool ArrangementStarted() const {
    const bool started = ComposeWorkerRunning() && !dlg->isEnabled();
    if (started) FinishComposeWorker();
    return started;
  }
  // A fresh song of the shape, in C major (key row 0) unless told otherwise.
  void NewSong(int bars, int beats, int key = 0) {
    dlg->song->Reset(bars, beats, key, 1);
    const QSignalBlocker block(dlg->keyList);
    dlg->keyList->setCurrentIndex(key);
  }
  // Note-on and note-off messages sent to the recording device.
  std::vector<std::vector<uint8_t>> Notes() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& b : recording->Bytes()) {
      if (!b.empty() && (b[0] & 0xE0) == 0x80) out.push_back(b);
    }
    return out;
  }

  plat::TestMidiOutBackend backend;
  std::shared_ptr<plat::MidiRecording> recording;
  plat::TestMidiInBackend inputs;
  plat::ScriptedFileDialogs dialogs;
  std::unique_ptr<CBrevantDlg> dlg;
};
