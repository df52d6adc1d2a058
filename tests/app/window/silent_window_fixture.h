// A main window on a silent MIDI-out device, in a fresh user data folder: the start-up tests
// and the tests of the window's handlers.
#pragma once

#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "music/midi_out_device.h"
#include "platform/core/folders.h"
#include "platform/core/midi_devices.h"
#include "tests/app/window/window_test_util.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

class SilentWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMainGlobals();
    cantrel_test::Sink().Clear();
    folder = plat::UserDataFolder();
    // A machine without sound would say so at every start: the window plays on a silent device.
    silent.AddNullDevice("silent");
    plat::InstallMidiOutBackend(&silent);
  }
  void TearDown() override {
    dlg.reset();
    delete g_auditionDevice;
    g_auditionDevice = nullptr;
    plat::InstallMidiOutBackend(nullptr);
    ResetMainGlobals();
  }
  // The window shown and ready.
  void Start(const std::string& commandLine = std::string()) {
    dlg = std::make_unique<CBrevantDlg>(commandLine);
    dlg->show();
    window_test::PumpUntil([&]() { return dlg->isReady == 1; });
    ASSERT_EQ(dlg->isReady, 1);
  }

  std::filesystem::path folder;
  plat::TestMidiOutBackend silent;
  std::unique_ptr<CBrevantDlg> dlg;
};
