// The word-by-word reader: reads each line as G-code words in any common style
// ("G1 Z-1.5 F300", "g1z-.5", "G0X10Y5"), follows the modal state and where the
// tool is, and applies the approach rule. A deep approach is made only onto a
// point where the same tool has already been fed at least that deep; wherever
// the reader is unsure of what the machine does, it assumes nothing.
#ifndef TARVELIN_REWRITE_WORD_SCANNER_H_
#define TARVELIN_REWRITE_WORD_SCANNER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "rewrite/approach_rule.h"
#include "rewrite/background.h"
#include "rewrite/byte_search.h"

// The end points of the latest feed moves, kSize of them, each with the Z
// fed to there. Found through a table of slots, in which each slot leads to
// the latest point that falls in it, and each point to the one before it in
// its slot. Bounded: forgetting a point only costs a deep approach.
class FedPoints {
 public:
  FedPoints();
  // Records that the tool was fed to `z` at (`x`, `y`), all in millionths.
  void add(int64_t x, int64_t y, int64_t z) {
    int32_t qx = 0;
    int32_t qy = 0;
    if (!tenThousandths(x, &qx) || !tenThousandths(y, &qy)) return;
    if (count_ == UINT32_MAX) startAfresh();
    const uint32_t slot = slotFor(qx, qy);
    const size_t at = count_ & (kSize - 1);
    points_[at] = Point{qx, qy, z};
    before_[at] = slots_[slot];
    slots_[slot] = ++count_;
  }
  // True iff the tool was fed to `depth` or deeper at (`x`, `y`), to 0.0001,
  // in one of the points kept, among the latest kLooks of its slot.
  bool reached(int64_t x, int64_t y, double depth) const;
  // Forgets every point.
  void forget() { kept_ = count_; }

 private:
  // A point in ten-thousandths, and its Z in millionths.
  struct Point {
    int32_t x;
    int32_t y;
    int64_t z;
  };
  static constexpr size_t kSize = size_t{1} << 16;
  static constexpr size_t kSlots = size_t{1} << 16;
  // The most points of one slot looked at: those of a point fed to again and
  // again come first, the latest first.
  static constexpr int kLooks = 8;

  // Stores a place in millionths rounded to ten-thousandths in `*out`: the
  // points it tells apart are at least 0.00005 apart, and those closer than
  // that match. False for a place too far out to be kept, which is then
  // never reached.
  static bool tenThousandths(int64_t millionths, int32_t* out) {
    const int64_t rounded = (millionths < 0 ? millionths - 50 : millionths + 50) / 100;
    if (rounded < INT32_MIN || rounded > INT32_MAX) return false;
    *out = static_cast<int32_t>(rounded);
    return true;
  }
  // Returns the slot for the point at (`x`, `y`) in ten-thousandths.
  static uint32_t slotFor(int32_t x, int32_t y) {
    const uint64_t key =
        static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32 | static_cast<uint32_t>(y);
    return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15u) >> 48) & (kSlots - 1);
  }
  // Empties the slots and starts counting afresh, before the count runs out.
  void startAfresh();

  // Points are numbered from 1 in the order they came, and kept at their
  // number's place in points_ until kSize later ones replace them.
  std::unique_ptr<Point[]> points_;
  std::unique_ptr<uint32_t[]> before_;  // the number of the point before each, in its slot
  std::unique_ptr<uint32_t[]> slots_;   // the number of each slot's latest point, 0 for none
  uint32_t count_ = 0;                  // the number of the latest point
  uint32_t kept_ = 0;                   // points up to this number are forgotten
};

class WordScanner {
 public:
  // With a `helper`, the thread beside this one, long stretches are read on
  // both: the helper reads the words of the lines at the end of a stretch
  // while this thread reads and follows those before them. `helperStarted`,
  // if given, is called for each stretch once the helper's task, if any, is
  // queued: a task queued then runs after it.
  explicit WordScanner(const Heights& heights = {}, Background* helper = nullptr,
                       std::function<void()> helperStarted = {});
  ~WordScanner();
  WordScanner(const WordScanner&) = delete;
  WordScanner& operator=(const WordScanner&) = delete;

  // Scans the lines of `text`, the program's next stretch, in order, and
  // calls onApproach(offset, approachLine) for each line that gets an
  // approach, with the offset where that line starts. A stretch normally ends
  // with a line end; one that does not (a piece of an over-long line) is
  // continued by the next.
  template <typename OnApproach>
  void scanRun(std::string_view text, OnApproach&& onApproach) {
    using Callback = std::remove_reference_t<OnApproach>;
    scanText(text, Found{[](void* callback, size_t at, std::string_view approach) {
                           (*static_cast<Callback*>(callback))(at, approach);
                         },
                         &onApproach});
  }

  // Lets the loops over lines use the processor's bit instructions where it
  // has them (the default), or not: a test of the build without them.
  static void useBitInstructions(bool use);

 private:
  // Where scanRun() tells of the lines that get approaches.
  struct Found {
    void (*tell)(void* callback, size_t at, std::string_view approach);
    void* callback;
    void operator()(size_t at, std::string_view approach) const { tell(callback, at, approach); }
  };

  struct Block;
  struct Record;     // a line read ahead: where it starts, and what it says
  struct LineShape;  // the last line read quickly, to read lines of its shape by
  enum class Motion { none, rapid, feed, arc, cycle };

  // Returns `heights` rounded up to millionths, the places approach lines
  // are written with, so that writing one never takes it below the first
  // height or closer than the gap to the pass it goes down to.
  static Heights inMillionths(const Heights& heights);
  // Returns the end of the whole lines of `text` whose line feed has at least
  // kPadding bytes of `text` after it, which can be read where they are.
  static size_t linesWithRoomAfter(std::string_view text);
  // Copies the whole lines of `text` from `from`, about kChunk bytes of them
  // or one longer line, into lines_ and puts line feeds after them; returns
  // how many bytes, or 0 for a piece of a line over the reader's limit.
  size_t copyLines(std::string_view text, size_t from);
  // Passes over the rest of an over-long line at the start of `text`;
  // returns where the next line starts.
  size_t skipPiece(std::string_view text);
  // scanRun() with the lines that get approaches told to `found`.
  void scanText(std::string_view text, const Found& found);
  // Reads and follows the whole lines in [begin, end), after which kPadding
  // bytes are readable, and tells `found` of those that get approaches, with
  // their offsets from `begin` plus `from`.
  void scanLines(const char* begin, const char* end, size_t from, const Found& found);
  // Reads the line from `line` to its `lineFeed`, with the `classes` of the
  // 64 bytes from its start, into `*block`, made anew: by the line kept in
  // `shape` when it has its shape, or else on its own, and then it may be
  // kept there in turn; returns false when it is not understood.
  template <typename Bits>
  static bool readBlock(const char* line, const char* lineFeed, const ByteClasses& classes,
                        LineShape* shape, Block* block);
  // Reads and follows the line from `line` to its `lineFeed`, with the
  // `classes` of the 64 bytes from its start; returns true iff it gets an
  // approach, held in approachLine_.
  template <typename Bits>
  bool scanLine(const char* line, const char* lineFeed, const ByteClasses& classes,
                LineShape* shape);
  // Reads the words of kRecords lines at most from [begin, end) into
  // `records`, without following them; returns where the lines not read start.
  static const char* readAhead(const char* begin, const char* end, ByteClasses* classes,
                               std::vector<Record>* records);
  // Follows the block of a line read, or a line not understood when `block`
  // is null; returns true iff the line gets an approach.
  bool followBlock(const Block* block);
  // Has the helper, if any, read ahead the lines of its share of the end of
  // the whole lines [from, inPlace) of `text`; returns where they start, or
  // `inPlace` for none.
  size_t startHelper(std::string_view text, size_t from, size_t inPlace);
  // Waits for the helper; returns where the lines start in `text` that it
  // left unread.
  size_t finishHelper(std::string_view text);
  // Applies what a readable block does to the modal state.
  void applyModes(const Block& block);
  // Applies what a block that is not usual does to the tool, the points fed
  // and the modes but its motion and the end of radius compensation.
  void applyUnusual(const Block& block);
  // Follows the move of a block; returns true iff it is a plunge that gets an
  // approach, which `keepsModes` allows when the block changed no mode the
  // approach would run in.
  bool move(const Block& block, bool afterApproach, bool keepsModes);
  // Decides the approach of a plunge to `depth` at (`x`, `y`), where `known`
  // says whether the tool is known to be there; true iff it gets one, which
  // `allowed` may forbid though the depths follow the plunge all the same.
  bool plunge(double depth, bool allowed, bool known, int64_t x, int64_t y);
  // Forgets where the tool is.
  void losePosition() { xKnown_ = yKnown_ = zKnown_ = false; }
  // After a line the reader does not understand, assumes nothing.
  void beUnsure();

  static constexpr size_t kChunk = size_t{64} << 10;
  static constexpr size_t kPadding = 128;
  static constexpr size_t kBatch = 64;  // blocks classified at a time
  // The shortest stretch read on two threads, and the most lines read ahead.
  static constexpr size_t kTwoThreads = size_t{64} << 10;
  static constexpr size_t kRecords = 8192;
  static constexpr size_t kRecordsAhead = 24;  // records fetched ahead of the one followed

  BasicApproachRule<double> rule_;
  ApproachText approachText_;
  std::string_view approachLine_;
  FedPoints fed_;
  Motion motion_ = Motion::none;
  int distance_ = 0;                 // 0 absolute (G90), 1 incremental (G91), -1 unknown
  bool compensation_ = false;        // radius compensation may be on: the tool is not at X Y
  bool compensationEnding_ = false;  // G40 came, but the move that ends it did not
  int64_t x_ = 0, y_ = 0, z_ = 0;    // where the tool is, in millionths
  bool xKnown_ = false, yKnown_ = false, zKnown_ = false;
  bool retractWatch_ = false;        // an approach was just inserted: watch the next line
  bool midLine_ = false;             // the next stretch continues an over-long line
  std::string lines_;                // lines being read, followed by line feeds
  ByteClasses classes_[kBatch + 1];  // of the blocks being read, and of the one after them
  // The helper's share: the classes of its blocks, the lines it read, where
  // those it left start, and its thread, last so that its task ends first.
  ByteClasses helperClasses_[kBatch + 1];
  std::vector<Record> records_;
  const char* helperEnd_ = nullptr;
  unsigned helperShare_ = 29;  // of each 64 bytes of a stretch, those the helper reads
  std::atomic<bool> helperDone_{false};
  Background* background_ = nullptr;
  std::function<void()> helperStarted_;
  std::unique_ptr<Background::Lane> helper_;
};

#endif  // TARVELIN_REWRITE_WORD_SCANNER_H_
