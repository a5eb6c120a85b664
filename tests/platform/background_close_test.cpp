#include "platform/background_close.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace vantiro {
namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// Every descriptor handed over is closed, whether it waits for the closing
// thread or the queue is full and it is closed at once.
TEST(BackgroundClose, EveryDescriptorGetsClosed) {
  std::vector<int> fds;
  for (int k = 0; k < 200; ++k) {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    fds.push_back(fd);
  }
  for (int fd : fds) closeInBackground(fd);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int fd : fds) {
    while (isOpen(fd) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // A number may be reused by a later open of this test only, and there is none.
    EXPECT_FALSE(isOpen(fd)) << fd;
  }
}

}  // namespace
}  // namespace vantiro
