// A thread of its own for slow system calls, so that the disk's copying
// overlaps the scanning. The reader and the writer share it: one thread
// beside the scanning one keeps both of two cores busy without a third
// taking turns with them.
#ifndef TARVELIN_STREAM_BACKGROUND_H_
#define TARVELIN_STREAM_BACKGROUND_H_

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Runs tasks one at a time, in the order they were started. Each user starts
// and waits for its tasks through a Lane of its own; all from one thread.
class Background {
 public:
  // One user's stream of tasks: each starts after the lane's last one ended.
  class Lane {
   public:
    explicit Lane(Background& background) : background_(background) {}
    // Waits for the lane's task at hand.
    ~Lane() { wait(); }
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;

    // Waits until the lane's task at hand has ended, then starts `task`.
    void start(std::function<void()> task);
    // Waits until the lane's task at hand has ended; what it did is then visible.
    void wait() { background_.waitFor(last_); }

   private:
    Background& background_;
    uint64_t last_ = 0;  // the number of the lane's latest task, 0 for none
  };

  // Decides whether a thread's waits spin a little before they sleep. With
  // the thread waited for running on another processor, waking a sleeping
  // thread costs more than a short wait, above all in a virtual machine; but
  // a spin the wait outlasts costs a processor, and where the two threads
  // share one (a process confined to one, a busy machine) it holds up the
  // very thread waited for. So a wait the spin covered earns a credit, one
  // that outlasted it costs two, and with none left only every 64th wait
  // tries again. Used by one thread.
  class Spinner {
   public:
    explicit Spinner(bool spinAtFirst) : credit_(spinAtFirst ? 4 : 0) {}
    // Returns true iff the wait at hand should spin before it sleeps.
    bool shouldSpin() { return credit_ > 0 || ++sinceSpin_ % 64 == 0; }
    // Records whether the spin saw the wait end.
    void spun(bool ended) { credit_ = ended ? std::min(credit_ + 1, 8) : std::max(credit_ - 2, 0); }

   private:
    int credit_;
    unsigned sinceSpin_ = 0;  // waits that did not spin
  };

  // The thread starts with the first task, so that a run that needs none costs none.
  Background() = default;
  // Waits for every task started, then ends the thread.
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

 private:
  // Lanes at most, each with one task at a time.
  static constexpr uint64_t kSlots = 4;
  static inline const bool kManyProcessors = std::thread::hardware_concurrency() > 1;

  // True iff task number `task` and all before it have ended.
  bool ended(uint64_t task) const { return done_.load() >= task; }
  // Queues `task`; returns its number.
  uint64_t post(std::function<void()> task);
  // Returns once task number `task` has ended.
  void waitFor(uint64_t task);
  // Returns the count of tasks posted once it exceeds `done`, or `done` when stopping.
  uint64_t awaitWork(uint64_t done);
  void run();

  Spinner waitSpinner_{kManyProcessors};  // used by the lanes' thread
  Spinner workSpinner_{kManyProcessors};  // used by this background thread
  std::function<void()> slots_[kSlots];
  std::atomic<uint64_t> posted_{0};  // tasks queued
  std::atomic<uint64_t> done_{0};    // tasks ended, in order
  std::atomic<int> waiters_{0};      // lanes asleep until a task ends
  std::atomic<bool> stopping_{false};
  bool idle_ = false;  // the thread sleeps until a task is queued; under mutex_
  std::mutex mutex_;
  std::condition_variable taskPosted_;
  std::condition_variable taskDone_;
  std::thread thread_;  // last, so that it starts after everything it uses
};

#endif  // TARVELIN_STREAM_BACKGROUND_H_
