#include "ui/help/help_window.h"

#include <QDialog>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWidget>

namespace qw::ui {
namespace {

constexpr char kHelpScheme[] = "help:";

}  // namespace

QString HelpLink(const QString& section) { return QLatin1String(kHelpScheme) + section; }

QString HelpSectionOf(const QString& link) {
  return link.startsWith(QLatin1String(kHelpScheme)) ? link.mid(static_cast<int>(sizeof kHelpScheme) - 1)
                                                     : QString();
}

QString HelpPage() {
  return QStringLiteral(
      "<html><head><meta charset=\"utf-8\"><title>Quillwatch 使用帮助</title></head><body "
      "style=\"font-size:13px; line-height:160%;\">"
      "<h2>Quillwatch 使用帮助</h2>"
      "<p>Quillwatch 盯住你关注的文章列表页（论坛版块、新闻或博客的目录页），发现新文章就存下来并提醒你。"
      "每个被盯住的页面是一个<b>方案</b>：网址、一段匹配一篇文章的正则表达式，以及如何判断新文章。</p>"

      "<h3><a name=\"start\"></a>从零开始</h3>"
      "<ol>"
      "<li><b>粘贴网址</b>：在左侧栏目上点右键 → 新建一个监控方案，把文章列表页的网址粘贴到“监控网址”。</li>"
      "<li><b>自动识别</b>：点“自动识别”，Quillwatch 找出页面中的文章列表，填好采集区域、正则和数据项，"
      "并在测试列表中列出取到的文章；不合适时可在“识别结果”中换一个候选，或按下文自己编写正则，"
      "再点“规则测试”。</li>"
      "<li><b>保存</b>：填一个方案名称，点“新建规则”。还没有分类时会自动建立分类“默认”；"
      "分类可在 设置 → 选项设置 → 高级设置 的“方案分类”中管理。</li>"
      "<li><b>开始监控</b>：在左侧勾选方案，在 设置 菜单里打开需要的提醒，填好频率（秒，至少 10），"
      "点“监控勾选”。</li>"
      "</ol>"

      "<h3><a name=\"expressions\"></a>编写正则表达式</h3>"
      "<p>正则表达式描述“一篇文章”在页面源码里的样子。用 <code>(.*?)</code> "
      "括住要取出的部分：它取到后面文字出现之前最短的一段。"
      "规则测试的结果里，<b>索引 0</b> 是整段匹配，<b>索引 1</b> 是第一对括号，<b>索引 2</b> "
      "是第二对，依此类推。</p>"
      "<p>例如论坛列表中的一行</p>"
      "<pre>&lt;a href=\"thread-12345-1-1.html\" class=\"s xst\"&gt;今天的新帖子&lt;/a&gt;</pre>"
      "<p>可以用</p>"
      "<pre>&lt;a href=\"(.*?)\" class=\"s xst\"&gt;(.*?)&lt;/a&gt;</pre>"
      "<p>匹配：索引 1 是链接，索引 2 是标题。于是“标题索引”填 2，“合成网址”填 "
      "<code>http://论坛地址/[1]</code>，其中 <code>[1]</code> 代表索引 1 的内容。</p>"
      "<ul>"
      "<li>括号、点、问号等符号本身要写成 <code>\\(</code> <code>\\)</code> <code>\\.</code> "
      "<code>\\?</code>。</li>"
      "<li><code>\\d+</code> 匹配一串数字，<code>[^&lt;]+</code> 匹配一段不含 &lt; 的文字。</li>"
      "<li>匹配不区分大小写；页面的换行会先被去掉，所以表达式可以跨越原来的行。</li>"
      "<li>“采集区域”的两个标记限定只在它们之间查找，用来避开置顶帖和侧栏；<code>#引号</code> "
      "代表一个双引号。</li>"
      "<li>"
      "测试提示“截取源码为空”：页面没取到，或采集区域的标记不在页面里；“匹配结果为0”：表达式没有匹配到任何内"
      "容。</li>"
      "</ul>"

      "<h3><a name=\"modes\"></a>判断模式</h3>"
      "<ul>"
      "<li><b>时间倒序</b>：新文章在上面。记住第一篇的标题，下次只取它上面的文章。</li>"
      "<li><b>时间正序</b>：新文章在下面。记住最后一篇的标题，下次只取它下面的文章。</li>"
      "<li><b>比较文章ID</b>：每篇文章带有递增的编号，“文章id索引”指出编号所在的索引；只取编号更大的文章。"
      "论坛版块最适合用它，因为回帖会把旧帖顶到最上面。</li>"
      "</ul>"

      "<h3><a name=\"alerts\"></a>提醒</h3>"
      "<p>每轮监控结束时，如果存下了新文章：按 设置 "
      "菜单中的开关播放声音、把托盘图标换成铃铛、并弹出桌面通知，"
      "通知里列出前 5 篇新文章的站点和标题。点击通知或托盘图标回到窗口，文章列表显示最新的文章。"
      "“取全部方案文章”只采集一次，不发提醒；它找到的文章会在下一轮监控结束时一并提醒。</p>"

      "<h3><a name=\"health\"></a>方案状态</h3>"
      "<p>鼠标停在左侧的方案上，可以看到它上次检查的时间和结果、连续失败的次数和上次发现新文章的时间。"
      "网站打不开、返回错误、采集区域为空或匹配结果为0都算一次失败（多半是网页改版了）。"
      "连续失败 3 次的方案显示警告图标，状态框也会提示一次；恢复正常时再提示一次。</p>"
      "<p>网站回答“请求过多”（429）或“暂时无法服务”（503）时，Quillwatch 按它要求的时间暂停访问这个网站"
      "（最长 1 小时，未说明时 5 分钟），其间跳过该网站的方案，以免被封。</p>"

      "<h3><a name=\"homepage\"></a>迷你首页</h3>"
      "<p>迷你首页显示 Quillwatch "
      "自己生成的页面，不联网：还没有方案时是上面的入门步骤；有方案时先列出出错的方案，"
      "再列出最新的 20 篇文章，点击即在浏览器中打开。要显示自己的网页，在 选项设置 → 高级设置 "
      "的“主页地址”里填写。"
      "点左上角的开关可以关闭或打开迷你首页。</p>"
      "</body></html>");
}

void ShowHelp(QWidget* parent, const QString& section) {
  QDialog* window = parent != nullptr
                        ? parent->findChild<QDialog*>(QStringLiteral("使用帮助"), Qt::FindDirectChildrenOnly)
                        : nullptr;
  QTextBrowser* page = nullptr;
  if (window == nullptr) {
    window = new QDialog(parent);
    window->setObjectName(QStringLiteral("使用帮助"));
    window->setWindowTitle(QStringLiteral("Quillwatch 使用帮助"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->resize(620, 560);
    page = new QTextBrowser(window);
    // Nothing on the page leads outside it.
    page->setOpenLinks(false);
    page->setHtml(HelpPage());
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
  } else {
    page = window->findChild<QTextBrowser*>();
  }
  window->show();
  window->raise();
  window->activateWindow();
  page->scrollToAnchor(section);
}

}  // namespace qw::ui
