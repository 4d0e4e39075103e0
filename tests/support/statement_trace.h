#pragma once
// The statements SQLite runs in this process, as their texts, in the order they start.

#include <string>
#include <vector>

namespace qw::test {

// Records from its construction on, over every connection of the program. One trace at a time.
class StatementTrace {
 public:
  StatementTrace();
  ~StatementTrace();
  StatementTrace(const StatementTrace&) = delete;
  StatementTrace& operator=(const StatementTrace&) = delete;

  std::vector<std::string> Statements() const;
};

}  // namespace qw::test
