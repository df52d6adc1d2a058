// Shared fixture of the engine tests: a clean engine and a plain C-major style.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/engine_state.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/support/plain_engine.h"
#include "tests/support/test_support.h"
#include "util/program_errors.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StyleRecord& s = cantrel_test::ResetToPlainCMajorWithDatabases();
    s.key_offset = 0;
    s.metre = 0;
    s.song_bars = 8;
    for (PartRecord& p : s.parts) {
      p.range_low = 60;
      p.range_high = 84;
    }
    for (int& d : s.density) d = 100;
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    ResetEngineState();
    ResetStyleModule();
    ResetEngineServices();
  }

  // Number of error boxes shown for a program error code.
  static int ErrorCount(ProgramErrorCode code) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "OVXC%08X", code);
    int n = 0;
    for (const std::string& t : cantrel_test::Sink().Texts())
      if (t.compare(0, 12, prefix) == 0) ++n;
    return n;
  }
  static size_t BoxCount() { return cantrel_test::Sink().Count(); }
};
