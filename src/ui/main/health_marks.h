#pragma once
// The schemes' health on their tree items: each item's tooltip, and a warning icon on those that keep
// failing.

namespace qw {
class HealthBook;
}

namespace qw::ui {

class CategoryTree;

// The health of scheme id on its item.
void MarkSchemeHealth(CategoryTree& tree, const HealthBook& health, int id);
// The health of every scheme the tree shows, after a load.
void MarkAllSchemes(CategoryTree& tree, const HealthBook& health);

}  // namespace qw::ui
