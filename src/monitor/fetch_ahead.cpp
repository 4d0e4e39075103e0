#include "monitor/fetch_ahead.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "fetch/url.h"
#include "monitor/scheme_locks.h"
#include "monitor/site_pauses.h"
#include "render/render_session.h"
#include "storage/scheme_cache.h"

namespace qw {

FetchAhead::FetchAhead(const std::vector<int>& queue, SchemeCache& cache, SchemeLocks& locks,
                       const FetchLimits& limits, std::stop_token stop, SitePauses* pauses,
                       RenderSession* renderer)
    : queue_(queue),
      cache_(cache),
      locks_(locks),
      limits_(limits),
      pauses_(pauses),
      renderer_(renderer),
      forward_(std::move(stop), [this] { abort_.request_stop(); }) {
  {
    std::lock_guard lock(mutex_);
    while (window_.size() < std::min(kFetchAheadWindow, queue_.size())) Admit();
  }
  const std::size_t threads = std::min<std::size_t>(kTransfersInFlight, queue_.size());
  for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

FetchAhead::~FetchAhead() {
  abort_.request_stop();
  for (std::thread& thread : threads_) thread.join();
}

std::optional<FetchedPage> FetchAhead::Take(std::size_t index, const PageRequest& request,
                                            std::uint64_t endedPassesBefore) {
  std::unique_lock lock(mutex_);
  assert(index == head_ && !window_.empty());
  (void)index;
  Entry& entry = window_.front();
  if (entry.state == State::kWaiting) {
    // Not asked for yet (its site may have been paused): it is asked for now, with the values of this turn.
    SetRequest(entry, request);
    entry.atTurn = true;
    changed_.notify_all();
  }
  for (;;) {
    if (!WaitReady(lock, entry)) return std::nullopt;
    // The page fetched ahead is what the serial order would fetch now when it was asked with the values of
    // this turn (an edited scheme, or a cookie another pass merged, gives other values) and no other pass
    // over the scheme ran since (that pass may have moved the marker past what this page shows).
    if (entry.page &&
        (entry.atTurn || (entry.request == request && entry.endedPasses == endedPassesBefore))) {
      break;
    }
    Drop(entry);
    SetRequest(entry, request);
    entry.atTurn = true;
    entry.state = State::kWaiting;
    changed_.notify_all();
  }
  std::optional<FetchedPage> page = Release(entry);
  Advance();
  return page;
}

void FetchAhead::Skip(std::size_t index) {
  std::unique_lock lock(mutex_);
  assert(index == head_ && !window_.empty());
  (void)index;
  Entry& entry = window_.front();
  if (entry.state == State::kWaiting) entry.state = State::kReady;
  if (!WaitReady(lock, entry)) return;
  Drop(entry);
  Advance();
}

void FetchAhead::SetRequest(Entry& entry, const PageRequest& request) {
  entry.request = request;
  entry.host = UrlHost(request.url);
  entry.site = SiteOf(request.url);
}

// With mutex_ held: the entry gives up its page, if any, which no longer counts as held.
std::optional<FetchedPage> FetchAhead::Release(Entry& entry) {
  if (entry.page) heldBytes_ -= entry.page->text.size();
  return std::exchange(entry.page, std::nullopt);
}

void FetchAhead::Drop(Entry& entry) { Release(entry); }

// With mutex_ held.
void FetchAhead::Admit() {
  Entry entry;
  entry.index = head_ + window_.size();
  entry.id = queue_[entry.index];
  // The values are read as the entry comes into the window; Take compares them with those of its turn.
  if (const std::optional<SchemeRow> row = cache_.Row(entry.id)) {
    SetRequest(entry, PageRequestOf(*row, cache_.Options(entry.id)));
  } else {
    entry.state = State::kReady;
  }
  window_.push_back(std::move(entry));
}

// With mutex_ held: the head entry leaves the window and the next queue entry comes in.
void FetchAhead::Advance() {
  window_.pop_front();
  ++head_;
  if (head_ + window_.size() < queue_.size()) Admit();
  changed_.notify_all();
}

// With mutex_ held: the first waiting entry in queue order whose host has room, when the pool has room and,
// for a later turn than the next, the held pages leave room.
FetchAhead::Entry* FetchAhead::Next() {
  if (inFlight_ >= kTransfersInFlight) return nullptr;
  for (Entry& entry : window_) {
    if (entry.state != State::kWaiting) continue;
    if (entry.index != head_ && heldBytes_ >= kFetchAheadBytes) return nullptr;
    if (!entry.atTurn && pauses_ != nullptr && pauses_->PausedUntil(entry.site)) continue;
    // Pages through the browser wait for a free renderer slot; the plain ones behind them go on meanwhile.
    if (entry.request && entry.request->render && rendering_ >= kRendersAtOnce) continue;
    const auto found = perHost_.find(entry.host);
    if (found == perHost_.end() || found->second < kTransfersPerHost) return &entry;
  }
  return nullptr;
}

bool FetchAhead::WaitReady(std::unique_lock<std::mutex>& lock, Entry& entry) {
  return changed_.wait(lock, abort_.get_token(), [&] { return entry.state == State::kReady; });
}

void FetchAhead::Work() {
  const std::stop_token abort = abort_.get_token();
  std::unique_lock lock(mutex_);
  for (;;) {
    Entry* entry = nullptr;
    // Once stopped, the wait still reports whether an entry is waiting; no transfer starts then.
    if (!changed_.wait(lock, abort, [&] { return (entry = Next()) != nullptr; }) || abort.stop_requested()) {
      return;
    }
    if (!entry->atTurn) {
      // While another pass holds the scheme, the page would be judged on a marker that pass has not left yet,
      // and asked with a cookie it is about to replace: it is asked for at the scheme's turn instead. This
      // pass's own hold is that turn.
      const std::optional<std::uint64_t> ended = locks_.EndedPassesUnlessHeldByOther(entry->id, this);
      if (!ended) {
        entry->state = State::kReady;
        changed_.notify_all();
        continue;
      }
      entry->endedPasses = *ended;
    }
    entry->state = State::kInFlight;
    const std::size_t index = entry->index;
    const PageRequest request = *entry->request;
    const std::string host = entry->host;
    const std::string site = entry->site;
    ++inFlight_;
    ++perHost_[host];
    if (request.render) ++rendering_;

    // Nothing shared is touched during the transfer; the page waits in its entry for its turn, and so does
    // the merged cookie, which only the judging step writes back.
    lock.unlock();
    FetchedPage page = FetchSchemePage(request, limits_, abort, renderer_);
    // A site that asks for a pause gets it before any other of its pages is asked for.
    if (pauses_ != nullptr) pauses_->Answered(site, page.fetch.status, page.fetch.retryAfter);
    lock.lock();

    if (request.render) --rendering_;
    --inFlight_;
    if (--perHost_[host] == 0) perHost_.erase(host);
    // Still in the window: Take and Skip wait for the entry to be ready before it leaves.
    Entry& done = window_[index - head_];
    heldBytes_ += page.text.size();
    done.page = std::move(page);
    done.state = State::kReady;
    changed_.notify_all();
  }
}

}  // namespace qw
