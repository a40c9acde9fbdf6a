// How much of an input has been read, in whole percent, for a progress bar.
#ifndef TARVELIN_STREAM_PROGRESS_METER_H_
#define TARVELIN_STREAM_PROGRESS_METER_H_

#include <cstdint>
#include <functional>
#include <utility>

// Reports 0 first, then each whole percent of the input that a later count
// of bytes read reaches, rising, and 100 once all of it is read: at most 101
// reports, whatever the input's size. Counts are given once per run of lines,
// so the cost per byte is nil.
class ProgressMeter {
 public:
  // Called with the percent reached; it may print.
  using Report = std::function<void(int percent)>;

  // Reports 0 for an input of `size` bytes.
  ProgressMeter(uint64_t size, Report report) : size_(size), report_(std::move(report)) {
    report_(0);
  }

  // Counts from now on are of the reading `pass` (from 0) of `passes` that
  // the input is read in.
  void startPass(int pass, int passes) {
    pass_ = pass;
    passes_ = passes;
  }

  // Reports the percent that `bytesRead` bytes of the input make, iff it rose.
  void update(uint64_t bytesRead) {
    const double read = static_cast<double>(pass_) * static_cast<double>(size_) +
                        static_cast<double>(bytesRead < size_ ? bytesRead : size_);
    const double all = static_cast<double>(passes_) * static_cast<double>(size_);
    const int percent = read >= all ? 100 : static_cast<int>(read * 100 / all);
    if (percent <= percent_) return;
    percent_ = percent;
    report_(percent);
  }

 private:
  uint64_t size_;
  Report report_;
  int percent_ = 0;  // the last percent reported
  int pass_ = 0;
  int passes_ = 1;
};

#endif  // TARVELIN_STREAM_PROGRESS_METER_H_
