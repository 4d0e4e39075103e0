#pragma once
// The options window, opened modally on one of its tabs.

class QWidget;

namespace qw::ui {

// Tabs: 0 方案列表, 1 方案操作, 2 高级设置; an index beyond the last opens the last one.
void OpenOptionsWindow(QWidget* parent, int tab);

}  // namespace qw::ui
