#pragma once
// Runs a test case as a user whom file permissions bind. Root reads and writes whatever the mode bits say, so
// a case about an unreadable file or a read-only directory shows nothing when the tests run as root (as they
// do in CI). There the case runs in a child process that has dropped to the user and group nobody; for any
// other user it runs in the test's own process.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir.h"

namespace qw::test {

// Calls body with a fresh directory the unprivileged user owns. The body reports through gtest's assertions
// as usual: in the child failures print as they happen, and the child's exit status carries whether any
// failed back to the test; a skip in the body skips the test, with the body's reason.
inline void RunUnprivileged(const std::function<void(const std::filesystem::path& dir)>& body) {
  TempDir dir;
  if (geteuid() != 0) {
    body(dir.path());
    return;
  }

  constexpr uid_t kNobody = 65534;
  constexpr gid_t kNoGroup = 65534;
  ASSERT_EQ(chown(dir.path().c_str(), kNobody, kNoGroup), 0);
  const testing::TestResult& result = *testing::UnitTest::GetInstance()->current_test_info()->result();
  const int partsBefore = result.total_part_count();
  int reasons[2];  // the child's reasons for a skip
  ASSERT_EQ(pipe(reasons), 0);
  std::fflush(nullptr);  // nothing buffered may print twice
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(reasons[0]);
    if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0 || geteuid() == 0) {
      std::perror("dropping to the user nobody");
      std::fflush(nullptr);
      _exit(3);
    }
    try {
      body(dir.path());
    } catch (const std::exception& e) {
      ADD_FAILURE() << "exception: " << e.what();
    }
    int status = 0;
    for (int i = partsBefore; i < result.total_part_count(); ++i) {
      const testing::TestPartResult& part = result.GetTestPartResult(i);
      if (part.failed()) status = 1;
      if (part.skipped()) {
        if (status == 0) status = 2;
        const std::string reason = std::string(part.message()) + "\n";
        if (write(reasons[1], reason.data(), reason.size()) < 0) status = 1;
      }
    }
    std::fflush(nullptr);
    _exit(status);  // neither the remaining tests nor the exit handlers run in the child
  }

  close(reasons[1]);
  std::string reason;
  char buffer[256];
  for (ssize_t n; (n = read(reasons[0], buffer, sizeof buffer)) > 0;) reason.append(buffer, n);
  close(reasons[0]);
  if (!reason.empty() && reason.back() == '\n') reason.pop_back();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the case ended by signal " << WTERMSIG(status) << " as the user nobody";
  switch (WEXITSTATUS(status)) {
    case 0:
      return;
    case 2:
      GTEST_SKIP() << reason;
    case 3:
      FAIL() << "could not drop to the user nobody";
    default:
      FAIL() << "the case failed as the user nobody (see the failures above)";
  }
}

}  // namespace qw::test
