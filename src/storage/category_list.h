#pragma once
// The ordered category names; position p (from 1) is the class number p.

#include <mutex>
#include <string>
#include <vector>

namespace qw {

class CategoryList {
 public:
  void Assign(std::vector<std::string> names);
  std::vector<std::string> Names() const;
  // The name of class number p (from 1), or the empty text.
  std::string NameOf(int classNumber) const;
  int Count() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
};

}  // namespace qw
