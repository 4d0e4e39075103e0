#include "ui/main/quick_start.h"

namespace qw::ui {

QString QuickStartPage() {
  return QStringLiteral(
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillwatch 快速上手</title><style>"
      "body{font-family:'WenQuanYi Micro Hei','Noto Sans CJK SC',sans-serif;margin:36px 44px;color:#27303b;"
      "background:#f7f9fc;font-size:14px;line-height:1.7}"
      "h1{font-size:20px;color:#134a9c;margin:0 0 6px}p.lead{color:#5b6675;margin:0 0 18px}"
      "ol{padding-left:22px;margin:0}li{margin:0 0 10px}b{color:#134a9c}"
      ".note{margin-top:22px;color:#7a8594;font-size:12px}"
      "</style></head><body>"
      "<h1>欢迎使用 Quillwatch</h1>"
      "<p class=\"lead\">有新文章出现时，Quillwatch 会立即提醒你。四步开始监控：</p>"
      "<ol>"
      "<li><b>建立分类</b>：点左上角 <b>设置</b> → 选项设置 → 高级设置，每行写一个分类名并保存，"
      "再在左侧栏目上点右键 → 刷新方案列表。</li>"
      "<li><b>新建方案</b>：在左侧栏目上点右键 → 新建一个监控方案，填好网址、采集区域和正则表达式。</li>"
      "<li><b>测试方案</b>：在方案编辑页点测试，确认能取到文章标题和链接后保存，再点右键 → "
      "刷新方案列表。</li>"
      "<li><b>开始监控</b>：在 <b>设置</b> 菜单中勾选“有新文章时 播放声音”和“有新文章时 切换图标”，"
      "在左侧勾选要监控的方案，填好频率（秒），按 <b>监控勾选</b>。</li>"
      "</ol>"
      "<p "
      "class=\"note\">迷你首页暂时无法打开（可能没有联网）。点左上角的开关可以关闭本页，查看已采集的文章。</"
      "p>"
      "</body></html>");
}

}  // namespace qw::ui
