#include "browser/render_server.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>

#include "browser/page_render.h"

namespace qw::browser {
namespace {

// A job is a short line; anything longer is not one.
constexpr std::size_t kLongestJobLine = 1u << 20;

}  // namespace

RenderServer::RenderServer(int input, int output, QObject* parent)
    : QObject(parent), input_(input), output_(output), notifier_(input, QSocketNotifier::Read) {
  connect(&notifier_, &QSocketNotifier::activated, this, &RenderServer::ReadInput);
}

void RenderServer::ReadInput() {
  char bytes[4096];
  const ssize_t n = ::read(input_, bytes, sizeof bytes);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) {
    // The program has ended the round, or has gone: the pages end with the helper.
    notifier_.setEnabled(false);
    QCoreApplication::exit(0);
    return;
  }
  pending_.append(bytes, static_cast<std::size_t>(n));
  for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1)) {
    if (std::optional<RenderJob> job = DecodeRenderJob(std::string_view(pending_).substr(0, end))) {
      waiting_.push_back(std::move(*job));
    } else {
      std::fputs("quillwatch-render: a line that is not a job was ignored\n", stderr);
    }
  }
  if (pending_.size() > kLongestJobLine) pending_.clear();
  StartWaiting();
}

void RenderServer::StartWaiting() {
  while (rendering_ < kPagesAtOnce && !waiting_.empty()) {
    auto* page = new PageRender(std::move(waiting_.front()), this);
    waiting_.pop_front();
    ++rendering_;
    connect(page, &PageRender::finished, this,
            [this, page](const RenderAnswer& answer) { Answer(page, answer); });
    page->Start();
  }
}

void RenderServer::Answer(PageRender* page, const RenderAnswer& answer) {
  WriteLine(EncodeRenderAnswer(answer) + '\n');
  --rendering_;
  // Not inside the page's own signal: the page and its renderer go once the event loop is back.
  page->deleteLater();
  StartWaiting();
}

void RenderServer::WriteLine(const std::string& line) {
  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(output_, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // The program no longer listens.
      QCoreApplication::exit(0);
      return;
    }
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace qw::browser
