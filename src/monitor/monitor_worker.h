#pragma once
// A monitoring worker: one pass over its queue of schemes, or cycles of passes with a wait between them
// until it is stopped.

#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "fetch/http_fetcher.h"
#include "keywords/title_judge.h"
#include "render/render_session.h"

namespace qw {

class CompletedSchemes;
class Connection;
class DatabaseBusy;
class HealthBook;
class PendingNews;
class SchemeCache;
class SchemeLocks;
class SitePauses;
class StatusLog;

// What a worker collects, and whether it repeats.
inline constexpr int kPassUnchecked = 0;  // one pass over the schemes whose box is not checked
inline constexpr int kPassMonitoring = 1; // cycles over the checked schemes
inline constexpr int kPassAll = 2;        // one pass over every scheme

// One item of the category tree, as the worker's queue is built from it.
struct TreeItem {
  int level = 0;
  int value = 0;
  int checked = 0;
};

// The scheme ids of the pass, in tree order: every scheme for kPassAll, otherwise those whose check state
// equals the pass kind.
std::vector<int> BuildQueue(const std::vector<TreeItem>& tree, int passKind);

struct MonitorContext {
  SchemeCache& cache;
  Connection& main;
  DatabaseBusy& busy;
  // The worker's own log; no line gets through once the worker is stopped.
  StatusLog& log;
  std::atomic<bool>& newArticleFlag;
  SchemeLocks& locks;
  // Which schemes' markers stand after all they stored; shared by every worker of the program.
  CompletedSchemes& completed;
  // At the end of a cycle that stored something: sound, tray icon, its status line, the flags. Not called
  // once the worker is stopped.
  std::function<void(StatusLog& log)> notifyNewContent{};
  FetchLimits fetchLimits{};
  // The renderer of the pages fetched through the browser: started by the first such page of a pass and
  // ended with the pass.
  RenderSettings render{};
  // Tests replace the 400 ms pause after each stored article and the time text.
  std::function<void()> pauseAfterStore{};
  std::function<std::string()> timestamp{};
  // Each scheme's check is recorded here, and the changes are written to the database at the end of every
  // pass; nothing is recorded without it.
  HealthBook* health = nullptr;
  // Sites that asked for a pause; their schemes are skipped meanwhile, with a line saying so.
  SitePauses* pauses = nullptr;
  // The stored articles, for the alert to tell.
  PendingNews* news = nullptr;
  // After a scheme's health changed; called on the worker's thread.
  std::function<void(int id)> healthChanged{};
  // The keyword lists of every scheme, read as each round starts (a scheme's own come from the cache).
  std::function<KeywordLists()> everyoneKeywords{};
};

// Runs the worker on the calling thread until its pass ends or, for kPassMonitoring, until stop. A stop
// ends it at its next step: between two schemes, between two statements of a scheme, or inside a wait.
void RunMonitorWorker(int passKind, const std::vector<int>& queue, std::int32_t intervalMs,
                      MonitorContext& context, std::stop_token stop);

}  // namespace qw
