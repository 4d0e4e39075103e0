#include "ui/main/quick_start.h"

namespace qw::ui {

QString UnreachableHomepageNote() {
  return QStringLiteral(
      "迷你首页暂时无法打开（可能没有联网）。点左上角的开关可以关闭本页，查看已采集的文章。");
}

QString QuickStartPage(const QString& note) {
  return QStringLiteral(
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillwatch 快速上手</title><style>"
      "body{font-family:'WenQuanYi Micro Hei','Noto Sans CJK SC',sans-serif;margin:36px 44px;color:#27303b;"
      "background:#f7f9fc;font-size:14px;line-height:1.7}"
      "h1{font-size:20px;color:#134a9c;margin:0 0 6px}p.lead{color:#5b6675;margin:0 0 18px}"
      "ol{padding-left:22px;margin:0}li{margin:0 0 10px}b{color:#134a9c}"
      ".note{margin-top:22px;color:#7a8594;font-size:12px}"
      "</style></head><body>"
      "<h1>欢迎使用 Quillwatch</h1>"
      "<p class=\"lead\">有新文章出现时，Quillwatch 会立即提醒你。一分钟开始监控第一个页面：</p>"
      "<ol>"
      "<li><b>粘贴网址</b>：在左侧栏目上点右键 → 新建一个监控方案，把文章列表页的网址粘贴到 <b>监控网址</b>。</li>"
      "<li><b>自动识别</b>：点 <b>自动识别</b>，Quillwatch 会找出页面中的文章列表，填好采集区域、正则和数据项，"
      "并在测试列表中列出取到的文章；不合适时可在 识别结果 中换一个候选。</li>"
      "<li><b>保存</b>：填一个方案名称，点 <b>新建规则</b>。还没有分类时会自动建立分类“默认”，"
      "左侧栏目随即出现这个方案。</li>"
      "<li><b>勾选</b>：关闭选项窗口，在左侧勾选这个方案；在 <b>设置</b> 菜单中勾选“有新文章时 播放声音”"
      "和“有新文章时 切换图标”。</li>"
      "<li><b>监控勾选</b>：填好频率（秒），按 <b>监控勾选</b>。</li>"
      "</ol>"
      "<p class=\"note\">%1</p>"
      "</body></html>")
      .arg(note.toHtmlEscaped());
}

}  // namespace qw::ui
