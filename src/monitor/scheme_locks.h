#pragma once
// Keeps two workers from collecting the same scheme at the same moment: a later pass over a scheme waits
// for the earlier one to end and then works on the marker that pass left.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>

namespace qw {

class SchemeLocks {
 public:
  // The right to collect one scheme, given back at scope end.
  class Hold {
   public:
    Hold(Hold&& other) noexcept : locks_(other.locks_), id_(other.id_) { other.locks_ = nullptr; }
    Hold& operator=(Hold&&) = delete;
    ~Hold();

   private:
    friend class SchemeLocks;
    Hold(SchemeLocks* locks, int id) : locks_(locks), id_(id) {}
    SchemeLocks* locks_;
    int id_;
  };

  // Waits until no other pass holds scheme id, then holds it. False when stop was requested first.
  bool Acquire(int id, std::stop_token stop, std::optional<Hold>& hold);

 private:
  void Release(int id);

  std::mutex mutex_;
  std::condition_variable_any released_;
  std::set<int> busy_;
};

}  // namespace qw
