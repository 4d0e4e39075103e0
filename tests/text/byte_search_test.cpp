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

const char* LevelName(SearchLevel level) {
  switch (level) {
    case SearchLevel::kMemmem:
      return "Memmem";
    case SearchLevel::kSse2:
      return "Sse2";
    case SearchLevel::kAvx2:
      return "Avx2";
    case SearchLevel::kAvx512:
      return "Avx512";
  }
  return "Unknown";
}

// Each test runs once for every variant. A variant above what the processor has cannot run here (the search
// would lower it to the best the processor has), so its tests report themselves skipped.
class SearchBytesTest : public ::testing::TestWithParam<SearchLevel> {
 protected:
  void SetUp() override {
    if (GetParam() > BestSearchLevel()) GTEST_SKIP() << "this processor lacks " << LevelName(GetParam());
  }
};

INSTANTIATE_TEST_SUITE_P(Levels, SearchBytesTest,
                         ::testing::Values(SearchLevel::kMemmem, SearchLevel::kSse2, SearchLevel::kAvx2,
                                           SearchLevel::kAvx512),
                         [](const ::testing::TestParamInfo<SearchLevel>& info) {
                           return std::string(LevelName(info.param));
                         });

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

TEST_P(SearchBytesTest, FindsTheNeedleAtEveryOffset) {
  const std::vector<std::string> needles = {"!_", "</td>", "<!-- list end -->", "\xD6\xD0#",
                                            std::string(40, 'z') + "!"};
  for (const std::string& needle : needles) {
    for (std::size_t at = 0; at + needle.size() <= 400; at += 1) {
      std::string haystack = Filler(400, static_cast<unsigned>(at));
      haystack.replace(at, needle.size(), needle);
      EXPECT_EQ(SearchBytes(haystack, needle, GetParam()), Memmem(haystack, needle))
          << "needle " << needle << " at " << at;
    }
  }
}

TEST_P(SearchBytesTest, EdgesAgreeWithMemmem) {
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
  for (const Case& c : cases) {
    EXPECT_EQ(SearchBytes(c.haystack, c.needle, GetParam()), Memmem(c.haystack, c.needle))
        << "needle size " << c.needle.size();
  }
}

// A text made of the needle's filter bytes makes every position a candidate; the search must stay correct
// (and hand over to memmem rather than compare everywhere).
TEST_P(SearchBytesTest, HostileTextStaysCorrect) {
  const std::string runs(100000, 'a');
  EXPECT_EQ(SearchBytes(runs, "aaab", GetParam()), std::string_view::npos);
  EXPECT_EQ(SearchBytes(runs + "aaab", "aaab", GetParam()), runs.size());
  EXPECT_EQ(SearchBytes(runs + "b" + runs, std::string(300, 'a') + "b", GetParam()), runs.size() - 300);
}

}  // namespace
}  // namespace qw
