#pragma once
// The monitoring controls: 运行 starts and stops the cycles, 获取 / 超级按钮1 run one pass. Each run is a
// worker thread of its own; the window reads the tree and the frequency for it at its start and never waits
// for it, except for the moment of ending the program.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "extract/collect_scheme.h"
#include "fetch/http_fetcher.h"
#include "keywords/title_judge.h"
#include "monitor/scheme_locks.h"
#include "monitor/site_pauses.h"
#include "render/render_session.h"

class QLineEdit;
class QPushButton;
class QWidget;

namespace qw {
class HealthBook;
class StatusLog;
struct Storage;
}  // namespace qw

namespace qw::ui {

class Alert;
class CategoryTree;

// The times a monitoring run works with; tests shorten them.
struct MonitorTiming {
  // The wait between cycles for a frequency in seconds (its milliseconds by default).
  std::function<std::int32_t(std::int32_t seconds)> interval{};
  // After each stored article (400 ms and the window's events by default).
  std::function<void()> pauseAfterStore{};
  std::function<std::string()> timestamp{};
  FetchLimits fetchLimits{};
  // The renderer of schemes fetched through the browser (quillwatch-render beside the program by default).
  RenderSettings render{};
};

// The captions of 运行; which one it shows is whether monitoring runs.
QString RunCaptionStopped();
QString RunCaptionRunning();

class MonitorController final : public QObject {
  Q_OBJECT

 public:
  MonitorController(Storage& storage, CategoryTree& tree, QPushButton& run, QLineEdit& frequency,
                    StatusLog& log, Alert& alert, HealthBook& health, MonitorTiming timing, QWidget* window);
  // Stops every worker and waits for them, a second at most.
  ~MonitorController() override;

  // A click on 运行.
  void RunClicked();
  // A click on 获取 or 超级按钮1.
  void CollectClicked();

  bool Running() const;
  // Workers that have not ended yet.
  int ActiveWorkers() const;
  // Asks every worker to end; none writes a line or runs a statement after this returns.
  void StopAll();
  // Where each round reads the keyword lists of every scheme; called on the workers' threads.
  void SetEveryoneKeywords(std::function<KeywordLists()> read) { everyoneKeywords_ = std::move(read); }

 signals:
  // A worker has recorded a check of the scheme (or skipped it for its site's pause).
  void schemeHealthChanged(int id);

 private:
  struct Worker;

  // Builds the queue from the tree and starts a worker on it; nullptr for an empty queue.
  Worker* Start(int passKind, std::int32_t intervalMs);
  void Ended(Worker* worker);

  Storage& storage_;
  CategoryTree& tree_;
  QPushButton& run_;
  QLineEdit& frequency_;
  StatusLog& log_;
  Alert& alert_;
  HealthBook& health_;
  MonitorTiming timing_;
  std::function<KeywordLists()> everyoneKeywords_;
  QWidget* window_;
  SchemeLocks locks_;
  CompletedSchemes completed_;
  // Shared by every worker, so no pass asks a site that asked for a pause.
  SitePauses pauses_;
  std::list<std::unique_ptr<Worker>> workers_;
  Worker* monitoring_ = nullptr;
};

}  // namespace qw::ui
