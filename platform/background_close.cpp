#include "platform/background_close.h"

#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace vantiro {
namespace {

class BackgroundCloser {
 public:
  ~BackgroundCloser() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  void close(int fd) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (waiting_.size() < kMostWaiting && start(lock)) {
        waiting_.push_back(fd);
        lock.unlock();
        wake_.notify_one();
        return;
      }
    }
    ::close(fd);
  }

 private:
  static constexpr std::size_t kMostWaiting = 64;

  // Starts the thread on first use; false when it cannot be started.
  bool start(std::unique_lock<std::mutex>&) {
    if (thread_.joinable()) return true;
    try {
      thread_ = std::thread([this] { work(); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
      if (waiting_.empty()) return;  // stopping, and nothing left
      const int fd = waiting_.front();
      waiting_.pop_front();
      lock.unlock();
      ::close(fd);
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<int> waiting_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace

void closeInBackground(int fd) {
  static BackgroundCloser closer;
  closer.close(fd);
}

}  // namespace vantiro
