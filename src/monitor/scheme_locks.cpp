#include "monitor/scheme_locks.h"

namespace qw {

SchemeLocks::Hold::~Hold() {
  if (locks_ != nullptr) locks_->Release(id_);
}

bool SchemeLocks::Acquire(int id, std::stop_token stop, std::optional<Hold>& hold, const void* owner) {
  std::unique_lock lock(mutex_);
  ++waiting_[id];
  const bool free = released_.wait(lock, stop, [&] { return !busy_.contains(id); });
  if (--waiting_[id] == 0) waiting_.erase(id);
  if (!free) return false;
  busy_.emplace(id, owner);
  hold.emplace(Hold(this, id, ended_[id]));
  return true;
}

std::optional<std::uint64_t> SchemeLocks::EndedPassesUnlessHeldByOther(int id, const void* owner) {
  std::lock_guard lock(mutex_);
  const auto held = busy_.find(id);
  if (held != busy_.end() && held->second != owner) return std::nullopt;
  const auto found = ended_.find(id);
  return found == ended_.end() ? 0 : found->second;
}

int SchemeLocks::Waiting(int id) {
  std::lock_guard lock(mutex_);
  const auto found = waiting_.find(id);
  return found == waiting_.end() ? 0 : found->second;
}

void SchemeLocks::Release(int id) {
  {
    std::lock_guard lock(mutex_);
    busy_.erase(id);
    ++ended_[id];
  }
  released_.notify_all();
}

}  // namespace qw
