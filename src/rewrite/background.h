// A thread of its own for slow system calls, so that the disk's copying
// overlaps the scanning: one task at a time, each started after the last ended.
#ifndef TARVELIN_REWRITE_BACKGROUND_H_
#define TARVELIN_REWRITE_BACKGROUND_H_

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class Background {
 public:
  // The thread starts with the first task, so that a run that needs none costs none.
  Background() = default;
  // Waits for the task at hand, then ends the thread.
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  // Waits until the task at hand has ended, then starts `task`.
  void start(std::function<void()> task);
  // Waits until the task at hand has ended; what it did is then visible.
  void wait();

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;  // empty when idle
  bool stopping_ = false;
  std::thread thread_;  // last, so that it starts after everything it uses
};

#endif  // TARVELIN_REWRITE_BACKGROUND_H_
