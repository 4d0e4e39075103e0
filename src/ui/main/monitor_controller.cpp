#include "ui/main/monitor_controller.h"

#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "monitor/monitor_worker.h"
#include "log/status_log.h"
#include "monitor/stoppable_log.h"
#include "storage/storage.h"
#include "text/gbk_text.h"
#include "ui/main/alert.h"
#include "ui/main/category_tree.h"
#include "ui/main/gbk_text.h"
#include "ui/main/message_boxes.h"

namespace qw::ui {
namespace {

constexpr std::int32_t kLowestFrequency = 10;
// Ending the program waits this long for its workers.
constexpr std::chrono::milliseconds kEndingGrace{1000};

}  // namespace

QString RunCaptionStopped() { return QStringLiteral("监控勾选"); }
QString RunCaptionRunning() { return QStringLiteral("停止监控"); }

struct MonitorController::Worker {
  explicit Worker(StatusLog& target) : log(target, stop) {}
  std::stop_source stop;
  StoppableLog log;
  std::atomic<bool> ended{false};
  std::thread thread;
};

MonitorController::MonitorController(Storage& storage, CategoryTree& tree, QPushButton& run,
                                     QLineEdit& frequency, StatusLog& log, Alert& alert, HealthBook& health,
                                     MonitorTiming timing, QWidget* window)
    : storage_(storage),
      tree_(tree),
      run_(run),
      frequency_(frequency),
      log_(log),
      alert_(alert),
      health_(health),
      timing_(std::move(timing)),
      window_(window) {
  if (!timing_.interval) timing_.interval = [](std::int32_t seconds) { return seconds * 1000; };
}

MonitorController::~MonitorController() {
  StopAll();
  const auto deadline = std::chrono::steady_clock::now() + kEndingGrace;
  for (const auto& worker : workers_) {
    while (!worker->ended.load() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!worker->ended.load()) {
      // A worker deep in a wait that knows no stop: the process ends around it rather than hang. Nothing is
      // lost; the database's journal keeps every statement whole.
      std::fputs("quillwatch: a monitoring worker did not end in time; leaving without it\n", stderr);
      std::_Exit(0);
    }
    worker->thread.join();
  }
}

bool MonitorController::Running() const { return run_.text() == RunCaptionRunning(); }

int MonitorController::ActiveWorkers() const {
  int active = 0;
  for (const auto& worker : workers_) active += worker->ended.load() ? 0 : 1;
  return active;
}

void MonitorController::RunClicked() {
  // The frequency is checked first, on a stop click too.
  const std::int32_t seconds = ToInteger(ToGbk(frequency_.text()));
  if (seconds < kLowestFrequency || seconds > std::numeric_limits<std::int32_t>::max() / 1000) {
    ShowMessage(window_, QStringLiteral("监控频率不能低于 10 秒"));
    frequency_.setText(QString::number(kLowestFrequency));
    return;
  }
  if (!Running()) {
    run_.setText(RunCaptionRunning());
    monitoring_ = Start(kPassMonitoring, timing_.interval(seconds));
    return;
  }
  // The click does not wait for the worker; the caption changes at once.
  if (monitoring_ != nullptr) monitoring_->log.Stop();
  monitoring_ = nullptr;
  run_.setText(RunCaptionStopped());
}

void MonitorController::CollectClicked() { Start(Running() ? kPassUnchecked : kPassAll, 0); }

MonitorController::Worker* MonitorController::Start(int passKind, std::int32_t intervalMs) {
  // The queue is read once, here on the window's thread; later ticks do not change it.
  const std::vector<int> queue = BuildQueue(tree_.Items(), passKind);
  if (queue.empty()) {
    ShowMessage(window_, QStringLiteral("执行队列为空！"));
    return nullptr;
  }
  auto& worker = *workers_.emplace_back(std::make_unique<Worker>(log_));
  Worker* raw = &worker;
  worker.thread = std::thread([this, raw, passKind, queue, intervalMs] {
    MonitorContext context{storage_.schemes, storage_.mainConnection, storage_.busy,
                           raw->log,         alert_.NewArticleFlag(), locks_, completed_};
    context.notifyNewContent = [this](StatusLog& log) {
      alert_.NotifyNewContent(log, timing_.timestamp ? timing_.timestamp() : TimestampText());
    };
    context.fetchLimits = timing_.fetchLimits;
    context.render = timing_.render;
    context.pauseAfterStore = timing_.pauseAfterStore;
    context.timestamp = timing_.timestamp;
    context.health = &health_;
    context.pauses = &pauses_;
    context.news = &alert_.News();
    context.healthChanged = [this](int id) {
      QMetaObject::invokeMethod(this, [this, id] { emit schemeHealthChanged(id); }, Qt::QueuedConnection);
    };
    context.everyoneKeywords = everyoneKeywords_;
    RunMonitorWorker(passKind, queue, intervalMs, context, raw->stop.get_token());
    raw->ended.store(true);
    QMetaObject::invokeMethod(
        this, [this, raw] { Ended(raw); }, Qt::QueuedConnection);
  });
  return raw;
}

void MonitorController::Ended(Worker* worker) {
  for (auto it = workers_.begin(); it != workers_.end(); ++it) {
    if (it->get() != worker) continue;
    (*it)->thread.join();
    if (monitoring_ == worker) monitoring_ = nullptr;
    workers_.erase(it);
    return;
  }
}

void MonitorController::StopAll() {
  for (const auto& worker : workers_) worker->log.Stop();
}

}  // namespace qw::ui
