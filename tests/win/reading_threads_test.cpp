// Logs read on threads that come and go, as zorvant check reads them: under the 32-bit runtime a thread's
// thread_local storage is freed before its destructors run, so anything the reader kept per thread was
// freed from freed memory, and the heap broke a few threads later.
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "logs/cabrillo_log.h"

namespace {

TEST(ReadingThreadsTest, ThreadsThatReadCabrilloEndWithoutHarmToTheHeap) {
  // A frequency longer than a string keeps in itself, so that a field's text too is on the heap.
  const std::string log =
      "START-OF-LOG: 3.0\n"
      "QSO: 14025.000000000000000 CW 2026-03-14 1401 UA3XYZ 599 0001 OK2ZA 599 0002\n"
      "QSO: 14025.000000000000000 CW 2026-03-14 1402 UA3XYZ 599 0002 DL1ABC 599 0017\n"
      "END-OF-LOG:\n";
  int contacts = 0;
  for (int round = 0; round < 150; ++round) {
    std::vector<std::thread> threads;
    std::vector<int> read(4, 0);
    for (int k = 0; k < 4; ++k) {
      threads.emplace_back([&log, &read, k] {
        logs::LogReadResult result;
        logs::ParseCabrillo("UA3XYZ.log", log, &result);
        read[k] = static_cast<int>(result.contacts.size());
        // What a thread allocates last is what the freed storage is handed out for.
        std::vector<std::string> after(40, std::string(48, 'x'));
      });
    }
    for (std::thread& t : threads) t.join();
    for (int n : read) contacts += n;
  }
  EXPECT_EQ(contacts, 150 * 4 * 2);
}

}  // namespace
