// The Windows test binary. Besides running the tests it can play a short host session in a child process
// (see RunChild), for the tests that need a whole process to end.
#include <windows.h>

#include <cstring>

#include "gtest/gtest.h"
#include "tests/win/child.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kChildFlag, std::strlen(kChildFlag)) == 0) {
      return RunChild(argv[i] + std::strlen(kChildFlag));
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
