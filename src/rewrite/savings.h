// What the approaches of one program save: how many there are, and, in the
// word mode, which knows where the tool comes from and how fast it was fed,
// the feed travel through air they turn into rapid travel and its feed time.
#ifndef TARVELIN_REWRITE_SAVINGS_H_
#define TARVELIN_REWRITE_SAVINGS_H_

#include <cstdint>

struct Savings {
  uint64_t approaches = 0;
  uint64_t belowFirst = 0;  // of them, those that end below the first height
  // The feed travel through air turned into rapid travel, by the unit in
  // force: millimetres (G21), inches (G20), or one the program never named.
  double millimetres = 0;
  double inches = 0;
  double unnamedUnits = 0;
  double minutes = 0;        // the feed time that travel took, at the programmed rates
  bool timeUnknown = false;  // a plunge's feed time was not known: G95, no F in force
};

#endif  // TARVELIN_REWRITE_SAVINGS_H_
