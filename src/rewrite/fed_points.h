// Where the tool has been fed: the end points of the latest feed moves, each
// with the Z fed to there. A deep approach is made only onto such a point.
#ifndef TARVELIN_REWRITE_FED_POINTS_H_
#define TARVELIN_REWRITE_FED_POINTS_H_

#include <cstddef>
#include <cstdint>
#include <memory>

// The end points of the latest kSize feed moves. Found through a table of
// slots, in which each slot leads to the latest point that falls in it, and
// each point to the one before it in its slot. Bounded: forgetting a point
// only costs a deep approach. Points are put in their slots only when the
// next look comes: by then the reading of many lines has pushed the slots
// out of the processor's cache, and fetching them for many points at once
// takes far less time than fetching them for one point at a time.
class FedPoints {
 public:
  // How many of the latest points are kept.
  static constexpr size_t kSize = size_t{1} << 15;
  // The most points of one slot looked at: those of a point fed to again and
  // again come first, the latest first.
  static constexpr int kLooks = 8;

  // Whether the tool is known to have been fed that deep at a place: yes, or
  // only to a Z written without a decimal point (which some controllers read
  // in least increments: Z-1 as 0.001 mm), or no.
  enum class Reach : uint8_t { no, withoutPoint, yes };

  FedPoints();

  // Records that the tool was fed to `z` at (`x`, `y`), all in millionths;
  // `withoutPoint`: to a Z written without a decimal point.
  void add(int64_t x, int64_t y, int64_t z, bool withoutPoint = false);
  // Returns whether the tool was fed to `depth` or deeper at (`x`, `y`) in
  // one of the points kept, among the latest kLooks of its slot. Points that
  // match are less than 0.0001 apart.
  Reach reached(int64_t x, int64_t y, double depth);
  // Forgets every point; those not yet in their slots need never be put there.
  void forget() { kept_ = linked_ = count_; }

 private:
  // A point in ten-thousandths, and its Z in millionths (below a billion
  // units, so 63 bits hold it): 16 bytes, so that the ring stays 512 KiB.
  struct Point {
    int32_t x;
    int32_t y;
    int64_t z : 63;
    uint64_t withoutPoint : 1;  // Z was written without a decimal point
  };
  static_assert(sizeof(Point) == 16);
  static constexpr size_t kSlots = size_t{1} << 15;

  // Stores a place in millionths rounded to ten-thousandths in `*out`, so
  // that places that match are less than 0.0001 apart (places nearer than
  // that may still round apart). False for a place too far out to be kept,
  // which is then never reached.
  static bool tenThousandths(int64_t millionths, int32_t* out);
  // Returns the slot for the point at (`x`, `y`) in ten-thousandths.
  static uint32_t slotFor(int32_t x, int32_t y);
  // Empties the slots and starts counting afresh, before the count runs out.
  void startAfresh();
  // Puts the points added since the last look in their slots.
  void link();

  // Points are numbered from 1 in the order they came, and kept at their
  // number's place in points_ until kSize later ones replace them.
  std::unique_ptr<Point[]> points_;
  std::unique_ptr<uint32_t[]> before_;  // the number of the point before each, in its slot
  std::unique_ptr<uint32_t[]> slots_;   // the number of each slot's latest point, 0 for none
  uint32_t count_ = 0;                  // the number of the latest point
  uint32_t linked_ = 0;                 // points up to this number are in their slots
  uint32_t kept_ = 0;                   // points up to this number are forgotten
};

#endif  // TARVELIN_REWRITE_FED_POINTS_H_
