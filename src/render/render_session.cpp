#include "render/render_session.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "render/renderer_process.h"
#include "text/encoding.h"

namespace qw {
namespace {

using Clock = std::chrono::steady_clock;

// How often the memory of a helper with pages out is looked at.
constexpr std::chrono::milliseconds kSampleEvery{200};
// How long an ending helper has to go on its own before it is killed.
constexpr std::chrono::milliseconds kEndGrace{500};

constexpr const char* kHelperName = "quillwatch-render";

std::string Mebibytes(std::size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

RenderedPage Failed(std::string why) {
  RenderedPage page;
  page.failure = std::move(why);
  return page;
}

}  // namespace

std::string RendererBesideProgram() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return (program.parent_path() / kHelperName).string();
}

struct RenderSession::Helper {
  std::unique_ptr<RendererProcess> process;
  std::thread reader;
  // The fields below are guarded by the session's mutex.
  // Takes new pages: not ending, not killed, not gone.
  bool open = true;
  bool killed = false;
  // The reading thread has passed its last use of the session.
  bool readerDone = false;
};

struct RenderSession::Waiter {
  Helper* helper = nullptr;
  std::optional<RenderAnswer> answer;
  std::string failure;
  bool done = false;
};

RenderSession::RenderSession(RenderSettings settings, std::stop_token stop)
    : settings_(std::move(settings)), stopped_(std::move(stop), [this] {
        std::lock_guard lock(mutex_);
        if (current_) Fail(*current_, QW_GBK("已停止"));
      }) {}

RenderSession::~RenderSession() { End(); }

RenderSession::Figures RenderSession::Counts() const {
  std::lock_guard lock(mutex_);
  return figures_;
}

// With mutex_ held: the helper that takes the next page, started when there is none that does.
std::shared_ptr<RenderSession::Helper> RenderSession::HelperForPage(std::string& why) {
  if (current_ && current_->open) return current_;
  if (current_) retired_.push_back(std::exchange(current_, nullptr));
  const std::string path = settings_.helperPath.empty() ? RendererBesideProgram() : settings_.helperPath;
  std::unique_ptr<RendererProcess> process = RendererProcess::Start(path, why);
  if (!process) return nullptr;
  auto helper = std::make_shared<Helper>();
  helper->process = std::move(process);
  helper->reader = std::thread([this, helper] { Read(helper); });
  ++figures_.helpersStarted;
  current_ = helper;
  return helper;
}

RenderedPage RenderSession::Render(RenderJob job, std::stop_token stop) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait(lock, stop, [&] { return rendering_ < kRendersAtOnce; }))
    return Failed(QW_GBK("已停止"));
  ++rendering_;
  struct Turn {
    RenderSession& session;
    ~Turn() {
      --session.rendering_;
      session.changed_.notify_all();
    }
  } turn{*this};

  std::string why;
  const std::shared_ptr<Helper> helper = HelperForPage(why);
  if (!helper) return Failed(why);

  job.id = nextId_++;
  job.deadlineMs = settings_.pageDeadline.count();
  job.quietMs = settings_.quietTime.count();
  job.maxBytes = settings_.maxDocumentBytes;
  Waiter waiter;
  waiter.helper = helper.get();
  waiters_[job.id] = &waiter;
  struct Leave {
    RenderSession& session;
    std::uint64_t id;
    ~Leave() { session.waiters_.erase(id); }
  } leave{*this, job.id};

  if (!helper->process->Send(EncodeRenderJob(job) + '\n')) Fail(*helper, QW_GBK("渲染程序不接收任务"));
  // A stop kills the helper at once, without waiting for this thread to wake.
  std::stop_callback onStop(stop, [&helper] { helper->process->Kill(); });
  const Clock::time_point deadline = Clock::now() + settings_.pageDeadline + settings_.answerGrace;
  changed_.wait_until(lock, stop, deadline, [&] { return waiter.done; });
  if (!waiter.done) {
    Fail(*helper, stop.stop_requested() ? QW_GBK("已停止") : QW_GBK("渲染程序在期限内没有回应"));
  }
  if (!waiter.answer) return Failed(waiter.failure);

  RenderedPage page;
  page.status = waiter.answer->status;
  page.deadlineHit = waiter.answer->deadlineHit;
  page.cookies = std::move(waiter.answer->cookies);
  if (!waiter.answer->error.empty()) {
    page.failure = Utf8ToGbk(waiter.answer->error);
  } else {
    page.html = std::move(waiter.answer->html);
  }
  return page;
}

// With mutex_ held: the helper takes no further page, is killed unless it has gone, and its pages fail with
// why.
void RenderSession::Fail(Helper& helper, const std::string& why) {
  helper.open = false;
  if (!helper.killed && !helper.readerDone) {
    helper.killed = true;
    helper.process->Kill();
  }
  for (auto& [id, waiter] : waiters_) {
    if (waiter->helper != &helper || waiter->done) continue;
    waiter->failure = why;
    waiter->done = true;
  }
  changed_.notify_all();
}

void RenderSession::Read(std::shared_ptr<Helper> helper) {
  const int output = helper->process->Output();
  // An answer holds the document escaped, at most six bytes for each of its bytes.
  const std::size_t longest = settings_.maxDocumentBytes * 6 + (1u << 20);
  std::string buffer;
  std::size_t searched = 0;
  bool discarding = false;
  std::string why;
  Clock::time_point sampled{};
  auto failHelper = [&](std::string reason) {
    if (!why.empty()) return;
    why = std::move(reason);
    std::lock_guard lock(mutex_);
    Fail(*helper, why);
  };

  for (;;) {
    pollfd readable{output, POLLIN, 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(kSampleEvery.count()));
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0) {
      char chunk[1 << 16];
      const ssize_t n = ::read(output, chunk, sizeof chunk);
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
      if (n > 0 && !discarding) buffer.append(chunk, static_cast<std::size_t>(n));
      for (std::size_t end; !discarding && (end = buffer.find('\n', searched)) != std::string::npos;) {
        std::optional<RenderAnswer> answer = DecodeRenderAnswer(std::string_view(buffer).substr(0, end));
        buffer.erase(0, end + 1);
        searched = 0;
        if (!answer) {
          failHelper(QW_GBK("渲染程序的回应无法识别"));
          continue;
        }
        std::lock_guard lock(mutex_);
        const auto found = waiters_.find(answer->id);
        if (found != waiters_.end() && found->second->helper == helper.get() && !found->second->done) {
          found->second->answer = std::move(*answer);
          found->second->done = true;
          changed_.notify_all();
        }
      }
      searched = buffer.size();
      if (buffer.size() > longest) {
        discarding = true;
        buffer.clear();
        failHelper(QW_GBK("渲染程序的回应过长"));
      }
    }
    if (Clock::now() - sampled < kSampleEvery) continue;
    sampled = Clock::now();
    bool pagesOut = false;
    {
      std::lock_guard lock(mutex_);
      for (const auto& [id, waiter] : waiters_)
        pagesOut = pagesOut || (waiter->helper == helper.get() && !waiter->done);
    }
    if (!pagesOut) continue;
    const std::size_t memory = helper->process->GroupMemory();
    {
      std::lock_guard lock(mutex_);
      figures_.peakMemory = std::max(figures_.peakMemory, memory);
    }
    if (memory > settings_.memoryLimit) {
      failHelper(QW_GBK("渲染程序占用内存超过 ") + Mebibytes(settings_.memoryLimit));
    }
  }

  // The helper has closed its output: it is ending, or has ended.
  const std::string ended = helper->process->Reap(kEndGrace);
  std::lock_guard lock(mutex_);
  if (why.empty() && !helper->killed) why = QW_GBK("渲染程序意外退出（") + ended + QW_GBK("）");
  if (!why.empty()) Fail(*helper, why);
  helper->open = false;
  helper->readerDone = true;
  changed_.notify_all();
}

void RenderSession::End() {
  std::vector<std::shared_ptr<Helper>> helpers;
  {
    std::unique_lock lock(mutex_);
    if (current_) {
      current_->open = false;
      current_->process->CloseInput();
      retired_.push_back(std::exchange(current_, nullptr));
    }
    changed_.wait_for(lock, kEndGrace, [&] {
      return std::all_of(retired_.begin(), retired_.end(),
                         [](const auto& helper) { return helper->readerDone; });
    });
    for (const auto& helper : retired_) {
      if (!helper->readerDone) Fail(*helper, QW_GBK("渲染已结束"));
    }
    helpers.swap(retired_);
  }
  // The reading threads end once their helper's output ends, which the kill above brings at the latest.
  for (const auto& helper : helpers) {
    if (helper->reader.joinable()) helper->reader.join();
  }
}

}  // namespace qw
