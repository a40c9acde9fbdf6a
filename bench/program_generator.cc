#include "program_generator.h"

#include <cstdio>
#include <cstdlib>

namespace {

// A small fixed-seed generator, so that every run writes the same program.
unsigned nextRandom(unsigned& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

// Appends a coordinate with three decimals ("12.345", "-0.500").
void appendNumber(std::string& out, int thousandths) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%d.%03d", thousandths < 0 ? "-" : "",
                std::abs(thousandths) / 1000, std::abs(thousandths) % 1000);
  out += text;
}

}  // namespace

void generateProgram(size_t bytes, bool blockNumbers,
                     const std::function<void(std::string_view)>& write) {
  unsigned seed = 12345;
  size_t written = 0;
  long block = 0;
  std::string out;
  const auto line = [&](const std::string& text) {
    if (blockNumbers) {
      out += 'N';
      out += std::to_string(block += 10);
    }
    out += text;
    out += "\r\n";
    if (out.size() >= (size_t{64} << 10)) {
      write(out);
      written += out.size();
      out.clear();
    }
  };
  for (const char* text : {"%", "O1234(RASTER SURFACE)", "G21G17G40G49G80G90", "T01M06(D6 BALL)",
                           "S12000M03", "G00G54X0.000Y0.000", "G43H01Z25.000"}) {
    line(text);
  }
  while (written + out.size() < bytes) {
    for (int pass = 1; pass <= 4 && written + out.size() < bytes; ++pass) {
      const int depth = -500 * pass;
      line("G00Z5.000");
      std::string move = "G00X";
      appendNumber(move, static_cast<int>(nextRandom(seed) % 20000));
      move += "Y";
      appendNumber(move, static_cast<int>(nextRandom(seed) % 20000));
      line(move);
      std::string plunge = "G01Z";
      appendNumber(plunge, depth);
      line(plunge + "F150.");
      for (int row = 0; row < 400; ++row) {
        std::string cut = row == 0 ? "G01X" : "X";
        appendNumber(cut, static_cast<int>(nextRandom(seed) % 300000));
        cut += "Y";
        appendNumber(cut, static_cast<int>(nextRandom(seed) % 300000));
        cut += "Z";
        appendNumber(cut, depth - static_cast<int>(nextRandom(seed) % 300));
        if (row == 0) cut += "F1200.";
        line(cut);
      }
    }
  }
  line("G00Z25.000");
  line("M30");
  line("%");
  write(out);
}
