#include "ui/main/qt_message_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>

namespace qw::ui {
namespace {

// Handles one batch of events, sleeping until something arrives or the deadline passes.
void WaitForEvents(SteadyTime deadline, QEventLoop::ProcessEventsFlags flags) {
  using namespace std::chrono;
  const auto remaining = ceil<milliseconds>(deadline - steady_clock::now());
  if (remaining.count() <= 0) {
    QCoreApplication::processEvents(flags);
    return;
  }
  // The timer only wakes the wait at the deadline; it does nothing itself.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  wake.start(static_cast<int>(std::min<milliseconds::rep>(remaining.count(), 1'000'000)));
  QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
}

}  // namespace

void QtMessagePump::ProcessPending() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtMessagePump::ProcessUntil(SteadyTime deadline) { WaitForEvents(deadline, QEventLoop::AllEvents); }

void QtMessagePump::ProcessNonInputUntil(SteadyTime deadline) {
  WaitForEvents(deadline, QEventLoop::ExcludeUserInputEvents);
}

}  // namespace qw::ui
