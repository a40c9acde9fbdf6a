#include "rewrite/background.h"

Background::~Background() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !task_; });
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void Background::start(std::function<void()> task) {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !task_; });
    task_ = std::move(task);
  }
  // Told after the lock is let go, so that the thread does not wake only to wait for it.
  changed_.notify_all();
}

void Background::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !task_; });
}

void Background::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return task_ || stopping_; });
    if (!task_) return;
    lock.unlock();
    task_();
    lock.lock();
    task_ = nullptr;
    lock.unlock();
    changed_.notify_all();
    lock.lock();
  }
}
