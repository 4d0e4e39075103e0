#include "ui/main/health_marks.h"

#include "health/health_book.h"
#include "ui/main/category_tree.h"
#include "ui/main/gbk_text.h"

namespace qw::ui {
namespace {

CategoryTree::SchemeMark MarkOf(const HealthBook& health, int id) {
  const SchemeHealth scheme = health.Of(id);
  return {FromGbk(HealthSummary(scheme)), IsFailing(scheme)};
}

}  // namespace

void MarkSchemeHealth(CategoryTree& tree, const HealthBook& health, int id) {
  tree.MarkScheme(id, MarkOf(health, id));
}

void MarkAllSchemes(CategoryTree& tree, const HealthBook& health) {
  tree.MarkSchemes([&](int id) { return MarkOf(health, id); });
}

}  // namespace qw::ui
