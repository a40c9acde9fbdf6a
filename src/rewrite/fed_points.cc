#include "rewrite/fed_points.h"

#include <algorithm>

// Points and their links are read only once written: only the slots start empty.
FedPoints::FedPoints()
    : points_(new Point[kSize]), before_(new uint32_t[kSize]), slots_(new uint32_t[kSlots]()) {}

void FedPoints::add(int64_t x, int64_t y, int64_t z, bool withoutPoint) {
  int32_t qx = 0;
  int32_t qy = 0;
  if (!tenThousandths(x, &qx) || !tenThousandths(y, &qy)) return;
  if (count_ == UINT32_MAX) startAfresh();
  points_[count_ & (kSize - 1)] = Point{qx, qy, z, withoutPoint ? 1u : 0u};
  ++count_;
}

void FedPoints::link() {
  // Points that later ones replaced are never looked at.
  if (count_ - linked_ > kSize) linked_ = count_ - static_cast<uint32_t>(kSize);
  for (; linked_ < count_; ++linked_) {
    const size_t at = linked_ & (kSize - 1);
    const uint32_t slot = slotFor(points_[at].x, points_[at].y);
    before_[at] = slots_[slot];
    slots_[slot] = linked_ + 1;
  }
}

FedPoints::Reach FedPoints::reached(int64_t x, int64_t y, double depth) {
  int32_t qx = 0;
  int32_t qy = 0;
  if (!tenThousandths(x, &qx) || !tenThousandths(y, &qy)) return Reach::no;
  link();
  // Points up to this number are forgotten, or replaced by later ones.
  const uint32_t gone =
      std::max(kept_, count_ > kSize ? static_cast<uint32_t>(count_ - kSize) : 0u);
  uint32_t number = slots_[slotFor(qx, qy)];
  Reach reach = Reach::no;
  for (int look = 0; look < kLooks && number > gone; ++look) {
    const size_t at = (number - 1) & (kSize - 1);
    const Point& point = points_[at];
    if (point.x == qx && point.y == qy && static_cast<double>(point.z) / 1e6 <= depth) {
      if (!point.withoutPoint) return Reach::yes;
      reach = Reach::withoutPoint;
    }
    number = before_[at];
  }
  return reach;
}

bool FedPoints::tenThousandths(int64_t millionths, int32_t* out) {
  const int64_t rounded = (millionths < 0 ? millionths - 50 : millionths + 50) / 100;
  if (rounded < INT32_MIN || rounded > INT32_MAX) return false;
  *out = static_cast<int32_t>(rounded);
  return true;
}

uint32_t FedPoints::slotFor(int32_t x, int32_t y) {
  const uint64_t key =
      static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32 | static_cast<uint32_t>(y);
  return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15u) >> 48) & (kSlots - 1);
}

void FedPoints::startAfresh() {
  std::fill_n(slots_.get(), kSlots, 0u);
  count_ = linked_ = kept_ = 0;
}
