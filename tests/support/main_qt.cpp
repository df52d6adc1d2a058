#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

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
