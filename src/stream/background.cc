#include "stream/background.h"

#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

// Checks of a wait before it sleeps: some hundreds of microseconds, about
// what a chunk of the file takes to read or write.
constexpr int kSpins = 20000;

// Returns true iff `ready` holds within kSpins checks, taking a breath between them.
template <typename Ready>
bool spinFor(Ready ready) {
  for (int i = 0; i < kSpins; ++i) {
    if (ready()) return true;
#if defined(__x86_64__) || defined(_M_X64)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
  }
  return ready();
}

// Returns true iff `ready` holds, spinning first if `spinner` says so.
template <typename Ready>
bool spinUntil(Background::Spinner& spinner, Ready ready) {
  if (!spinner.shouldSpin()) return false;
  const bool ended = spinFor(ready);
  spinner.spun(ended);
  return ended;
}

}  // namespace

void Background::Lane::start(std::function<void()> task) {
  wait();
  last_ = background_.post(std::move(task));
}

Background::~Background() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  taskPosted_.notify_one();
  thread_.join();
}

uint64_t Background::post(std::function<void()> task) {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  bool wake = false;
  uint64_t number = 0;
  {
    std::unique_lock lock(mutex_);
    number = posted_.load() + 1;
    // The slot's last task has ended; with no more lanes than slots it always has.
    const auto slotFree = [&] { return number <= kSlots || done_.load() >= number - kSlots; };
    if (!slotFree()) {
      ++waiters_;
      taskDone_.wait(lock, slotFree);
      --waiters_;
    }
    slots_[number % kSlots] = std::move(task);
    posted_.store(number);
    wake = idle_;
  }
  if (wake) taskPosted_.notify_one();
  return number;
}

void Background::waitFor(uint64_t task) {
  const auto taskEnded = [&] { return ended(task); };
  if (taskEnded() || spinUntil(waitSpinner_, taskEnded)) return;
  std::unique_lock lock(mutex_);
  // Counted before done_ is looked at again, so that run() sees a sleeper.
  ++waiters_;
  taskDone_.wait(lock, taskEnded);
  --waiters_;
}

uint64_t Background::awaitWork(uint64_t done) {
  const auto ready = [&] { return posted_.load() != done || stopping_.load(); };
  if (!ready() && !spinUntil(workSpinner_, ready)) {
    std::unique_lock lock(mutex_);
    idle_ = true;
    taskPosted_.wait(lock, ready);
    idle_ = false;
  }
  return posted_.load();
}

void Background::run() {
  for (uint64_t done = 0;;) {
    const uint64_t posted = awaitWork(done);
    if (posted == done) return;  // stopping, with every task ended
    for (; done != posted; ++done) {
      slots_[(done + 1) % kSlots]();
      done_.store(done + 1);
      // Sequentially consistent with the waiter's count, so that one of the
      // two sees the other: no waiter sleeps through the end of its task.
      if (waiters_.load() != 0) {
        { std::lock_guard lock(mutex_); }
        taskDone_.notify_all();
      }
    }
  }
}
