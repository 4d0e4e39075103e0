#include "ui/options/global_keywords_box.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "keywords/global_keywords.h"
#include "keywords/keyword_entries.h"
#include "storage/settings_file.h"
#include "ui/main/message_boxes.h"
#include "ui/options/keywords_box.h"

namespace qw::ui {

GlobalKeywordsBox::GlobalKeywordsBox(SettingsFile& settings, QWidget* parent)
    : QWidget(parent),
      settings_(settings),
      box_(new KeywordsBox(QStringLiteral("关键词（所有方案）"), false, this)) {
  box_->SetLists(ReadGlobalKeywords(settings_));
  auto* save = new QPushButton(QStringLiteral("保存关键词"), box_);
  save->setObjectName(QStringLiteral("保存关键词"));
  box_->AddButton(save);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addWidget(box_);
  connect(save, &QPushButton::clicked, this, &GlobalKeywordsBox::Save);
}

void GlobalKeywordsBox::Save() {
  if (const std::optional<QString> problem = box_->Problem()) {
    ShowMessage(window(), *problem, QStringLiteral("关键词有误，未保存！"), MessageIcon::Warning);
    return;
  }
  const KeywordLists lists = box_->Lists();
  for (const auto& [name, text] : {std::pair{QStringLiteral("关注词"), &lists.watch},
                                   std::pair{QStringLiteral("屏蔽词"), &lists.mute}}) {
    const std::size_t size = ComposeKeywordValue(*text).size();
    // A longer value would be read back cut off, and the entries past the cut lost.
    if (size > kSettingReadLimit) {
      ShowMessage(window(), QStringLiteral("保存失败，%1最多 %2 字节（现为 %3 字节），请删减后重试！")
                                .arg(name)
                                .arg(kSettingReadLimit)
                                .arg(size));
      return;
    }
  }
  if (!WriteGlobalKeywords(settings_, lists)) {
    ShowMessage(window(), QStringLiteral("保存失败，请重试！"));
    return;
  }
  box_->SetLists(lists);
  ShowMessage(window(), QStringLiteral("关键词已保存，下一轮监控起生效！"), QStringLiteral("　保存成功！"),
              MessageIcon::Information);
  emit saved(lists);
}

}  // namespace qw::ui
