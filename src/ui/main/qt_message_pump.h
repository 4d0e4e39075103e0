#pragma once
// The window thread's event processing for the core's waits.

#include "text/waiting.h"

namespace qw::ui {

class QtMessagePump final : public MessagePump {
 public:
  void ProcessPending() override;
  void ProcessUntil(SteadyTime deadline) override;
  void ProcessNonInputUntil(SteadyTime deadline) override;
};

// Installs a QtMessagePump on the calling thread for the object's lifetime.
class ScopedQtMessagePump {
 public:
  ScopedQtMessagePump() { InstallMessagePump(&pump_); }
  ~ScopedQtMessagePump() { InstallMessagePump(nullptr); }
  ScopedQtMessagePump(const ScopedQtMessagePump&) = delete;
  ScopedQtMessagePump& operator=(const ScopedQtMessagePump&) = delete;

 private:
  QtMessagePump pump_;
};

}  // namespace qw::ui
