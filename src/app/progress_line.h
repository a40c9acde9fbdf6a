// The line that shows on a terminal how far the rewrite of a long file has
// come: nothing for the file's first second, then the percent read, each
// overwriting the one before, and nothing left of it once the file is done.
#ifndef TARVELIN_APP_PROGRESS_LINE_H_
#define TARVELIN_APP_PROGRESS_LINE_H_

#include <string_view>

class ProgressLine {
 public:
  using Clock = double (*)();                     // seconds since some fixed time
  using Print = void (*)(std::string_view text);  // writes at once, on the terminal

  // A line for a file whose rewrite starts now.
  ProgressLine(Clock clock, Print print) : clock_(clock), print_(print), start_(clock()) {}

  // Shows `percent` in place of what the line showed, once the file has
  // taken a second.
  void show(int percent);
  // Blanks the line, if it showed anything, and leaves the cursor at its start.
  void clear();

 private:
  Clock clock_;
  Print print_;
  double start_;
  bool shown_ = false;
};

#endif  // TARVELIN_APP_PROGRESS_LINE_H_
