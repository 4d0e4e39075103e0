#pragma once
// The pages of one pass over a queue, fetched ahead of the scheme being judged.
//
// A small fixed pool of fetch threads asks for the queue's pages in queue order, within a bounded window
// ahead of the worker, a few at a time per site. The worker still judges, stores and logs one scheme after
// the other in queue order; only the moment a page is requested changes. A page fetched ahead is used at its
// scheme's turn only when it is exactly what the serial order would have fetched then (see Take); otherwise
// it is asked for again at that turn.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "extract/collect_scheme.h"
#include "fetch/http_fetcher.h"

namespace qw {

class RenderSession;
class SchemeCache;
class SchemeLocks;
class SitePauses;

// Transfers in flight at once: over all sites, and per host name of the scheme's address.
inline constexpr int kTransfersInFlight = 16;
inline constexpr int kTransfersPerHost = 4;
// Queue entries, from the next one to be judged on, whose pages may be in flight or held: it bounds the pages
// in memory whatever the length of the queue. Wide enough to keep 16 transfers going over a queue that takes
// one site's boards one after the other.
inline constexpr std::size_t kFetchAheadWindow = 64;
// Once the pages held for later turns reach this size, only the page of the next turn is asked for, so large
// pages do not fill the memory either.
inline constexpr std::size_t kFetchAheadBytes = 32u << 20;

class FetchAhead {
 public:
  // Starts fetching at once. The pass holds each scheme for this object as its owner (SchemeLocks), so that
  // its own holds are told from those of other passes. queue must outlive this object. A stop aborts the
  // transfers in flight. With pauses, an answer that asks its site for a pause starts one at once, and no
  // page of a paused site is asked for ahead of its turn (the turn decides whether it is skipped). Pages
  // through the browser go to renderer, at most kRendersAtOnce at a time, in queue order with the others;
  // renderer must outlive this object.
  FetchAhead(const std::vector<int>& queue, SchemeCache& cache, SchemeLocks& locks, const FetchLimits& limits,
             std::stop_token stop, SitePauses* pauses = nullptr, RenderSession* renderer = nullptr);
  // Aborts the transfers still in flight and ends the fetch threads.
  ~FetchAhead();
  FetchAhead(const FetchAhead&) = delete;
  FetchAhead& operator=(const FetchAhead&) = delete;

  // The page of queue entry index at its turn, entries taken in queue order. The caller holds the scheme
  // (its hold counted endedPassesBefore) and passes the request values the cache holds for it now. The page
  // fetched ahead is handed over when it was asked with those values and no other pass over the scheme ran
  // since; otherwise it is asked for again now, taking the next free transfer. Nothing once stopped.
  std::optional<FetchedPage> Take(std::size_t index, const PageRequest& request,
                                  std::uint64_t endedPassesBefore);
  // Moves past queue entry index without its page: the cache does not hold its scheme, or its site is
  // paused. A page not asked for yet is not asked for any more.
  void Skip(std::size_t index);

 private:
  enum class State { kWaiting, kInFlight, kReady };
  struct Entry {
    std::size_t index = 0;
    int id = 0;
    State state = State::kWaiting;
    // Nothing when the cache did not hold the scheme as the entry came into the window.
    std::optional<PageRequest> request;
    std::string host;
    // The host with its port, as site pauses name it.
    std::string site;
    // Asked for at the scheme's turn, with the values of that turn.
    bool atTurn = false;
    // The passes over the scheme that had ended when the page was asked for ahead of its turn.
    std::uint64_t endedPasses = 0;
    // Nothing when the page was not asked for.
    std::optional<FetchedPage> page;
  };

  void Admit();
  void Advance();
  std::optional<FetchedPage> Release(Entry& entry);
  void SetRequest(Entry& entry, const PageRequest& request);
  void Drop(Entry& entry);
  Entry* Next();
  void Work();
  bool WaitReady(std::unique_lock<std::mutex>& lock, Entry& entry);

  const std::vector<int>& queue_;
  SchemeCache& cache_;
  SchemeLocks& locks_;
  const FetchLimits limits_;
  SitePauses* pauses_;
  RenderSession* const renderer_;
  std::stop_source abort_;
  std::stop_callback<std::function<void()>> forward_;

  std::mutex mutex_;
  std::condition_variable_any changed_;
  // Queue entries head_ onwards, at most kFetchAheadWindow of them.
  std::deque<Entry> window_;
  std::size_t head_ = 0;
  int inFlight_ = 0;
  // Of those, the pages rendering.
  int rendering_ = 0;
  // The text bytes of the pages held in the window.
  std::size_t heldBytes_ = 0;
  std::map<std::string, int> perHost_;
  std::vector<std::thread> threads_;
};

}  // namespace qw
