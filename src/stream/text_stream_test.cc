#include "stream/text_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "memory_streams.h"
#include "stream/byte_search.h"

namespace {

using Lines = std::vector<std::string>;

// Returns the lines the reader makes of `data`, each run cut at its line
// feeds; "<error>" marks a read error, "<text after 0x1A>" its refusal,
// "<unicode>" and "<shortcut>" a file refused for its first bytes.
Lines readLines(const std::string& data, size_t chunk = SIZE_MAX, bool seekable = true) {
  MemorySource source(data, chunk);
  source.seekable = seekable;
  Background background;
  TextReader reader(source, background);
  Lines lines;
  std::string_view run;
  ReadResult result;
  while ((result = reader.next(&run)) == ReadResult::lines) {
    EXPECT_FALSE(run.empty());
    for (size_t lf; (lf = run.find('\n')) != std::string_view::npos; run.remove_prefix(lf + 1)) {
      lines.emplace_back(run.substr(0, lf + 1));
    }
    if (!run.empty()) lines.emplace_back(run);
  }
  if (result == ReadResult::error) lines.emplace_back("<error>");
  if (result == ReadResult::textAfterEnd) lines.emplace_back("<text after 0x1A>");
  if (result == ReadResult::unicodeText) lines.emplace_back("<unicode>");
  if (result == ReadResult::shortcut) lines.emplace_back("<shortcut>");
  return lines;
}

struct ReadCase {
  const char* name;
  std::string input;
  Lines expected;
};

class ReaderCases : public testing::TestWithParam<ReadCase> {};

TEST_P(ReaderCases, CutsLinesAsTextModeDoes) {
  // Whole reads and one-byte reads must give the same lines.
  EXPECT_EQ(readLines(GetParam().input), GetParam().expected);
  EXPECT_EQ(readLines(GetParam().input, 1), GetParam().expected);
}

const ReadCase kReadCases[] = {
    {"Empty", "", {}},
    {"CrLfLinesPassThrough", "G00Z5.\r\nG00X1.\r\n", {"G00Z5.\r\n", "G00X1.\r\n"}},
    {"LfLines", "A\nB\n", {"A\n", "B\n"}},
    {"NoFinalLineFeed", "A\nB", {"A\n", "B"}},
    {"StrayCrsDropped", std::string("A\r\rB\r\n", 6), {"AB\r\n"}},
    {"CrInsideJoinsTheLine", "G00Z5.\rG00X1.\r\n", {"G00Z5.G00X1.\r\n"}},
    {"CrBeforeALaterLineFeed", "A\rB\rC\n", {"ABC\n"}},
    {"CrAtTheVeryEnd", "A\r\nB\r", {"A\r\n", "B"}},
    {"CtrlZEndsTheInput", "A\r\nB\x1A\r\n \t\x1A\n", {"A\r\n", "B"}},
    {"CrBeforeCtrlZ", "A\nB\r\x1A\n", {"A\n", "B"}},
    {"CtrlZFirst", "\x1A\r\n", {}},
    // Controllers read on past a 0x1A: a program after it is refused, not cut off.
    {"TextAfterCtrlZ",
     "A\r\nB\x1A"
     "C\r\n",
     {"<text after 0x1A>"}},
    {"TextAfterCtrlZFirst",
     "\x1A"
     "A\n",
     {"<text after 0x1A>"}},
    {"TextAfterCtrlZInCrOnlyText", "A\rB\x1A\r\x1A(more)\r", {"<text after 0x1A>"}},
    {"NulAfterCtrlZ", std::string("A\r\n\x1A\0", 5), {"<text after 0x1A>"}},
    {"CrOnlyLines", "A\rB\r", {"A\n", "B\n"}},
    {"CrOnlyNoFinalCr", "A\rB", {"A\n", "B"}},
    {"LineFeedAfterCtrlZDoesNotCount", "A\rB\x1A\n", {"A\n", "B"}},
    {"NulIsData", std::string("A\0B\r\n\0", 6), {std::string("A\0B\r\n", 5), std::string(1, '\0')}},
    {"EmptyLines", "\n\r\n\n", {"\n", "\r\n", "\n"}},
    // What Notepad saves as "Unicode" is no text of bytes; a UTF-8 mark is.
    {"Utf16Le", std::string("\xFF\xFE%\0\r\0\n\0", 8), {"<unicode>"}},
    {"Utf16Be", std::string("\xFE\xFF\0%\0\r\0\n", 8), {"<unicode>"}},
    {"Utf32Le", std::string("\xFF\xFE\0\0%\0\0\0", 8), {"<unicode>"}},
    {"Utf32Be", std::string("\0\0\xFE\xFF\0\0\0%", 8), {"<unicode>"}},
    {"Utf8MarkIsText", "\xEF\xBB\xBF%\r\n", {"\xEF\xBB\xBF%\r\n"}},
    {"MarkNotAtTheStartIsText", "A\xFF\xFE\n", {"A\xFF\xFE\n"}},
    {"OneByteOfAMarkIsText", "\xFF", {"\xFF"}},
    {"Shortcut",
     std::string("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46\x9B\0", 22),
     {"<shortcut>"}},
};

INSTANTIATE_TEST_SUITE_P(TextMode, ReaderCases, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<ReadCase>& info) {
                           return info.param.name;
                         });

TEST(TextReader, KeepsLinesWholeUpToTheLimit) {
  const std::string longLine(TextReader::kMaxLine, 'a');
  for (size_t chunk : {size_t{4096}, SIZE_MAX}) {
    EXPECT_EQ(readLines("X\r\n" + longLine + "\r\nY", chunk),
              (Lines{"X\r\n", longLine + "\r\n", "Y"}));
  }
}

TEST(TextReader, CutsOverlongLinesIntoLargePiecesAndLosesNothing) {
  std::string data(3 * TextReader::kMaxLine + 5, 'b');
  data += "\nZ";
  for (size_t chunk : {size_t{100000}, SIZE_MAX}) {
    const Lines lines = readLines(data, chunk);
    ASSERT_GE(lines.size(), 3u);
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i + 2 < lines.size()) {
        EXPECT_GT(lines[i].size(), TextReader::kMaxLine);
      }
      joined += lines[i];
    }
    EXPECT_EQ(joined, data);
  }
}

TEST(TextReader, NeverCutsAPieceBetweenCrAndLf) {
  for (size_t length :
       {TextReader::kMaxLine + 1, TextReader::kMaxLine + 2, 2 * TextReader::kMaxLine}) {
    const std::string data = std::string(length, 'c') + "\r\nE";
    for (size_t chunk : {size_t{4096}, size_t{1}, SIZE_MAX}) {
      const Lines lines = readLines(data, chunk);
      std::string joined;
      for (const std::string& line : lines) {
        EXPECT_NE(line.back(), '\r');
        joined += line;
      }
      EXPECT_EQ(joined, data);
    }
  }
}

TEST(TextReader, DecidesLineEndsBeyondTheFirstBuffer) {
  std::string crOnly;
  while (crOnly.size() < 3 * TextReader::kMaxLine) crOnly += "G00X1.\r";
  const Lines lines = readLines(crOnly);
  ASSERT_EQ(lines.size(), crOnly.size() / 7);
  EXPECT_EQ(lines.back(), "G00X1.\n");
  // One line feed far on makes every carriage return vanish instead, but the
  // one in front of it.
  const Lines joined = readLines(crOnly + "\n");
  std::string all;
  for (const std::string& line : joined) all += line;
  EXPECT_EQ(all.size(), crOnly.size() / 7 * 6 + 2);
  EXPECT_EQ(all.find('\r'), all.size() - 2);
}

TEST(TextReader, DecidesLineEndsOfAPipeOnWhatItReadFirst) {
  std::string crOnly;
  while (crOnly.size() < 3 * TextReader::kMaxLine) crOnly += "G00X1.\r";
  for (const size_t chunk : {size_t{65536}, SIZE_MAX}) {
    const Lines lines = readLines(crOnly, chunk, false);
    ASSERT_EQ(lines.size(), crOnly.size() / 7);
    EXPECT_EQ(lines.back(), "G00X1.\n");
  }
}

// Stray carriage returns go wherever they stand, in the first buffer and long after it.
TEST(TextReader, DropsStrayCarriageReturnsInEveryChunk) {
  std::string data;
  for (int line = 0; data.size() < 3 * TextReader::kMaxLine; ++line) {
    data += line % 7 == 0 ? "G01\rX1.\r\n" : line % 5 == 0 ? "G01X2.\r\r\n" : "G01X3.\n";
  }
  for (size_t chunk : {size_t{4093}, SIZE_MAX}) {
    std::string joined;
    for (const std::string& line : readLines(data, chunk)) joined += line;
    // What is left of the carriage returns stands in front of line feeds, and that only.
    std::string withoutCr = joined;
    withoutCr.erase(std::remove(withoutCr.begin(), withoutCr.end(), '\r'), withoutCr.end());
    size_t strays = 0;
    for (size_t at = 0; (at = joined.find('\r', at)) != std::string::npos; ++at) {
      strays += joined[at + 1] != '\n';
    }
    EXPECT_EQ(strays, 0u) << chunk;
    EXPECT_TRUE(withoutCr == textModeRead(data)) << chunk;
  }
}

// Returns `data` as the reader should give it: as a text-mode read gives it,
// but with each carriage return that stands before a line feed kept.
std::string readerModel(std::string data) {
  data.resize(std::min(data.size(), data.find('\x1A')));
  if (data.find('\n') == std::string::npos) return textModeRead(data);
  std::string kept;
  size_t from = 0;
  for (size_t cr = data.find('\r'); cr != std::string::npos; cr = data.find('\r', cr + 1)) {
    if (cr + 1 < data.size() && data[cr + 1] == '\n') continue;
    kept.append(data, from, cr - from);
    from = cr + 1;
  }
  return kept.append(data, from);
}

// Checks that the reader gives `data` as the plain model does, and that no
// run it hands out as CR LF throughout holds a bare line feed. Where text
// follows the 0x1A, what comes before the refusal is a part of what the model
// gives.
void expectReadAsModel(const std::string& data, size_t chunk, const std::string& what) {
  const std::string model = readerModel(data);
  const bool refused = textAfterEnd(data);
  MemorySource source(data, chunk);
  Background background;
  TextReader reader(source, background);
  std::string joined;
  std::string_view run;
  ReadResult result = ReadResult::lines;
  while ((result = reader.next(&run)) == ReadResult::lines) {
    if (!reader.bareLineFeeds()) {
      for (size_t lf = run.find('\n'); lf != std::string_view::npos; lf = run.find('\n', lf + 1)) {
        ASSERT_TRUE(lf != 0 && run[lf - 1] == '\r') << what;
      }
    }
    joined += run;
  }
  EXPECT_EQ(result, refused ? ReadResult::textAfterEnd : ReadResult::end) << what;
  EXPECT_TRUE(refused ? model.starts_with(joined) : joined == model) << what;
}

// Every kind of line end, and the 0x1A, on both sides of the first two chunk
// boundaries, after text in CR LF throughout.
TEST(TextReader, KeepsTheRulesAtChunkBoundaries) {
  const char* const tails[] = {"\n", "\r", "\r\n", "\rX\r\n", "\r\r\n", "\x1A\r\n", "\n\n"};
  for (const size_t boundary :
       {TextReader::kFirstRead, TextReader::kFirstRead + TextReader::kReadSize}) {
    std::string lines;
    while (lines.size() + 8 <= boundary) lines += "G01X1.\r\n";
    for (size_t shift = 0; shift < 3; ++shift) {
      for (const char* tail : tails) {
        std::string data = lines;
        data.resize(boundary - shift, 'Y');
        data += tail;
        data += "Z\r\nG00Z5.\r\n";
        expectReadAsModel(data, SIZE_MAX, std::to_string(boundary - shift) + " " + tail);
      }
    }
  }
}

// Programs of several megabytes whose lines are mostly CR LF but for a few
// kinds of fault, in reads of every size: the change from text in CR LF
// throughout to bare line feeds and stray carriage returns falls anywhere.
TEST(TextReader, KeepsTheRulesThroughLongPrograms) {
  std::mt19937 random(7);
  for (int round = 0; round < 12; ++round) {
    std::string data;
    const size_t size = (size_t{3} << 20) + random() % 4096;
    const size_t bareFrom = round % 3 == 0 ? SIZE_MAX : random() % size;
    while (data.size() < size) {
      data.append(1 + random() % 40, 'x');
      const bool bare = data.size() >= bareFrom;
      const unsigned pick = random() % 100;
      data += bare && pick < 20 ? "\n" : bare && pick < 25 ? "\r" : "\r\n";
    }
    if (round % 4 == 1) data.insert(data.size() - random() % 1000, 1, '\x1A');
    expectReadAsModel(data, round % 2 == 0 ? SIZE_MAX : 1 + random() % 70000,
                      "round " + std::to_string(round));
  }
}

// What follows a 0x1A is read to the end of the input, however long and
// however the reads cut it: padding alone ends the text at the mark, and
// anything else, however far on, is refused.
TEST(TextReader, ReadsPastTheEndMarkToItsEnd) {
  const std::string line = "G01X1.\r\n";
  std::string padding;
  while (padding.size() < (size_t{3} << 20)) padding += "\r\n \t\x1A\n";
  for (const size_t mark : {size_t{0}, TextReader::kFirstRead - 3, TextReader::kFirstRead + 5}) {
    std::string lines;
    while (lines.size() < mark) lines += line;
    for (const char* after : {"", "%", "\r\nM30\r\n"}) {
      const std::string data = lines + "\x1A" + padding + after;
      for (const size_t chunk : {size_t{4093}, SIZE_MAX}) {
        expectReadAsModel(data, chunk, std::to_string(mark) + " " + after);
      }
    }
  }
}

TEST(TextReader, ReportsReadErrors) {
  const std::string data = std::string(3000000, 'x') + "\n";
  for (size_t failAt : {size_t{0}, size_t{3}, size_t{2000000}}) {
    MemorySource source(data, 1000, failAt);
    Background background;
    TextReader reader(source, background);
    std::string_view line;
    ReadResult result;
    while ((result = reader.next(&line)) == ReadResult::lines) {
    }
    EXPECT_EQ(result, ReadResult::error) << failAt;
    EXPECT_EQ(reader.next(&line), ReadResult::error) << failAt;  // and stays so
  }
}

// The count of bytes read rises run by run and ends at the input's size,
// counting each byte once, however the input is read.
TEST(TextReader, CountsEveryByteReadOnce) {
  std::string crOnly;
  while (crOnly.size() < 3 * TextReader::kMaxLine) crOnly += "G00X1.\r";
  std::string crLf;
  while (crLf.size() < 3 * TextReader::kMaxLine) crLf += "G01X1.Y2.\r\n";
  struct Case {
    const char* name;
    std::string data;
    bool seekable;
  } const cases[] = {
      {"empty", "", true},
      {"one line", "G00Z5.\n", true},
      {"CR LF over many chunks", crLf, true},
      {"CR alone, decided on a second look", crOnly, true},
      {"CR alone from a pipe", crOnly, false},
      {"padding after the 0x1A past the first chunk",
       "G00Z5.\r\n\x1A" + std::string(2 * TextReader::kMaxLine, '\n'), true},
  };
  for (const Case& c : cases) {
    MemorySource source(c.data, 1000);
    source.seekable = c.seekable;
    Background background;
    TextReader reader(source, background);
    std::string_view run;
    uint64_t last = 0;
    while (reader.next(&run) == ReadResult::lines) {
      EXPECT_GE(reader.bytesRead(), last) << c.name;
      last = reader.bytesRead();
    }
    EXPECT_EQ(reader.bytesRead(), c.data.size()) << c.name;
  }
}

// Notes the thread of every write.
class ThreadSink : public StringSink {
 public:
  bool write(const char* data, size_t size) override {
    threads.push_back(std::this_thread::get_id());
    return StringSink::write(data, size);
  }
  std::vector<std::thread::id> threads;
};

TEST(TextWriter, PassesLargeTextThroughInOrderWhereverItWrites) {
  const std::string big(3 << 20, 'q');
  for (const int share : {0, 1, 2}) {
    ThreadSink sink;
    Background background;
    TextWriter writer(sink, background);
    writer.shareWriting(share == 1);
    writer.write("a");
    writer.write(big);
    writer.shareWriting(share != 0);  // changing on the way keeps the order
    writer.write(big);
    writer.writeLineEnd();
    writer.write("z");
    ASSERT_TRUE(writer.flush());
    EXPECT_TRUE(sink.text == "a" + big + big + "\r\nz") << share;
    const auto here = static_cast<size_t>(
        std::count(sink.threads.begin(), sink.threads.end(), std::this_thread::get_id()));
    if (share == 0) {
      EXPECT_EQ(here, 0u);
    } else if (share == 1) {
      EXPECT_EQ(here, sink.threads.size() / 2) << sink.threads.size();
    }
  }
}

// Text bigger than the buffers, handed over whole and in pieces of whole
// lines, comes out with CR LF line ends, whatever CR LF pairs the buffer
// boundaries cut.
TEST(TextWriter, GivesBareLineFeedsCarriageReturnsAcrossBuffers) {
  struct Case {
    const char* name;
    std::string line;
  };
  // Lines of odd length put a CR LF pair across every cut sooner or later.
  const Case cases[] = {{"LineFeeds", "G01X1.Y2.\n"},
                        {"CrLfOnly", "\r\n"},
                        {"ShortCrLf", "X\r\n"},
                        {"Mixed", "G01X1.\r\nG01X2.\n\n\r\n"}};
  for (const Case& c : cases) {
    std::string text;
    while (text.size() < (size_t{5} << 20)) text += c.line;
    std::string expected(2 * text.size() + kExpandSlack, '\0');
    expected.resize(static_cast<size_t>(
        expandLineFeedsPlain(text.data(), text.data() + text.size(), expected.data()) -
        expected.data()));
    for (size_t piece : {size_t{1} << 30, size_t{100003}, size_t{1300}}) {
      StringSink sink;
      Background background;
      TextWriter writer(sink, background);
      for (size_t from = 0; from < text.size();) {
        // Pieces start at line starts, as the file pass hands them over.
        const size_t to = std::min(text.size(), text.rfind('\n', from + piece) + 1);
        writer.writeText(std::string_view(text).substr(from, to - from));
        from = to;
      }
      ASSERT_TRUE(writer.flush());
      EXPECT_TRUE(sink.text == expected) << c.name << " in pieces of " << piece;
    }
  }
}

TEST(TextWriter, KeepsTheFirstWriteFailure) {
  for (const bool share : {false, true}) {
    StringSink sink;
    sink.limit = 10;
    Background background;
    TextWriter writer(sink, background);
    writer.shareWriting(share);
    writer.write(std::string(4 << 20, 'x'));
    EXPECT_FALSE(writer.ok()) << share;
    writer.write("y");
    EXPECT_FALSE(writer.flush()) << share;
    EXPECT_EQ(sink.writes, 0) << share;
  }
}

}  // namespace
