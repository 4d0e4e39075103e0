#include "text/gbk_text.h"

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace qw {
namespace {

TEST(FindTest, NeverStartsOnTheSecondByteOfACharacter) {
  EXPECT_EQ(Find("ab", "b"), 2);
  EXPECT_EQ(Find("ab", ""), 1);
  EXPECT_EQ(Find("", ""), -1);
  EXPECT_EQ(Find(QW_GBK("中"), "\xD0"), -1);
}

}  // namespace
}  // namespace qw
