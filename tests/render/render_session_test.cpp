// The renderer of a round against stand-in helpers: small shell scripts that answer, fall silent, die, babble
// or grow, so that every way a helper can fail is tried in a moment and without the web engine.

#include "render/render_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "render/renderer_process.h"
#include "support/processes.h"
#include "support/temp_dir.h"
#include "support/waits.h"
#include "text/encoding.h"

namespace qw {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The job's id as the helper reads it from its line.
constexpr const char* kReadId = "id=$(printf '%s' \"$line\" | sed -n 's/.*\"id\":\\([0-9]*\\).*/\\1/p')\n";

class RenderSessionTest : public ::testing::Test {
 protected:
  // A helper script with the given body, which reads each job into $line.
  std::string Helper(const std::string& name, const std::string& body) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), 0755);
    return path;
  }

  RenderSettings Settings(const std::string& helper) {
    RenderSettings settings;
    settings.helperPath = helper;
    settings.pageDeadline = milliseconds(400);
    settings.answerGrace = milliseconds(400);
    return settings;
  }

  static RenderJob Job() {
    RenderJob job;
    job.url = "http://127.0.0.1:1/";
    return job;
  }

  test::TempDir dir_;
};

TEST_F(RenderSessionTest, AnAnsweringHelperServesEveryPageOfTheRoundAndEndsWithIt) {
  const std::string helper =
      Helper("answers",
             std::string("while read -r line; do\n") + kReadId +
                 "printf '{\"id\":%s,\"html\":\"<p>\\\\u4e2d</p>\",\"cookies\":\"a=1\",\"status\":200}\\n' "
                 "\"$id\"\ndone\n");
  RenderSession session(Settings(helper));
  for (int page = 0; page < 3; ++page) {
    const RenderedPage rendered = session.Render(Job(), {});
    EXPECT_EQ(rendered.failure, "");
    EXPECT_EQ(rendered.html, "<p>\xE4\xB8\xAD</p>");
    EXPECT_EQ(rendered.cookies, "a=1");
    EXPECT_EQ(rendered.status, 200);
  }
  EXPECT_EQ(session.Counts().helpersStarted, 1);
  const std::vector<pid_t> helpers = test::ChildrenNamed("answers");
  ASSERT_EQ(helpers.size(), 1u);
  session.End();
  EXPECT_EQ(test::ProcessesInGroup(helpers[0]), 0);
  EXPECT_TRUE(test::ChildrenNamed("answers").empty());
}

// Each way a helper fails: the page gets the reason, the helper's whole group is gone, and the next page
// starts a fresh helper.
struct FailingHelper {
  const char* name;
  const char* body;
  const char* reason;  // UTF-8
  // Time the helper gets to fail in its own way before it counts as silent.
  int deadlineMs = 400;
};

class FailingHelperTest : public RenderSessionTest, public ::testing::WithParamInterface<FailingHelper> {};

TEST_P(FailingHelperTest, ThePageFailsWithTheReasonAndTheNextPageGetsAFreshHelper) {
  const FailingHelper& failing = GetParam();
  RenderSettings settings = Settings(Helper(failing.name, failing.body));
  settings.memoryLimit = 64u << 20;
  settings.maxDocumentBytes = 64u << 10;
  settings.pageDeadline = milliseconds(failing.deadlineMs);
  RenderSession session(settings);
  for (int page = 1; page <= 2; ++page) {
    const auto started = Clock::now();
    const RenderedPage rendered = session.Render(Job(), {});
    EXPECT_LT(Clock::now() - started, milliseconds(5000));
    EXPECT_NE(rendered.failure.find(Utf8ToGbk(failing.reason)), std::string::npos)
        << GbkToUtf8(rendered.failure);
    EXPECT_TRUE(rendered.html.empty());
    EXPECT_EQ(session.Counts().helpersStarted, page);
  }
  session.End();
  EXPECT_TRUE(test::ChildrenNamed(failing.name).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Helpers, FailingHelperTest,
    ::testing::Values(
        FailingHelper{"exits", "read -r line\nexit 3\n", "渲染程序意外退出（退出码 3）"},
        FailingHelper{"killed", "read -r line\nkill -9 $$\n", "渲染程序意外退出（信号 9）"},
        FailingHelper{"silent", "while read -r line; do :; done\nsleep 100\n", "渲染程序在期限内没有回应"},
        FailingHelper{"babbles", "read -r line\necho 'not an answer'\nsleep 100\n", "渲染程序的回应无法识别"},
        FailingHelper{"floods", "read -r line\nyes | tr -d '\\n'\n", "渲染程序的回应过长", 5000},
        FailingHelper{"grows", "read -r line\nx=$(head -c 200000000 /dev/zero | tr '\\0' a)\nsleep 100\n",
                      "渲染程序占用内存超过 64 MiB", 5000}),
    [](const ::testing::TestParamInfo<FailingHelper>& info) { return std::string(info.param.name); });

TEST_F(RenderSessionTest, AHelperThatStopsReadingFailsThePageWithoutHarmToTheProgram) {
  // It answers one job, then closes its input and lingers: writing the next job to it must fail, not raise
  // SIGPIPE, which would end the program.
  const std::string helper = Helper(
      "deaf", std::string("read -r line\n") + kReadId +
                  "printf '{\"id\":%s,\"html\":\"x\"}\\n' \"$id\"\nexec 0<&-\nsleep 100\n");
  RenderSession session(Settings(helper));
  EXPECT_EQ(session.Render(Job(), {}).html, "x");
  ASSERT_TRUE(test::Eventually([&] {
    const std::vector<pid_t> deaf = test::ChildrenNamed("deaf");
    if (deaf.empty()) return false;
    // The helper's input is closed once it holds no descriptor 0.
    std::error_code error;
    return !std::filesystem::exists("/proc/" + std::to_string(deaf[0]) + "/fd/0", error);
  }));
  EXPECT_EQ(session.Render(Job(), {}).failure, Utf8ToGbk("渲染程序不接收任务"));
  EXPECT_EQ(session.Render(Job(), {}).html, "x");
  EXPECT_EQ(session.Counts().helpersStarted, 2);
}

TEST_F(RenderSessionTest, AHelperThatCannotStartFailsThePageAtOnce) {
  RenderSession session(Settings((dir_ / "missing").string()));
  const RenderedPage rendered = session.Render(Job(), {});
  EXPECT_EQ(rendered.failure, Utf8ToGbk("找不到渲染程序 ") + (dir_ / "missing").string());
  EXPECT_EQ(session.Counts().helpersStarted, 0);
}

TEST_F(RenderSessionTest, AStopKillsTheHelperAtOnce) {
  RenderSettings settings = Settings(Helper("silent", "while read -r line; do :; done\nsleep 100\n"));
  settings.pageDeadline = std::chrono::seconds(60);
  std::stop_source stop;
  RenderSession session(settings, stop.get_token());
  std::thread page([&] { EXPECT_EQ(session.Render(Job(), stop.get_token()).failure, Utf8ToGbk("已停止")); });
  ASSERT_TRUE(test::Eventually([] { return test::ChildrenNamed("silent").size() == 1; }));
  const pid_t helper = test::ChildrenNamed("silent")[0];
  const auto asked = Clock::now();
  stop.request_stop();
  page.join();
  EXPECT_LT(Clock::now() - asked, milliseconds(1000));
  EXPECT_TRUE(test::Eventually([&] { return test::ProcessesInGroup(helper) == 0; }, milliseconds(1000)));
  session.End();
  EXPECT_LT(Clock::now() - asked, milliseconds(1000));
}

TEST_F(RenderSessionTest, AnIdleHelperIsKilledByAStopToo) {
  const std::string helper = Helper("answers-then-ignores-end",
                                    std::string("trap '' TERM\nwhile read -r line; do\n") + kReadId +
                                        "printf '{\"id\":%s,\"html\":\"x\"}\\n' \"$id\"\ndone\nsleep 100\n");
  std::stop_source stop;
  RenderSession session(Settings(helper), stop.get_token());
  EXPECT_EQ(session.Render(Job(), stop.get_token()).html, "x");
  const pid_t pid = test::ChildrenNamed("answers-then-ignores-end").at(0);
  const auto asked = Clock::now();
  stop.request_stop();
  EXPECT_TRUE(test::Eventually([&] { return test::ProcessesInGroup(pid) == 0; }, milliseconds(1000)));
  session.End();
  EXPECT_LT(Clock::now() - asked, milliseconds(1000));
}

TEST_F(RenderSessionTest, AHelperThatOutlivesItsInputIsKilledAtTheEndOfTheRound) {
  const std::string helper =
      Helper("lingers", std::string("while read -r line; do\n") + kReadId +
                            "printf '{\"id\":%s,\"html\":\"x\"}\\n' \"$id\"\ndone\nsleep 100 &\nsleep 100\n");
  RenderSession session(Settings(helper));
  EXPECT_EQ(session.Render(Job(), {}).html, "x");
  const pid_t pid = test::ChildrenNamed("lingers").at(0);
  const auto ending = Clock::now();
  session.End();
  EXPECT_LT(Clock::now() - ending, milliseconds(1500));
  // The helper and the process it left behind, both in its group.
  EXPECT_EQ(test::ProcessesInGroup(pid), 0);
}

}  // namespace
}  // namespace qw
