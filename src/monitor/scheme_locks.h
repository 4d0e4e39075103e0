#pragma once
// Keeps two workers from collecting the same scheme at the same moment: a later pass over a scheme waits
// for the earlier one to end and then works on the marker that pass left.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>

namespace qw {

class SchemeLocks {
 public:
  // The right to collect one scheme, given back at scope end.
  class Hold {
   public:
    Hold(Hold&& other) noexcept
        : locks_(other.locks_), id_(other.id_), endedPassesBefore_(other.endedPassesBefore_) {
      other.locks_ = nullptr;
    }
    Hold& operator=(Hold&&) = delete;
    ~Hold();

    // How many passes over the scheme had ended when this hold was taken.
    std::uint64_t EndedPassesBefore() const { return endedPassesBefore_; }

   private:
    friend class SchemeLocks;
    Hold(SchemeLocks* locks, int id, std::uint64_t endedPassesBefore)
        : locks_(locks), id_(id), endedPassesBefore_(endedPassesBefore) {}
    SchemeLocks* locks_;
    int id_;
    std::uint64_t endedPassesBefore_;
  };

  // Waits until no other pass holds scheme id, then holds it for owner (whatever identifies the pass over the
  // queue; only compared). False when stop was requested first.
  bool Acquire(int id, std::stop_token stop, std::optional<Hold>& hold, const void* owner = nullptr);

  // How many passes over scheme id have ended; nothing while it is held for an owner other than owner. A page
  // requested when this gave n is what owner's pass would fetch at its turn as long as its hold finds n
  // passes ended before it: no other pass over the scheme ran in between.
  std::optional<std::uint64_t> EndedPassesUnlessHeldByOther(int id, const void* owner);

  // How many passes are waiting for scheme id now.
  int Waiting(int id);

 private:
  void Release(int id);

  std::mutex mutex_;
  std::condition_variable_any released_;
  // The schemes held, with the owner of each hold.
  std::map<int, const void*> busy_;
  std::map<int, std::uint64_t> ended_;
  std::map<int, int> waiting_;
};

}  // namespace qw
