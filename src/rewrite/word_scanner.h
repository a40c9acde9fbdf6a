// The word-by-word reading of a program: follows the modal state and where
// the tool is, line by line, and applies the approach rule. A deep approach
// is made only onto a point where the same tool has already been fed at
// least that deep, and an approach only ever takes the tool down; wherever
// the reader is unsure of what the machine does, it assumes nothing.
#ifndef TARVELIN_REWRITE_WORD_SCANNER_H_
#define TARVELIN_REWRITE_WORD_SCANNER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rewrite/approach_rule.h"
#include "rewrite/block_reader.h"
#include "rewrite/fed_points.h"
#include "rewrite/savings.h"

// Calls visit(offset, line) for each line of `text` in order, its line feed
// included; the last may have none.
template <typename Visit>
void forEachLine(std::string_view text, Visit&& visit) {
  for (size_t from = 0; from < text.size();) {
    const size_t lineFeed = text.find('\n', from);
    const size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed + 1;
    visit(from, text.substr(from, end - from));
    from = end;
  }
}

// What only the whole of a program tells, read through once before it is
// rewritten: a word near its end can change what a line near its start does.
class Outlook {
 public:
  // The worst a program could be, taken for one that cannot be read ahead.
  static Outlook worst() { return {true, true}; }
  Outlook() = default;

  // Reads the program's next stretch, as WordScanner::scanRun() does.
  void read(std::string_view text);
  // Returns true iff `line`, the program's next, is too long to hold or a
  // piece of such a line: it is not read, and may hold anything.
  bool takePiece(std::string_view line);
  // Notes what the block of the program's next line shows.
  void note(const Block& block) {
    jumps_ = jumps_ || block.mayJump;
    returns_ = returns_ || block.returns;
  }
  // True iff the next line continues one too long to hold.
  bool midLine() const { return midLine_; }

  // True iff it may jump or call: a line with a block number may be reached
  // from anywhere, from later in the program or from a subprogram.
  bool jumps() const { return jumps_; }
  // True iff it returns (M99): it runs as a subprogram, or again from its
  // start, in modes set elsewhere.
  bool returns() const { return returns_; }
  // True iff it shows nothing that `assumed` does not: a program scanned in
  // the belief of `assumed` was then scanned as the whole of it requires.
  bool within(const Outlook& assumed) const {
    return (!jumps_ || assumed.jumps_) && (!returns_ || assumed.returns_);
  }
  // Returns what it and `other` show together, of a program read from its start.
  Outlook with(const Outlook& other) const {
    return {jumps_ || other.jumps_, returns_ || other.returns_};
  }

 private:
  Outlook(bool jumps, bool returns) : jumps_(jumps), returns_(returns) {}

  bool jumps_ = false;
  bool returns_ = false;
  bool midLine_ = false;  // the next stretch continues an over-long line
};

// What the scanner tells of a line besides its approach: why it assumes
// nothing from that line on, and why the line's plunge gets no approach, or
// one only to the first height.
struct LineNote {
  uint64_t line = 0;          // the line's number, counted from 1 as an editor counts
  Doubt doubt = Doubt::none;  // why nothing is assumed from this line on, if anything is not
  // Where the word doubted stands in the line; a length of 0 for the line as
  // a whole (one too long to read, a block number that a jump may reach, a
  // program number after the program's start).
  WordSpan doubted;
  PlungeReason plunge = PlungeReason::none;
  // For stockTopAbove: the line that first fed sideways above the first
  // height, or at a height not known.
  uint64_t stockTopShownOn = 0;
};

class WordScanner {
 public:
  // The longest line read as words: a longer one comes in pieces, which may
  // hold anything. The text reader hands lines out whole up to this length.
  static constexpr size_t kLongestLine = size_t{1} << 20;

  // A scanner for a program of the `outlook` given; by default one that never
  // jumps or returns, as most programs are.
  explicit WordScanner(const Heights& heights = {}, const Outlook& outlook = {});

  // Scans the lines of `text`, the program's next stretch, in order, and
  // calls onApproach(offset, approachLine) for each approach line, in order,
  // with the offset where the line it goes in front of starts (an approach
  // below the first height from above it takes two lines), and onNote(offset,
  // line, note) for each line with something to tell (LineNote). A stretch
  // normally ends with a line end; one that does not (a piece of an
  // over-long line) is continued by the next.
  template <typename OnApproach, typename OnNote>
  void scanRun(std::string_view text, OnApproach&& onApproach, OnNote&& onNote) {
    forEachLine(text, [&](size_t at, std::string_view line) {
      if (scanLine(line)) {
        for (int i = 0; i < approachSteps_; ++i) onApproach(at, approachLines_[i]);
      }
      if (note_.doubt != Doubt::none || note_.plunge != PlungeReason::none) onNote(at, line, note_);
    });
  }
  // Scans as above, telling only of the approaches.
  template <typename OnApproach>
  void scanRun(std::string_view text, OnApproach&& onApproach) {
    scanRun(text, onApproach, [](size_t, std::string_view, const LineNote&) {});
  }

  // Returns what the approaches so far save.
  const Savings& savings() const { return savings_; }

  // Returns what the lines scanned so far show of the program; read on, it
  // tells what the whole program shows.
  const Outlook& shown() const { return shown_; }
  // True iff the lines scanned so far fit the outlook the scanner was made
  // for. Once they do not (a jump or a return where none was expected), an
  // approach before may rest on what the program does not promise: the
  // program is to be scanned again from its start, for what it shows.
  bool outlookHolds() const { return shown_.within(assumed_); }

 private:
  // Radius compensation: off; on; unknown, as good as on, after a line not
  // understood; or ending, after G40 and before the move that leads the tool
  // back onto its programmed path.
  enum class Compensation { off, on, unknown, ending };
  // Where the tool is, in millionths, as far as it is known.
  struct Place {
    int64_t x = 0, y = 0, z = 0;
    bool xKnown = false, yKnown = false, zKnown = false;
    bool zWithoutPoint = false;  // Z comes from a number without a decimal point
  };

  // Reads and follows one line, or a piece of an over-long one; returns true
  // iff it gets an approach, held in approachLines_.
  bool scanLine(std::string_view line);
  // Follows the block of a line; returns true iff it gets an approach.
  bool follow(const Block& block);
  // Applies what a block does to the modal state, the tool and the points fed.
  void applyModes(const Block& block);
  // Takes the feed mode and the units a block sets: the F in force is no rate
  // after a feed mode word or in other units.
  void changeFeed(const Block& block);
  // Follows the move of a block; returns true iff it is a plunge that gets an
  // approach, which `keepsModes` allows when the block changed no mode the
  // approach would run in.
  bool move(const Block& block, bool afterApproach, bool keepsModes);
  // Decides the approach of a plunge to `depth` from the place `from`; true
  // iff it gets one, which `barred` (a reason) may forbid though the depths
  // follow the plunge all the same.
  bool plunge(double depth, PlungeReason barred, const Place& from);
  // Returns none iff this tool has been fed to `depth` or deeper at the X Y
  // of `at`, else why it is not known to have been.
  PlungeReason fedThere(const Place& at, double depth);
  // Notes that nothing is assumed from this line on, for `doubt`, because of
  // the word at `doubted`.
  void noteDoubt(Doubt doubt, WordSpan doubted) {
    note_.doubt = doubt;
    note_.doubted = doubted;
  }
  // Notes a feed that may go sideways and ends at `z`, or at a height not
  // known: the stock's top is at least as high.
  void showStockTop(bool known, int64_t z);
  // Notes the move of `block`, which is not followed, as a feed that may go
  // sideways: at the tool's height where it names no Z or W, else at any.
  void showStockTopOfUnfollowed(const Block& block);
  // Takes the change of units to `units`, in which the height fed sideways
  // to may stand higher than the first height.
  void changeUnits(Units units);
  // Adds what the approach to `height` from the place `from` saves.
  void save(double height, const Place& from);
  // Forgets where the tool is.
  void losePosition() { tool_.xKnown = tool_.yKnown = tool_.zKnown = false; }
  // Follows the rotary axes the block names, or sends home.
  void turnAxes(const Block& block);
  // After a line the reader does not understand, assumes nothing.
  void beUnsure();

  Outlook assumed_;  // what the scanner was told of the whole program
  Outlook shown_;    // what the lines scanned so far show
  Heights heights_;  // rounded up to millionths
  ApproachRule rule_;
  ApproachText approachText_;
  std::string firstLine_;  // the approach line to the first height
  // The lines of the latest approach: one, or two where it goes below the
  // first height from above it, so that the tool goes below the first height
  // only straight down over the plunge, however the controller blends moves.
  std::string_view approachLines_[2];
  int approachSteps_ = 0;
  FedPoints fed_;
  Motion motion_ = Motion::none;
  int distance_ = 0;                         // 0 absolute (G90), 1 incremental (G91), -1 unknown
  FeedMode feedMode_ = FeedMode::perMinute;  // none where it is not known
  int64_t feedRate_ = 0;       // F in force per minute, in millionths; 0 where it is not known
  Units units_ = Units::none;  // none where the program has not named them
  Compensation compensation_ = Compensation::off;  // where it is not off, the tool is not at X Y
  Place tool_;
  int64_t firstHeight_;  // in millionths
  // The line on which the program first fed sideways above the first height,
  // or at a height not known, or 0: once it has, the stock's top may be above
  // it, and no approach goes to it.
  uint64_t fedAboveFirstOn_ = 0;
  // The highest Z, in millionths, to which the program has fed sideways at a
  // height known, or -kFarthest; and its units, none where it may be either.
  int64_t sidewaysTop_ = -kFarthest;
  Units sidewaysTopUnits_ = Units::none;
  uint32_t rotaryNamed_ = 0;      // the rotary axes (A B C, as letter bits) the program has named
  uint32_t tilted_ = 0;           // of them, those that may stand off 0: no point is learned
  bool retractWatch_ = false;     // an approach was just inserted: watch the next line
  bool started_ = false;          // a line with words was read
  bool mayJump_ = false;          // the program may jump: a block number may be landed on
  bool callsAfterMoves_ = false;  // G66 or MCALL: a macro runs after each move
  Savings savings_;
  LineNote note_;  // of the line scanned last
};

#endif  // TARVELIN_REWRITE_WORD_SCANNER_H_
