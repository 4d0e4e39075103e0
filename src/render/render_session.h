#pragma once
// The renderer of one round: a helper process started when the round's first page to render needs it, which
// renders that round's pages (two at most at once, further callers waiting their turn) and ends with the
// round, so that no engine process lives between rounds.
//
// Nothing can hold a caller: every page has its deadline, after which the helper has a grace to hand over
// what has rendered; a helper that misses it, crashes, floods its output or grows past its memory ceiling is
// killed with its whole process group, its pages fail with the reason, and the next page starts a fresh one.
// A stop kills the helper at once.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "render/render_protocol.h"

namespace qw {

// Pages rendering at once in one helper.
inline constexpr int kRendersAtOnce = 2;

// Limits of rendering; tests pass short ones.
struct RenderSettings {
  // The helper executable; empty for quillwatch-render beside the running program.
  std::string helperPath;
  // From the start of a page's load: past it, what has rendered is used.
  std::chrono::milliseconds pageDeadline{20'000};
  // A page has settled once it finished loading and made no request for this long.
  std::chrono::milliseconds quietTime{500};
  // Past a page's deadline, how long the helper has to answer before it counts as hung.
  std::chrono::milliseconds answerGrace{5'000};
  // The anonymous resident memory of the helper and its engine processes together; past it the helper is
  // ended.
  std::size_t memoryLimit = 768u << 20;
  // A longer document is cut to this many bytes.
  std::size_t maxDocumentBytes = 64u << 20;
};

// quillwatch-render beside the running program.
std::string RendererBesideProgram();

// A page as the helper handed it back.
struct RenderedPage {
  // UTF-8 document; empty on failure.
  std::string html;
  // UTF-8 cookies the page's host set ("name=value; name=deleted").
  std::string cookies;
  int status = 0;
  bool deadlineHit = false;
  // Why there is no page, in GBK; empty when there is one.
  std::string failure;
};

class RenderSession {
 public:
  // A stop kills the helper at once, whatever it is doing.
  explicit RenderSession(RenderSettings settings = {}, std::stop_token stop = {});
  // Ends the helper (End).
  ~RenderSession();
  RenderSession(const RenderSession&) = delete;
  RenderSession& operator=(const RenderSession&) = delete;

  // Renders one page (its id and limits are filled in here) and blocks until its answer, its failure, or
  // stop, which kills the helper at once. Any thread may call it.
  RenderedPage Render(RenderJob job, std::stop_token stop);

  // Ends the helper: it gets its input closed and a moment to end, then whatever of its group is left is
  // killed. A later Render starts a fresh one.
  void End();

  // What the session has seen so far.
  struct Figures {
    int helpersStarted = 0;
    // The highest memory of a helper's group sampled while it rendered, in bytes.
    std::size_t peakMemory = 0;
  };
  Figures Counts() const;

 private:
  struct Helper;
  struct Waiter;

  std::shared_ptr<Helper> HelperForPage(std::string& why);
  void Read(std::shared_ptr<Helper> helper);
  void Fail(Helper& helper, const std::string& why);

  const RenderSettings settings_;
  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  std::shared_ptr<Helper> current_;
  // Helpers killed or ended, whose reading threads are still to be joined.
  std::vector<std::shared_ptr<Helper>> retired_;
  std::map<std::uint64_t, Waiter*> waiters_;
  int rendering_ = 0;
  std::uint64_t nextId_ = 1;
  Figures figures_;
  // Last, so that it goes first: no stop reaches a half-destroyed session.
  std::stop_callback<std::function<void()>> stopped_;
};

}  // namespace qw
