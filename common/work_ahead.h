#pragma once
// WorkAhead: items prepared on worker threads ahead of the thread that uses
// them, handed over in the order they were queued. A run uses it to read and
// compress (or search) later pages while it writes the current one.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace vantiro {

// Every thread, the calling one included while the item it takes next is not
// ready, prepares the earliest item no thread has begun: the item wanted next
// never waits behind later ones, and no thread idles while an item is left.
// The workers start with the first item queued and end with the object, after
// finishing the item each has begun. With no worker threads every item is
// prepared by take(), on the calling thread. `prepare` must not throw.
template <typename Input, typename Output>
class WorkAhead {
 public:
  using Prepare = std::function<Output(const Input&)>;

  WorkAhead(std::size_t threads, Prepare prepare) : threadCount_(threads), prepare_(std::move(prepare)) {}
  WorkAhead(const WorkAhead&) = delete;
  WorkAhead& operator=(const WorkAhead&) = delete;
  ~WorkAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // Queues the next item.
  void start(Input input) {
    if (!started_) {
      started_ = true;
      try {
        for (std::size_t t = 0; t < threadCount_; ++t) threads_.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        // Fewer workers, or none: the calling thread prepares what is left.
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_.push_back(Slot{std::move(input), State::Queued, {}});
    }
    queued_.notify_one();
  }

  // Items queued and not yet taken. Calling thread only, as are the next two.
  std::size_t size() const { return slots_.size(); }
  // The input of the item `index` places after the first one not yet taken.
  const Input& input(std::size_t index) const { return slots_[index].input; }

  // Hands over the first item not yet taken once it is ready. Rather than
  // wait, the calling thread prepares items no worker has begun, the first
  // one before any other.
  Output take() {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& first = slots_.front();
    while (first.state != State::Done) {
      if (Slot* slot = firstQueued())
        prepare(*slot, lock);
      else
        ready_.wait(lock);
    }
    Output output = std::move(first.output);
    slots_.pop_front();
    return output;
  }

 private:
  enum class State { Queued, Working, Done };
  // Elements of a deque stay where they are while others are added at the
  // back or removed at the front, so a thread may hold on to its slot.
  struct Slot {
    Input input;  // fixed once queued
    State state;
    Output output;
  };

  // The first item no thread has begun, if any; with the lock held.
  Slot* firstQueued() {
    for (Slot& slot : slots_)
      if (slot.state == State::Queued) return &slot;
    return nullptr;
  }

  // Prepares a queued item, unlocking meanwhile.
  void prepare(Slot& slot, std::unique_lock<std::mutex>& lock) {
    slot.state = State::Working;
    lock.unlock();
    Output output = prepare_(slot.input);
    lock.lock();
    slot.output = std::move(output);
    slot.state = State::Done;
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      Slot* slot = nullptr;
      queued_.wait(lock, [this, &slot] { return stop_ || (slot = firstQueued()) != nullptr; });
      if (stop_) return;
      prepare(*slot, lock);
      ready_.notify_one();
    }
  }

  const std::size_t threadCount_;
  const Prepare prepare_;
  std::mutex mutex_;
  std::condition_variable queued_;  // an item was queued, or the object ends
  std::condition_variable ready_;   // an item is ready
  std::deque<Slot> slots_;          // items in order
  bool stop_ = false;
  bool started_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vantiro
