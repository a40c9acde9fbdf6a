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

// Returns `letter` followed by the coordinate.
std::string word(char letter, int thousandths) {
  std::string text(1, letter);
  appendNumber(text, thousandths);
  return text;
}

// Collects lines and hands them on in pieces of about 64 KiB.
class LineWriter {
 public:
  LineWriter(const ProgramShape& shape, const std::function<void(std::string_view)>& write)
      : shape_(shape), write_(write) {}

  void line(const std::string& text) {
    if (shape_.blockNumbers) {
      out_ += 'N';
      out_ += std::to_string(block_ += 10);
      if (shape_.blanks) out_ += ' ';
    }
    if (shape_.blanks) {
      appendWithBlanks(text);
    } else {
      out_ += text;
    }
    out_ += shape_.lineFeeds ? "\n" : "\r\n";
    if (out_.size() >= (size_t{64} << 10)) {
      write_(out_);
      written_ += out_.size();
      out_.clear();
    }
  }
  size_t size() const { return written_ + out_.size(); }

  // Appends `text` with a blank in front of each word but the first, comments aside.
  void appendWithBlanks(const std::string& text) {
    bool inComment = false;
    for (size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (i > 0 && !inComment && c >= 'A' && c <= 'Z') out_ += ' ';
      inComment = c == '(' || (inComment && c != ')');
      out_ += c;
    }
  }
  void finish() { write_(out_); }

 private:
  const ProgramShape& shape_;
  const std::function<void(std::string_view)>& write_;
  std::string out_;
  size_t written_ = 0;
  long block_ = 0;
};

// Depth passes of raster surfacing: retract, rapid XY move, plunge, 400 modal moves.
void rasterPasses(LineWriter& out, size_t bytes, unsigned& seed) {
  for (int pass = 1; pass <= 4 && out.size() < bytes; ++pass) {
    const int depth = -500 * pass;
    out.line("G00Z5.000");
    const int x = static_cast<int>(nextRandom(seed) % 20000);
    const int y = static_cast<int>(nextRandom(seed) % 20000);
    out.line("G00" + word('X', x) + word('Y', y));
    out.line("G01" + word('Z', depth) + "F150.");
    for (int row = 0; row < 400; ++row) {
      std::string cut = row == 0 ? "G01" : "";
      cut += word('X', static_cast<int>(nextRandom(seed) % 300000));
      cut += word('Y', static_cast<int>(nextRandom(seed) % 300000));
      cut += word('Z', depth - static_cast<int>(nextRandom(seed) % 300));
      if (row == 0) cut += "F1200.";
      out.line(cut);
    }
  }
}

// One pocket as CAM systems write it in the compact style: four passes, each
// deeper, each a retract, a rapid move to the start, a plunge and 37 feed moves.
void pocketPasses(LineWriter& out, size_t bytes, unsigned& seed) {
  const int centreX = 20000 + static_cast<int>(nextRandom(seed) % 260000);
  const int centreY = 20000 + static_cast<int>(nextRandom(seed) % 260000);
  for (int pass = 1; pass <= 4 && out.size() < bytes; ++pass) {
    const std::string depth = word('Z', -500 * pass);
    out.line("G00Z5.000");
    out.line("G00" + word('X', centreX) + word('Y', centreY));
    out.line("G01" + depth + "F100.");
    for (int move = 0; move < 37; ++move) {
      const int x = centreX + static_cast<int>(nextRandom(seed) % 40000) - 20000;
      const int y = centreY + static_cast<int>(nextRandom(seed) % 40000) - 20000;
      out.line("G01" + word('X', x) + word('Y', y) + depth + "F1200.");
    }
  }
}

}  // namespace

void generateProgram(size_t bytes, const ProgramShape& shape,
                     const std::function<void(std::string_view)>& write) {
  unsigned seed = 12345;
  LineWriter out(shape, write);
  out.line("%");
  out.line(shape.dense ? "O1234(POCKETS)" : "O1234(RASTER SURFACE)");
  for (const char* text : {"G21G17G40G49G80G90", "T01M06(D6 BALL)", "S12000M03",
                           "G00G54X0.000Y0.000", "G43H01Z25.000"}) {
    out.line(text);
  }
  while (out.size() < bytes) {
    if (shape.dense) {
      pocketPasses(out, bytes, seed);
    } else {
      rasterPasses(out, bytes, seed);
    }
  }
  out.line("G00Z25.000");
  out.line("M30");
  out.line("%");
  out.finish();
}
