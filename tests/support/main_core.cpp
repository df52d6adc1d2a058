#include <gtest/gtest.h>

namespace cantrel_test {
void InstallTestEnvironment();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  cantrel_test::InstallTestEnvironment();
  return RUN_ALL_TESTS();
}
