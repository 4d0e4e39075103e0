#include "text/byte_search.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qw {
namespace {

std::size_t Memmem(std::string_view haystack, std::string_view needle) {
  const void* hit = memmem(haystack.data(), haystack.size(), needle.data(), needle.size());
  return hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - haystack.data();
}

// Every variant the processor can run (higher ones would be lowered to the best anyway).
std::vector<SearchLevel> Levels() {
  std::vector<SearchLevel> levels;
  for (SearchLevel level :
       {SearchLevel::kMemmem, SearchLevel::kSse2, SearchLevel::kAvx2, SearchLevel::kAvx512}) {
    if (level <= BestSearchLevel()) levels.push_back(level);
  }
  return levels;
}

// Page-like filler that holds the needle's bytes, but not the needle, here and there.
std::string Filler(std::size_t size, unsigned seed) {
  static const char kBytes[] = "<td class=\"x\">!_#\r\n\xD6\xD0 abcz";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    out += kBytes[(seed >> 16) % (sizeof kBytes - 1)];
  }
  return out;
}

TEST(SearchBytesTest, EveryVariantFindsTheNeedleAtEveryOffset) {
  const std::vector<std::string> needles = {"!_", "</td>", "<!-- list end -->", "\xD6\xD0#",
                                            std::string(40, 'z') + "!"};
  for (SearchLevel level : Levels()) {
    for (const std::string& needle : needles) {
      for (std::size_t at = 0; at + needle.size() <= 400; at += 1) {
        std::string haystack = Filler(400, static_cast<unsigned>(at));
        haystack.replace(at, needle.size(), needle);
        EXPECT_EQ(SearchBytes(haystack, needle, level), Memmem(haystack, needle))
            << "level " << static_cast<int>(level) << " needle " << needle << " at " << at;
      }
    }
  }
}

TEST(SearchBytesTest, EdgesAgreeWithMemmem) {
  const std::string text = Filler(1000, 7);
  struct Case {
    std::string haystack, needle;
  };
  const std::vector<Case> cases = {
      {text, ""},
      {text, "\x01\x02"},
      {"", "ab"},
      {"a", "ab"},
      {"ab", "ab"},
      {text + "<!-- end -->", "<!-- end -->"},
      {text, text},
      {text, text.substr(999)},
      {text, text.substr(500, 300)},
      {std::string("a\0b\0c", 5), std::string("\0c", 2)},
  };
  for (SearchLevel level : Levels()) {
    for (const Case& c : cases) {
      EXPECT_EQ(SearchBytes(c.haystack, c.needle, level), Memmem(c.haystack, c.needle))
          << "level " << static_cast<int>(level) << " needle size " << c.needle.size();
    }
  }
}

// A text made of the needle's filter bytes makes every position a candidate; the search must stay correct
// (and hand over to memmem rather than compare everywhere).
TEST(SearchBytesTest, HostileTextStaysCorrect) {
  const std::string runs(100000, 'a');
  for (SearchLevel level : Levels()) {
    EXPECT_EQ(SearchBytes(runs, "aaab", level), std::string_view::npos);
    EXPECT_EQ(SearchBytes(runs + "aaab", "aaab", level), runs.size());
    EXPECT_EQ(SearchBytes(runs + "b" + runs, std::string(300, 'a') + "b", level), runs.size() - 300);
  }
}

}  // namespace
}  // namespace qw
