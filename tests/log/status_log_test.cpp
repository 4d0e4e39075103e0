#include "log/status_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "text/encoding.h"

namespace qw {
namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  return local;
}

TEST(TimestampTest, PlainNumbersWithASpaceBeforeTheSeconds) {
  EXPECT_EQ(FormatTimestamp(At(2017, 1, 1, 0, 0, 0)), "2017-1-1 0:0 0");
  EXPECT_EQ(FormatTimestamp(At(2016, 12, 31, 23, 59, 59)), "2016-12-31 23:59 59");
  EXPECT_EQ(FormatTimestamp(At(2016, 10, 21, 9, 5, 7)), "2016-10-21 9:5 7");
}

TEST(TimestampTest, TextOfNowIsTheLocalTime) {
  const std::time_t before = std::time(nullptr);
  const std::string text = TimestampText();
  const std::time_t after = std::time(nullptr);
  std::tm a{}, b{};
  localtime_r(&before, &a);
  localtime_r(&after, &b);
  EXPECT_TRUE(text == FormatTimestamp(a) || text == FormatTimestamp(b)) << text;
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-[1-9]\d?-[1-9]\d? \d{1,2}:\d{1,2} \d{1,2})")))
      << text;
}

TEST(MemoryStatusLogTest, AppendsRunOnAndReplacementStartsAfresh) {
  MemoryStatusLog log;
  log.AppendStatusLine("\r\n" + QW_GBK("任务") + "3----2017-1-1 0:0 0");
  log.AppendStatusLine(QW_GBK("出错！截取源码为空，请检查方案的采集区域！"));
  EXPECT_EQ(log.Text(), "\r\n" + QW_GBK("任务") + "3----2017-1-1 0:0 0" +
                            QW_GBK("出错！截取源码为空，请检查方案的采集区域！"));
  log.SetStatusText("");
  log.AppendStatusLine("\r\nx");
  EXPECT_EQ(log.Text(), "\r\nx");
}

TEST(MemoryStatusLogTest, AppendsFromSeveralThreadsArriveWholeAndInEachThreadsOrder) {
  MemoryStatusLog log;
  constexpr int kLines = 2000;
  auto append = [&](char who) {
    for (int i = 0; i < kLines; ++i)
      log.AppendStatusLine("\r\n" + std::string(1, who) + std::to_string(i) + ";");
  };
  std::thread worker(append, 'w');
  append('u');
  worker.join();
  const std::string text = log.Text();
  int next[2] = {0, 0};
  std::size_t at = 0;
  while (at < text.size()) {
    ASSERT_EQ(text.compare(at, 2, "\r\n"), 0);
    const std::size_t end = text.find(';', at);
    ASSERT_NE(end, std::string::npos);
    const int slot = text[at + 2] == 'w' ? 0 : 1;
    EXPECT_EQ(text.substr(at + 3, end - at - 3), std::to_string(next[slot]++));
    at = end + 1;
  }
  EXPECT_EQ(next[0], kLines);
  EXPECT_EQ(next[1], kLines);
}

}  // namespace
}  // namespace qw
