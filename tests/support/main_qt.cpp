#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Qt and fontconfig keep caches for the life of the process, which the leak check would list
// at exit (and its end-of-run stop of every thread can fail under the printing system's threads):
// the widget tests run without it.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace cantrel_test {
void InstallTestEnvironment();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Widgets tests run on Qt's offscreen platform unless told otherwise.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  cantrel_test::InstallTestEnvironment();
  return RUN_ALL_TESTS();
}
