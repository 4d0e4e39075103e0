#include "render/render_protocol.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

TEST(RenderProtocolTest, JobsAndAnswersComeBackAsSent) {
  RenderJob job;
  job.id = 7;
  job.url = "http://127.0.0.1:8080/版块?a=1&b=\"2\"";
  job.ua = "Mozilla/5.0 (X11)";
  job.cookie = "sid=1; name=张三";
  job.encoding = "GBK";
  job.deadlineMs = 1500;
  job.quietMs = 250;
  job.maxBytes = 1u << 20;
  const std::string line = EncodeRenderJob(job);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const std::optional<RenderJob> back = DecodeRenderJob(line);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->id, 7u);
  EXPECT_EQ(back->url, job.url);
  EXPECT_EQ(back->ua, job.ua);
  EXPECT_EQ(back->cookie, job.cookie);
  EXPECT_EQ(back->encoding, "GBK");
  EXPECT_EQ(back->deadlineMs, 1500);
  EXPECT_EQ(back->quietMs, 250);
  EXPECT_EQ(back->maxBytes, 1u << 20);

  RenderAnswer answer;
  answer.id = 7;
  answer.html = "<html><body>\n<ul><li>标题</li></ul>\r\n</body></html>";
  answer.cookies = "sid=2; old=deleted";
  answer.status = 404;
  answer.deadlineHit = true;
  const std::string answerLine = EncodeRenderAnswer(answer);
  EXPECT_EQ(answerLine.find('\n'), std::string::npos);
  const std::optional<RenderAnswer> got = DecodeRenderAnswer(answerLine);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->html, answer.html);
  EXPECT_EQ(got->cookies, answer.cookies);
  EXPECT_EQ(got->status, 404);
  EXPECT_TRUE(got->deadlineHit);
  EXPECT_TRUE(got->error.empty());
}

TEST(RenderProtocolTest, BytesThatAreNotUtf8AreReplacedNotRefused) {
  RenderAnswer answer;
  answer.id = 1;
  answer.html = "<p>\xD6\xD0\xCE\xC4</p>";  // GBK, not UTF-8
  const std::optional<RenderAnswer> got = DecodeRenderAnswer(EncodeRenderAnswer(answer));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->html.substr(0, 3), "<p>");
  EXPECT_NE(got->html.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(RenderProtocolTest, LinesThatAreNotMessagesAreRefused) {
  for (const char* line : {"", "garbage", "[1,2]", "{\"url\":\"http://a/\"}", "{\"id\":-1,\"url\":\"x\"}",
                           "{\"id\":\"1\",\"url\":\"x\"}", "{\"id\":1,\"url\":7}", "{\"id\":1,"}) {
    EXPECT_FALSE(DecodeRenderJob(line)) << line;
  }
  for (const char* line : {"", "null", "{\"html\":\"x\"}", "{\"id\":1.5}"}) {
    EXPECT_FALSE(DecodeRenderAnswer(line)) << line;
  }
  // Members of another kind than written are left at their defaults.
  const std::optional<RenderAnswer> odd =
      DecodeRenderAnswer("{\"id\":3,\"html\":5,\"deadline_hit\":\"yes\"}");
  ASSERT_TRUE(odd);
  EXPECT_TRUE(odd->html.empty());
  EXPECT_FALSE(odd->deadlineHit);
}

}  // namespace
}  // namespace qw
