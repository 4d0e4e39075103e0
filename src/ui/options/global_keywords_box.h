#pragma once
// The keyword lists of every scheme in 高级设置: the two boxes and 保存关键词, which writes them to the
// settings file. Each monitoring round reads them as it starts, so they hold from the next round on.

#include <QWidget>

#include "keywords/title_judge.h"

namespace qw {
class SettingsFile;
}

namespace qw::ui {

class KeywordsBox;

class GlobalKeywordsBox final : public QWidget {
  Q_OBJECT

 public:
  explicit GlobalKeywordsBox(SettingsFile& settings, QWidget* parent = nullptr);

  // 保存关键词.
  void Save();
  KeywordsBox& Box() const { return *box_; }

 signals:
  void saved(const KeywordLists& lists);

 private:
  SettingsFile& settings_;
  KeywordsBox* box_;
};

}  // namespace qw::ui
