#include "storage/category_list.h"

namespace qw {

void CategoryList::Assign(std::vector<std::string> names) {
  std::lock_guard lock(mutex_);
  names_ = std::move(names);
}

std::vector<std::string> CategoryList::Names() const {
  std::lock_guard lock(mutex_);
  return names_;
}

std::string CategoryList::NameOf(int classNumber) const {
  std::lock_guard lock(mutex_);
  if (classNumber < 1 || static_cast<std::size_t>(classNumber) > names_.size()) return {};
  return names_[static_cast<std::size_t>(classNumber) - 1];
}

int CategoryList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(names_.size());
}

}  // namespace qw
