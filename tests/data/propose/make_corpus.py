#!/usr/bin/env python3
"""Writes the proposal corpus: list pages written after the markup of the engines people watch, each with the
article addresses a reader of the page wants (NAME.html and NAME.expect: the page's address, its encoding,
then one article address per line). Run from this folder; the pages are committed, so this only matters when a
page is added or changed. Every page is made up here: titles, names and numbers come from the pools below."""

import random
import sys

R = random.Random(17)

ZH = ["关于", "本版", "新规", "公告", "求助", "分享", "一个", "问题", "如何", "解决", "最新", "消息", "今天", "发布",
      "讨论", "经验", "教程", "图片", "视频", "下载", "推荐", "活动", "报名", "开始", "结束", "通知", "更新", "版本",
      "手机", "电脑", "系统", "软件", "游戏", "旅游", "美食", "健康", "学习", "工作", "生活", "记录", "心得", "评测",
      "城市", "交通", "天气", "市场", "价格", "房子", "出租", "二手", "转让", "招聘", "兼职", "论文", "研究", "方法"]
EN = ["notes", "on", "building", "a", "small", "parser", "release", "weekly", "update", "why", "we", "moved",
      "from", "the", "old", "server", "lessons", "learned", "testing", "tips", "for", "new", "users", "deep", "dive",
      "into", "memory", "layout", "simple", "guide", "to", "faster", "builds", "review", "of", "tools"]


def zh_title(lo=4, hi=9):
    return "".join(R.choice(ZH) for _ in range(R.randint(lo, hi)))


def en_title(lo=4, hi=9):
    words = [R.choice(EN) for _ in range(R.randint(lo, hi))]
    return " ".join(words).capitalize()


def slug(title):
    return "-".join(title.lower().split())[:40].strip("-") or "post"


def ids(n, lo, hi, descending=True):
    values = R.sample(range(lo, hi), n)
    return sorted(values, reverse=descending)


PAGES = {}


def page(name, address, encoding, html, wanted):
    PAGES[name] = (address, encoding, html, wanted)


# ------------------------------------------------------------------------------------------------------------
# Forum engines

def discuz_x(name, host, pinned=3, normal=30, fid=2):
    base = "http://%s/" % host
    rows, wanted = [], []
    for tid in ids(pinned, 1000, 5000):
        rows.append('<tbody id="stickthread_%d"><tr><td class="icn"><a href="thread-%d-1-1.html" title="全局置顶主题 - 新窗口打开" target="_blank">'
                    '<img src="static/image/common/pin_3.gif" alt="全局置顶" /></a></td><th class="common">'
                    '<a href="thread-%d-1-1.html" onclick="atarget(this)" class="s xst">%s</a></th><td class="by"><cite>'
                    '<a href="home.php?mod=space&amp;uid=1" c="1">管理员</a></cite><em><span>2023-1-5</span></em></td>'
                    '<td class="num"><a href="thread-%d-1-1.html" class="xi2">%d</a><em>%d</em></td></tr></tbody>\n'
                    % (tid, tid, tid, "[公告]" + zh_title(), tid, R.randint(0, 99), R.randint(100, 9999)))
    rows.append('<tbody id="separatorline"><tr class="ts"><td>&nbsp;</td><th><a href="javascript:;" onclick="hideStickThread()">隐藏置顶帖</a></th><td>&nbsp;</td></tr></tbody>\n')
    for tid in ids(normal, 200000, 400000):
        uid = R.randint(10, 9999)
        pages = ""
        if R.random() < 0.3:
            pages = '<span class="tps">&nbsp;...<a href="thread-%d-2-1.html">2</a><a href="thread-%d-3-1.html">3</a></span>' % (tid, tid)
        rows.append('<tbody id="normalthread_%d"><tr><td class="icn"><a href="thread-%d-1-1.html" title="有新回复 - 新窗口打开" target="_blank">'
                    '<img src="static/image/common/folder_new.gif" /></a></td><th class="%s"><a href="javascript:;" id="content_%d" class="showcontent y" title="更多操作"></a>'
                    '<a href="thread-%d-1-1.html" onclick="atarget(this)" class="s xst">%s</a>%s</th>'
                    '<td class="by"><cite><a href="home.php?mod=space&amp;uid=%d" c="1">用户%d</a></cite><em><span>2024-5-%d</span></em></td>'
                    '<td class="num"><a href="thread-%d-1-1.html" class="xi2">%d</a><em>%d</em></td></tr></tbody>\n'
                    % (tid, tid, R.choice(["new", "common"]), tid, tid, zh_title(), pages, uid, uid, R.randint(1, 28), tid,
                       R.randint(0, 99), R.randint(100, 9999)))
        wanted.append(base + "thread-%d-1-1.html" % tid)
    hot = "".join('<li><a href="thread-%d-1-1.html" title="%s">%s</a></li>' % (t, zh_title(), zh_title(3, 4)) for t in ids(8, 100000, 400000))
    html = ('<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN">\n<html xmlns="http://www.w3.org/1999/xhtml">\n<head>\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=gbk" />\n<title>灌水区 - 示例论坛</title>\n'
            '<script type="text/javascript">var STYLEID = \'1\', STATICURL = \'static/\'; var tpl = \'<a href="thread-1-1-1.html">x</a>\';</script>\n'
            '</head>\n<body id="nv_forum" class="pg_forumdisplay">\n<div id="hd"><div class="wp"><div id="nv"><ul>'
            '<li><a href="forum.php" hidefocus="true">论坛</a></li><li><a href="group.php">群组</a></li><li><a href="home.php">家园</a></li>'
            '<li><a href="misc.php?mod=ranklist">排行榜</a></li></ul></div></div></div>\n'
            '<div id="wp" class="wp"><div id="pt" class="bm cl"><div class="z"><a href="./" class="nvhm">示例论坛</a> <em>&raquo;</em>'
            '<a href="forum.php">论坛</a> <em>&rsaquo;</em> <a href="forum-%d-1.html">灌水区</a></div></div>\n'
            '<div class="boardnav"><div id="ct" class="wp cl"><div class="mn"><div class="bm bml pbn"><div class="bm_h cl"><h1 class="xs2">'
            '<a href="forum-%d-1.html">灌水区</a></h1></div></div>\n<div id="pgt" class="bm bw0 pgs cl"><div class="pg"><strong>1</strong>'
            '<a href="forum-%d-2.html">2</a><a href="forum-%d-3.html">3</a><a href="forum-%d-2.html" class="nxt">下一页</a></div></div>\n'
            '<div id="threadlist" class="tl bm bmw"><div class="bm_c"><form method="post" autocomplete="off" name="moderate" id="moderate" action="forum.php?mod=topicadmin">\n'
            '<table summary="forum_%d" cellspacing="0" cellpadding="0" id="threadlisttableid">\n%s</table></form></div></div>\n'
            '<div class="bm bw0 pgs cl"><span id="fd_page_bottom"><div class="pg"><strong>1</strong><a href="forum-%d-2.html">2</a></div></span></div>\n'
            '</div><div class="sd"><div class="bm"><div class="bm_h"><h2>热门主题</h2></div><div class="bm_c"><ul class="xl xl1">%s</ul></div></div></div>'
            '</div></div></div>\n<div id="ft" class="wp cl"><a href="archiver/">Archiver</a> | <a href="forum.php?mobile=yes">手机版</a></div>\n'
            '<!-- <a href="thread-999-1-1.html">注释里的帖子</a> -->\n</body>\n</html>\n'
            % (fid, fid, fid, fid, fid, fid, "".join(rows), fid, hot))
    page(name, base + "forum-%d-1.html" % fid, "gbk", html, wanted)


def discuz_old(name, host):
    base = "http://%s/bbs/" % host
    rows, wanted = [], []
    for tid in ids(2, 100, 900):
        rows.append('<tbody id="stickthread_%d"><tr><td class="folder"><a href="viewthread.php?tid=%d&amp;extra=page%%3D1" title="新窗口打开" target="_blank"><img src="images/default/folder_common.gif" /></a></td>'
                    '<td class="icon">&nbsp;</td><th class="subject common"><label><img src="images/default/pin_1.gif" alt="本版置顶" />&nbsp;</label>'
                    '<span id="thread_%d"><a href="viewthread.php?tid=%d&amp;extra=page%%3D1">%s</a></span></th>'
                    '<td class="author"><cite><a href="space.php?uid=1">版主</a></cite><em>2022-3-1</em></td><td class="nums"><strong>3</strong>/<em>500</em></td></tr></tbody>\n'
                    % (tid, tid, tid, tid, zh_title()))
    rows.append('<tbody><tr><td class="folder"></td><td>&nbsp;</td><th class="subject">版块主题</th><td class="author">&nbsp;</td><td class="nums">&nbsp;</td></tr></tbody>\n'.replace("<tbody>", '<tbody id="separatorline">', 1) if False else
                '<tbody class="separation"><tr><td>&nbsp;</td><td>&nbsp;</td><th class="subject">版块主题</th><td>&nbsp;</td><td>&nbsp;</td></tr></tbody>\n')
    for tid in ids(25, 10000, 90000):
        title = zh_title()
        if R.random() < 0.2:
            title = '<font color="#FF0000">%s</font>' % title
        rows.append('<tbody id="normalthread_%d"><tr><td class="folder"><a href="viewthread.php?tid=%d&amp;extra=page%%3D1" title="新窗口打开" target="_blank"><img src="images/default/folder_new.gif" /></a></td>'
                    '<td class="icon">&nbsp;</td><th class="subject new"><label>&nbsp;</label><span id="thread_%d"><a href="viewthread.php?tid=%d&amp;extra=page%%3D1">%s</a></span></th>'
                    '<td class="author"><cite><a href="space.php?uid=%d">网友%d</a></cite><em>2024-5-%d</em></td><td class="nums"><strong>%d</strong>/<em>%d</em></td>'
                    '<td class="lastpost"><em><a href="redirect.php?tid=%d&amp;goto=lastpost#lastpost">2024-5-12 10:%02d</a></em><cite>by <a href="space.php?username=x">x</a></cite></td></tr></tbody>\n'
                    % (tid, tid, tid, tid, title, tid % 977, tid % 977, R.randint(1, 28), R.randint(0, 50), R.randint(50, 900), tid, R.randint(0, 59)))
        wanted.append(base + "viewthread.php?tid=%d&extra=page%%3D1" % tid)
    html = ('<html>\n<head>\n<meta http-equiv="Content-Type" content="text/html; charset=gb2312" />\n<title>电脑技术 - 老论坛 - Powered by Discuz!</title>\n'
            '<link rel="stylesheet" type="text/css" href="forumdata/cache/style_1.css" />\n</head>\n<body onkeydown="if(event.keyCode==27) return false;">\n'
            '<div id="header"><h2><a href="index.php" title="老论坛"><img src="images/default/logo.gif" alt="老论坛" border="0" /></a></h2>'
            '<div id="menu"><ul><li><a href="search.php">搜索</a></li><li><a href="faq.php">帮助</a></li><li><a href="misc.php?action=nav">导航</a></li></ul></div></div>\n'
            '<div id="nav"><a href="index.php">老论坛</a> &raquo; 电脑技术</div>\n'
            '<div class="pages_btns"><div class="pages"><em>&nbsp;2000&nbsp;</em><strong>1</strong><a href="forumdisplay.php?fid=5&amp;page=2">2</a><a href="forumdisplay.php?fid=5&amp;page=2" class="next">&rsaquo;&rsaquo;</a></div></div>\n'
            '<div class="mainbox threadlist"><h1><a href="forumdisplay.php?fid=5" class="bold">电脑技术</a></h1>\n'
            '<form method="post" name="moderate" action="topicadmin.php?action=moderate&amp;fid=5">\n<table summary="forum_5" id="forum_5" cellspacing="0" cellpadding="0">\n'
            '<thead class="category"><tr><td class="folder">&nbsp;</td><td class="icon">&nbsp;</td><th>标题</th><td class="author">作者</td><td class="nums">回复/查看</td><td class="lastpost">最后发表</td></tr></thead>\n'
            '%s</table></form></div>\n<div id="footer"><div class="wrap"><p id="copyright">Powered by <strong><a href="http://www.discuz.net" target="_blank">Discuz!</a></strong></p></div></div>\n</body>\n</html>\n'
            % "".join(rows))
    page(name, base + "forumdisplay.php?fid=5", "gbk", html, wanted)


def phpbb(name, host):
    base = "https://%s/" % host
    wanted = []
    ann = "".join('<li class="row bg%d global-announce"><dl class="row-item global_read"><dt title="No unread posts"><div class="list-inner">'
                  '<a href="./viewtopic.php?t=%d" class="topictitle">%s</a><br /><div class="topic-poster responsive-hide left-box">by '
                  '<a href="./memberlist.php?mode=viewprofile&amp;u=2" class="username-coloured">admin</a> &raquo; 2021-01-01</div></div></dt>'
                  '<dd class="posts">0</dd><dd class="views">999</dd></dl></li>\n' % (i % 2 + 1, t, en_title()) for i, t in enumerate(ids(2, 10, 99)))
    rows = []
    for i, t in enumerate(ids(25, 1000, 30000)):
        rows.append('<li class="row bg%d"><dl class="row-item topic_read"><dt title="No unread posts"><div class="list-inner">'
                    '<a href="./viewtopic.php?f=12&amp;t=%d&amp;sid=0f3c9a" class="topictitle">%s</a><br />'
                    '<div class="topic-poster responsive-hide left-box">by <a href="./memberlist.php?mode=viewprofile&amp;u=%d&amp;sid=0f3c9a" class="username">user%d</a> &raquo; '
                    '<time datetime="2024-05-%02dT10:00:00+00:00">Sun May %d, 2024</time></div></div></dt><dd class="posts">%d <dfn>Replies</dfn></dd>'
                    '<dd class="lastpost"><span><dfn>Last post </dfn>by <a href="./memberlist.php?mode=viewprofile&amp;u=9&amp;sid=0f3c9a" class="username">zed</a>'
                    '<a href="./viewtopic.php?p=%d&amp;sid=0f3c9a#p%d" title="Go to last post"><i class="icon fa-external-link-square"></i></a></span></dd></dl></li>\n'
                    % (i % 2 + 1, t, en_title(), t % 300, t % 300, R.randint(1, 28), R.randint(1, 28), R.randint(0, 60), t * 3, t * 3))
        wanted.append(base + "viewtopic.php?f=12&t=%d&sid=0f3c9a" % t)
    html = ('<!DOCTYPE html>\n<html dir="ltr" lang="en-gb">\n<head>\n<meta charset="utf-8" />\n<title>General Discussion - Example Boards</title>\n</head>\n<body id="phpbb" class="nojs notouch section-viewforum ltr">\n'
            '<div id="wrap" class="wrap"><div id="page-header"><div class="navbar" role="navigation"><ul id="nav-main" class="nav-main linklist" role="menubar">'
            '<li><a href="/app.php/help/faq" rel="help" title="Frequently Asked Questions">FAQ</a></li><li><a href="./ucp.php?mode=login" title="Login">Login</a></li></ul>'
            '<ul id="nav-breadcrumbs" class="nav-breadcrumbs linklist navlinks"><li class="breadcrumbs"><span class="crumb"><a href="./index.php" itemprop="url">Board index</a></span></li></ul></div></div>\n'
            '<div id="page-body" class="page-body" role="main"><h2 class="forum-title"><a href="./viewforum.php?f=12">General Discussion</a></h2>\n'
            '<div class="forumbg announcement"><div class="inner"><ul class="topiclist"><li class="header"><dl class="row-item"><dt><div class="list-inner">Announcements</div></dt></dl></li></ul>\n'
            '<ul class="topiclist topics">\n%s</ul></div></div>\n'
            '<div class="forumbg"><div class="inner"><ul class="topiclist"><li class="header"><dl class="row-item"><dt><div class="list-inner">Topics</div></dt></dl></li></ul>\n'
            '<ul class="topiclist topics">\n%s</ul></div></div>\n'
            '<div class="action-bar bar-bottom"><div class="pagination">1 2 <ul><li class="active"><span>1</span></li><li><a class="button" href="./viewforum.php?f=12&amp;start=25" role="button">2</a></li></ul></div></div>\n'
            '</div><div id="page-footer" class="page-footer" role="contentinfo"><div class="copyright">Powered by <a href="https://www.phpbb.com/">phpBB</a></div></div></div>\n</body>\n</html>\n'
            % ("".join(ann), "".join(rows)))
    page(name, base + "viewforum.php?f=12", "utf8", html, wanted)


def vbulletin(name, host):
    base = "http://%s/" % host
    rows, wanted = [], []
    for t in ids(2, 100, 999):
        rows.append('<tr><td class="alt1" id="td_threadstatusicon_%d"><img src="images/statusicon/thread.gif" id="thread_statusicon_%d" alt="" border="" /></td>'
                    '<td class="alt1" id="td_threadtitle_%d" title="%s"><div><span style="float:right"><img class="inlineimg" src="images/misc/sticky.gif" alt="Sticky Thread" /></span>'
                    '置顶: <a href="showthread.php?t=%d" id="thread_title_%d">%s</a></div><div class="smallfont"><span style="cursor:pointer" onclick="window.open(\'member.php?u=1\', \'_self\')">站长</span></div></td></tr>\n'
                    % (t, t, t, zh_title(8, 14), t, t, zh_title()))
    for t in ids(20, 2000, 60000):
        rows.append('<tr><td class="alt1" id="td_threadstatusicon_%d"><img src="images/statusicon/thread_new.gif" id="thread_statusicon_%d" alt="" border="" /></td>'
                    '<td class="alt1" id="td_threadtitle_%d" title="%s"><div><a href="showthread.php?goto=newpost&amp;t=%d" id="thread_gotonew_%d"><img class="inlineimg" src="images/buttons/firstnew.gif" alt="Go to first new post" border="0" /></a> '
                    '<a href="showthread.php?t=%d" id="thread_title_%d" style="font-weight:bold">%s</a></div><div class="smallfont"><span style="cursor:pointer" onclick="window.open(\'member.php?u=%d\', \'_self\')">网友%d</span></div></td>'
                    '<td class="alt2" title="回复: %d, 查看: %d"><div class="smallfont" style="text-align:right; white-space:nowrap">2024-05-%02d <span class="time">10:%02d</span><br />作者 <a href="member.php?find=lastposter&amp;t=%d" rel="nofollow">某人</a></div></td></tr>\n'
                    % (t, t, t, zh_title(8, 14), t, t, t, t, zh_title(), t % 99, t % 99, R.randint(0, 50), R.randint(50, 999), R.randint(1, 28), R.randint(0, 59), t))
        wanted.append(base + "showthread.php?t=%d" % t)
    html = ('<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN">\n<html xmlns="http://www.w3.org/1999/xhtml" dir="ltr" lang="zh-cn">\n<head>\n'
            '<meta http-equiv="Content-Type" content="text/html; charset=GB2312" />\n<title>摄影器材 - 示例社区</title>\n'
            '<script type="text/javascript">\n<!--\nvar SESSIONURL = "";\nvar vb_disable_ajax = parseInt("0", 10);\n// -->\n</script>\n</head>\n<body>\n'
            '<table class="tborder" cellpadding="6" cellspacing="1" border="0" width="100%%" align="center"><tr><td class="alt1" width="100%%"><div class="navbar" style="font-size:10pt">'
            '<a href="index.php" accesskey="1">示例社区</a> &gt; <a href="forumdisplay.php?f=7">摄影器材</a></div></td></tr></table>\n'
            '<form action="inlinemod.php?forumid=7" method="post" id="inlinemodform">\n<table class="tborder" id="threadslist" cellpadding="6" cellspacing="1" border="0" width="100%%" align="center">\n'
            '<tr><td class="thead" colspan="2">&nbsp;</td><td class="thead" width="100%%"><span style="float:right"><a href="forumdisplay.php?f=7&amp;sort=views">查看</a></span>'
            '<a href="forumdisplay.php?f=7&amp;sort=title&amp;order=asc">主题</a> / <a href="forumdisplay.php?f=7&amp;sort=postusername">作者</a></td></tr>\n'
            '<tbody id="threadbits_forum_7">\n%s</tbody>\n</table>\n</form>\n'
            '<div class="pagenav" align="right"><table class="tborder" cellpadding="3" cellspacing="1" border="0"><tr><td class="vbmenu_control" style="font-weight:normal">第 1 页/共 9 页</td>'
            '<td class="alt2"><span class="smallfont" title="显示结果从 1 到 20"><strong>1</strong></span></td><td class="alt1"><a class="smallfont" href="forumdisplay.php?f=7&amp;page=2" title="显示结果从 21 到 40">2</a></td></tr></table></div>\n'
            '</body>\n</html>\n' % "".join(rows))
    page(name, base + "forumdisplay.php?f=7", "gbk", html, wanted)


def tieba(name, host):
    base = "https://%s/" % host
    rows, wanted = [], []
    for t in ids(2, 5000000000, 9000000000):
        rows.append('<li class=" j_thread_list thread_top j_thread_list clearfix thread_item_box" data-field=\'{"id":%d,"author_name":"吧主","is_top":1}\' >'
                    '<div class="t_con cleafix"><div class="col2_left j_threadlist_li_left"><span class="threadlist_rep_num center_text" title="回复">%d</span></div>'
                    '<div class="col2_right j_threadlist_li_right "><div class="threadlist_lz clearfix"><div class="threadlist_title pull_left j_th_tit ">'
                    '<i class="icon-top" alt="置顶" title="置顶"></i><a rel="noopener" href="/p/%d" title="%s" target="_blank" class="j_th_tit ">%s</a></div></div></div></div></li>\n'
                    % (t, R.randint(10, 999), t, "吧规" + zh_title(), "吧规" + zh_title()))
    for t in ids(30, 5000000000, 9000000000):
        title = zh_title()
        rows.append('<li class=" j_thread_list clearfix thread_item_box" data-field=\'{"id":%d,"author_name":"用户%d","reply_num":%d,"is_good":null}\' >'
                    '<div class="t_con cleafix"><div class="col2_left j_threadlist_li_left"><span class="threadlist_rep_num center_text" title="回复">%d</span></div>'
                    '<div class="col2_right j_threadlist_li_right "><div class="threadlist_lz clearfix"><div class="threadlist_title pull_left j_th_tit ">'
                    '<a rel="noopener" href="/p/%d" title="%s" target="_blank" class="j_th_tit ">%s</a></div>'
                    '<div class="threadlist_author pull_right"><span class="tb_icon_author " title="主题作者: 用户%d"><span class="frs-author-name-wrap"><a rel="noopener" data-field=\'{"un":"u%d"}\' class="frs-author-name j_user_card " href="/home/main/?un=u%d" target="_blank">用户%d</a></span></span></div></div>'
                    '<div class="threadlist_detail clearfix"><div class="threadlist_text pull_left"><div class="threadlist_abs threadlist_abs_onlyline ">%s</div></div></div></div></div></li>\n'
                    % (t, t % 97, t % 50, t % 50, t, title, title, t % 97, t % 97, t % 97, t % 97, zh_title(10, 20)))
        wanted.append(base + "p/%d" % t)
    html = ('<!DOCTYPE html><!--STATUS OK--><html><head><meta charset="UTF-8"><title>数码吧-示例社区</title>'
            '<script>var PageData = {"tbs":"abc","forum":{"name":"数码"}}; var tpl = "<li class=\\" j_thread_list\\"><a href=\\"/p/1\\">模板</a></li>";</script>'
            '<style>.j_thread_list{margin:0}</style></head><body><div id="head" class=" search_bright"><div class="head_inner"><div class="search_top clearfix">'
            '<a href="/" class="search_logo"></a><ul class="nav_list"><li><a href="/f?kw=数码&amp;tab=main">看贴</a></li><li><a href="/f?kw=数码&amp;tab=good">精品</a></li></ul></div></div></div>'
            '<div id="content"><div class="content"><div id="pagelet_frs-list/pagelet/thread_list" class="pagelet_frs-list/pagelet/thread_list"><ul id="thread_top_list" class="thread_top_list"></ul>'
            '<ul id="thread_list" class="threadlist_bright j_threadlist_bright">%s</ul>'
            '<div class="thread_list_bottom clearfix"><div id="frs_list_pager" class="pagination-default clearfix"><span class="pagination-current pagination-item ">1</span>'
            '<a href="//%s/f?kw=数码&amp;pn=50" class="next pagination-item ">下一页&gt;</a></div></div></div></div></div></body></html>'
            % ("".join(rows), host))
    page(name, base + "f?kw=%E6%95%B0%E7%A0%81", "utf8", html, wanted)


# ------------------------------------------------------------------------------------------------------------
# News portals

def rolling_news(name, host):
    base = "https://%s/" % host
    blocks, wanted = [], []
    items = []
    for _ in range(40):
        doc = "".join(R.choice("abcdefghijklmnopqrstuvwxyz0123456789") for _ in range(14))
        day = R.randint(10, 12)
        items.append(("https://news.%s/c/2024-05-%02d/doc-i%s.shtml" % (host.split(".", 1)[1], day, doc), zh_title(8, 14), day))
    for k in range(0, 40, 5):
        lis = "".join('<li><a href="%s" target="_blank">%s</a><span>(05月%02d日 %02d:%02d)</span></li>' % (u, t, d, R.randint(0, 23), R.randint(0, 59))
                      for u, t, d in items[k:k + 5])
        blocks.append('<ul class="list_009">%s</ul>' % lis + ('<div class="line"></div>' if k < 35 else ""))
        wanted += [u for u, _, _ in items[k:k + 5]]
    side = "".join('<li><a href="https://news.%s/c/2024-05-11/doc-i%s.shtml" target="_blank">%s</a></li>' % (host.split(".", 1)[1], "".join(R.choice("abcdef0123456789") for _ in range(14)), zh_title(6, 9)) for _ in range(10))
    html = ('<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv="Content-type" content="text/html; charset=gb2312" />\n<title>滚动新闻_示例网</title>\n'
            '<script type="text/javascript">var ARTICLE_NUM = 40; document.write(\'<ul class="list_009"><li><a href="https://news.x/doc.shtml">脚本</a></li></ul>\');</script>\n</head>\n<body>\n'
            '<div class="top_bar"><div class="tb_nav"><a href="https://www.%s/">首页</a> | <a href="https://news.%s/china/">国内</a> | <a href="https://news.%s/world/">国际</a> | '
            '<a href="https://sports.%s/">体育</a> | <a href="https://finance.%s/">财经</a></div></div>\n'
            '<div class="wrap"><div class="main"><h2 class="pageTit">滚动新闻</h2><div class="d_list_txt" id="d_list">%s</div>\n'
            '<div class="pagebox"><span class="pagebox_pre_nolink">上一页</span><span class="pagebox_num_nonce">1</span><span class="pagebox_num"><a href="javascript:void(0)" onclick="newsList.page.goTo(2);">2</a></span></div></div>\n'
            '<div class="side"><h3>排行</h3><ol class="rank">%s</ol></div></div>\n<div class="footer">Copyright &copy; 1996-2024 示例网</div>\n</body>\n</html>\n'
            % ((host.split(".", 1)[1],) * 5 + ("".join(blocks), side)))
    page(name, base + "roll/index.shtml", "gbk", html, wanted)


def people_news(name, host):
    base = "http://%s/" % host
    lis, wanted = [], []
    for t in ids(30, 40000000, 40999999):
        lis.append('<li><a href="/n1/2024/05%02d/c1001-%d.html" target="_blank">%s</a><em>2024年05月%02d日 %02d:%02d</em></li>'
                   % (R.randint(10, 12), t, zh_title(8, 13), R.randint(10, 12), R.randint(0, 23), R.randint(0, 59)))
    for l in lis:
        wanted.append(base + l.split('href="/', 1)[1].split('"', 1)[0])
    html = ('<!DOCTYPE html>\n<html lang="zh-CN">\n<head>\n<meta charset="utf-8">\n<title>时政--示例网</title>\n</head>\n<body>\n'
            '<div class="w1000 nav_top"><a href="http://www.example.com.cn/" target="_blank">首页</a>|<a href="http://politics.example.com.cn/" target="_blank">时政</a>|'
            '<a href="http://world.example.com.cn/" target="_blank">国际</a></div>\n<div class="w1000 columWrap"><div class="ej_left"><div class="ej_list_box clear">'
            '<ul class="list_16 mt10">%s</ul></div>\n<div class="page_n clearfix"><a href="index1.html" class="common_current_page">1</a><a href="index2.html">2</a>'
            '<a href="index3.html">3</a><a href="index2.html">下一页</a></div></div>\n'
            '<div class="ej_right"><div class="hot_box"><h2>热点推荐</h2><ul><li><a href="/n1/2024/0501/c1001-40111111.html">%s</a></li><li><a href="/n1/2024/0502/c1001-40111112.html">%s</a></li></ul></div></div></div>\n'
            '<div class="footer"><a href="http://www.example.com.cn/about/">关于我们</a></div>\n</body>\n</html>\n'
            % ("\n".join(lis), zh_title(6, 8), zh_title(6, 8)))
    page(name, base + "GB/1024/index.html", "utf8", html, wanted)


def gov_notices(name, host):
    base = "http://%s/zwgk/tzgg/" % host
    lis, wanted = [], []
    for k in range(20):
        d = 28 - k
        doc = R.randint(100000, 999999)
        title = zh_title(10, 16)
        lis.append('<li><span class="date">2024-05-%02d</span><a href="./202405/t202405%02d_%d.html" target="_blank" title="%s">%s</a></li>' % (d, d, doc, title, title))
        wanted.append(base + "202405/t202405%02d_%d.html" % (d, doc))
    html = ('<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN">\n<html>\n<head>\n<meta http-equiv="Content-Type" content="text/html; charset=gbk" />\n'
            '<title>通知公告</title>\n</head>\n<body>\n<div class="head"><div class="nav"><ul><li><a href="../../">首页</a></li><li><a href="../../zwgk/">政务公开</a></li>'
            '<li><a href="../../bsfw/">办事服务</a></li><li><a href="../../hdjl/">互动交流</a></li></ul></div></div>\n'
            '<div class="main"><div class="location">当前位置：<a href="../../">首页</a> &gt; <a href="../">政务公开</a> &gt; 通知公告</div>\n'
            '<div class="list"><ul>\n%s\n</ul></div>\n<div class="page"><script>createPageHTML(12, 0, "index", "html");</script></div></div>\n'
            '<div class="foot">主办单位：示例市人民政府办公室</div>\n</body>\n</html>\n' % "\n".join(lis))
    page(name, base + "index.html", "gbk", html, wanted)


# ------------------------------------------------------------------------------------------------------------
# Blogs

def wordpress(name, host):
    base = "https://%s/" % host
    posts, wanted, recent = [], [], []
    for k in range(10):
        title = en_title()
        url = base + "2024/05/%02d/%s/" % (28 - 2 * k, slug(title))
        pid = 900 - k * 7
        posts.append('<article id="post-%d" class="post-%d post type-post status-publish format-standard hentry category-notes">\n'
                     '<header class="entry-header"><h2 class="entry-title"><a href="%s" rel="bookmark">%s</a></h2>'
                     '<div class="entry-meta"><span class="posted-on"><a href="%s" rel="bookmark"><time class="entry-date published" datetime="2024-05-%02dT09:00:00+00:00">May %d, 2024</time></a></span>'
                     '<span class="byline"> by <span class="author vcard"><a class="url fn n" href="%sauthor/ann/">Ann</a></span></span></div></header>\n'
                     '<div class="entry-content"><p>%s&#8230;</p><p><a href="%s#more-%d" class="more-link">Continue reading<span class="screen-reader-text"> &#8220;%s&#8221;</span></a></p></div>\n'
                     '<footer class="entry-footer"><span class="cat-links">Posted in <a href="%scategory/notes/" rel="category tag">Notes</a></span></footer>\n</article>\n'
                     % (pid, pid, url, title, url, 28 - 2 * k, 28 - 2 * k, base, en_title(12, 20), url, pid, title, base))
        wanted.append(url)
        if k < 5:
            recent.append('<li><a href="%s">%s</a></li>' % (url, title))
    html = ('<!doctype html>\n<html lang="en-US">\n<head>\n<meta charset="UTF-8">\n<title>Notes &#8211; A small blog</title>\n'
            '<script type="application/ld+json">{"@context":"https://schema.org","name":"<a href=\\"/x\\">A small blog</a>"}</script>\n'
            '<style id="wp-custom-css">.entry-title a{color:#222}</style>\n</head>\n<body class="home blog">\n<div id="page" class="site">\n'
            '<header id="masthead" class="site-header"><p class="site-title"><a href="%s" rel="home">A small blog</a></p>'
            '<nav id="site-navigation" class="main-navigation"><ul id="primary-menu" class="menu"><li class="menu-item"><a href="%sabout/">About</a></li>'
            '<li class="menu-item"><a href="%sarchive/">Archive</a></li><li class="menu-item"><a href="%scontact/">Contact</a></li></ul></nav></header>\n'
            '<div id="content" class="site-content"><main id="main" class="site-main">\n%s'
            '<nav class="navigation pagination" aria-label="Posts"><div class="nav-links"><span aria-current="page" class="page-numbers current">1</span>'
            '<a class="page-numbers" href="%spage/2/">2</a><a class="next page-numbers" href="%spage/2/">Next</a></div></nav>\n</main>\n'
            '<aside id="secondary" class="widget-area"><section id="recent-posts-2" class="widget widget_recent_entries"><h2 class="widget-title">Recent Posts</h2><ul>%s</ul></section>'
            '<section id="archives-2" class="widget widget_archive"><ul><li><a href="%s2024/05/">May 2024</a></li><li><a href="%s2024/04/">April 2024</a></li></ul></section></aside></div>\n'
            '<footer id="colophon" class="site-footer"><a href="https://wordpress.org/">Proudly powered by WordPress</a></footer>\n</div>\n</body>\n</html>\n'
            % (base, base, base, base, "".join(posts), base, base, "".join(recent), base, base))
    page(name, base, "utf8", html, wanted)


def hugo(name, host):
    base = "https://%s/" % host
    lis, wanted = [], []
    for k in range(15):
        title = en_title()
        lis.append('<li><span class="date">May %d, 2024</span>\n        <a class="post-link" href="/posts/%s/">%s</a></li>' % (30 - k, slug(title) + str(k), title))
        wanted.append(base + "posts/%s/" % (slug(title) + str(k)))
    html = ('<!DOCTYPE html>\n<html lang="en">\n  <head>\n    <meta charset="utf-8">\n    <title>Posts | Field notes</title>\n  </head>\n  <body>\n'
            '    <header><nav><a href="/">Home</a> <a href="/posts/">Posts</a> <a href="/tags/">Tags</a> <a href="/about/">About</a></nav></header>\n'
            '    <main>\n      <h1>Posts</h1>\n      <ul class="posts">\n        %s\n      </ul>\n    </main>\n'
            '    <footer><p>&copy; 2024 Field notes · <a href="/index.xml">RSS</a></p></footer>\n  </body>\n</html>\n' % "\n        ".join(lis))
    page(name, base + "posts/", "utf8", html, wanted)


def jekyll(name, host):
    base = "https://%s/" % host
    lis, wanted = [], []
    for k in range(12):
        title = en_title()
        path = "blog/2024/%02d/%02d/%s.html" % (5 - k // 6, 28 - k, slug(title))
        lis.append('<li><span class="post-meta">May %d, 2024</span>\n<h3>\n<a class="post-link" href="/%s">\n%s\n</a>\n</h3></li>' % (28 - k, path, title))
        wanted.append(base + path)
    html = ('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>Weblog</title><link rel="stylesheet" href="/assets/main.css"></head>\n'
            '<body><header class="site-header" role="banner"><div class="wrapper"><a class="site-title" rel="author" href="/">Weblog</a>'
            '<nav class="site-nav"><div class="trigger"><a class="page-link" href="/about/">About</a><a class="page-link" href="/projects/">Projects</a></div></nav></div></header>\n'
            '<main class="page-content" aria-label="Content"><div class="wrapper"><div class="home"><h2 class="post-list-heading">Posts</h2>\n<ul class="post-list">%s</ul>\n'
            '<p class="rss-subscribe">subscribe <a href="/feed.xml">via RSS</a></p></div></div></main>\n'
            '<footer class="site-footer h-card"><div class="wrapper"><ul class="contact-list"><li><a class="u-email" href="mailto:me@example.org">me@example.org</a></li></ul></div></footer></body></html>\n'
            % "\n".join(lis))
    page(name, base, "utf8", html, wanted)


def oldest_first_log(name, host):
    base = "https://%s/" % host
    lis, wanted = [], []
    for k in range(14):
        title = en_title()
        lis.append('<li><a href="changes/%s.html">%s</a> <small>2024-%02d-%02d</small></li>' % (slug(title) + "-" + "abcdefghijklmn"[k], title, 1 + k // 5, 1 + 2 * k))
        wanted.append(base + "changes/%s.html" % (slug(title) + "-" + "abcdefghijklmn"[k]))
    html = ('<html><head><meta charset="utf-8"><title>Change log</title></head><body><div id="top"><a href="index.html">Home</a> · <a href="download.html">Download</a></div>'
            '<h1>Changes, oldest first</h1><ol id="changes">%s</ol><p id="bottom"><a href="archive.html">Older years</a></p></body></html>' % "".join(lis))
    page(name, base + "changes.html", "utf8", html, wanted)


# ------------------------------------------------------------------------------------------------------------
# Classifieds, papers, single-page sites, odd markup

def classifieds(name, host):
    base = "http://%s/" % host
    rows, wanted = [], []
    for t in ids(25, 30000000, 39999999):
        rows.append('<tr logr="p_1_%d_0_0_sortid:%d"><td class="img"><a href="http://bj.%s/ershouche/%dx.shtml" target="_blank"><img lazy_src="//pic.x/p.jpg" alt="%s" /></a></td>'
                    '<td class="t"><a href="http://bj.%s/ershouche/%dx.shtml" target="_blank" class="t">%s</a><i class="clear"></i>'
                    '<span class="fl">%d公里 / %d年</span></td><td class="tc"><b class="pri">%d.%d</b>万</td><td class="tc">%s</td></tr>\n'
                    % (t, t, host, t, "车", host, t, zh_title(5, 9), R.randint(1, 20) * 1000, R.randint(2010, 2023), R.randint(2, 30), R.randint(0, 9),
                       R.choice(["今天", "昨天", "05-10"])))
        wanted.append("http://bj.%s/ershouche/%dx.shtml" % (host, t))
    html = ('<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv="Content-Type" content="text/html; charset=gb2312" />\n<title>北京二手车 - 示例分类信息</title>\n</head>\n<body>\n'
            '<div id="header"><div class="nav"><a href="http://bj.%s/">首页</a> &gt; <a href="http://bj.%s/car/">汽车</a> &gt; 二手车</div></div>\n'
            '<div id="selection"><dl><dt>品牌：</dt><dd><a href="/ershouche/dazhong/">大众</a><a href="/ershouche/bentian/">本田</a><a href="/ershouche/fengtian/">丰田</a><a href="/ershouche/aodi/">奥迪</a></dd></dl></div>\n'
            '<div id="infolist"><table class="tbimg" cellpadding="0" cellspacing="0">\n%s</table></div>\n'
            '<div class="pager"><strong><span>1</span></strong><a href="/ershouche/pn2/"><span>2</span></a><a href="/ershouche/pn3/"><span>3</span></a><a class="next" href="/ershouche/pn2/"><span>下一页</span></a></div>\n'
            '</body>\n</html>\n' % (host, host, "".join(rows)))
    page(name, base + "ershouche/", "gbk", html, wanted)


def papers(name, host):
    base = "https://%s/" % host
    items, wanted = [], []
    for k in range(20):
        ident = "2405.%05d" % (1000 + k * 37)
        items.append('<dt><a name="item%d">[%d]</a>&nbsp; <span class="list-identifier"><a href="/abs/%s" title="Abstract" id="%s">arXiv:%s</a> [<a href="/pdf/%s" title="Download PDF" id="pdf-%s">pdf</a>, <a href="/format/%s" title="Other formats">other</a>]</span></dt>\n'
                     '<dd><div class="meta"><div class="list-title mathjax"><span class="descriptor">Title:</span> %s</div><div class="list-authors"><a href="/a/doe_j_1">J. Doe</a>, <a href="/a/roe_r_1">R. Roe</a></div></div></dd>\n'
                     % (k + 1, k + 1, ident, ident, ident, ident, ident, ident, en_title(6, 12)))
        wanted.append(base + "abs/" + ident)
    html = ('<!DOCTYPE html>\n<html lang="en">\n<head><title>Computation and Language new submissions</title><meta charset="utf-8"></head>\n<body>\n'
            '<div id="header"><h1><a href="/">preprints</a> &gt; <a href="/list/cs.CL/recent">cs.CL</a></h1></div>\n<div id="content"><h1>Computation and Language</h1>\n'
            '<ul><li><a href="#item1">New submissions</a></li><li><a href="#item21">Cross-lists</a></li></ul>\n<h3>New submissions for Mon, 13 May 24</h3>\n<dl>\n%s</dl>\n'
            '</div>\n<div id="footer"><a href="/help">Help</a> | <a href="/about">About</a></div>\n</body>\n</html>\n' % "".join(items))
    page(name, base + "list/cs.CL/new", "utf8", html, wanted)


def minified_spa(name, host, rows=60, pad=0):
    base = "https://%s/" % host
    cards, wanted, state = [], [], []
    for t in ids(rows, 100000, 999999):
        title = zh_title(6, 12)
        cards.append('<div class="card" data-v-5f1a2b3c><a href="/item/%d" class="card-link" data-v-5f1a2b3c><h3 class="card-title" data-v-5f1a2b3c>%s</h3>'
                     '<p class="card-desc" data-v-5f1a2b3c>%s</p></a><div class="card-meta" data-v-5f1a2b3c><span data-v-5f1a2b3c>%d 赞</span>'
                     '<a href="/user/%d" class="card-user" data-v-5f1a2b3c>作者%d</a></div></div>' % (t, title, zh_title(15, 30), R.randint(0, 999), t % 500, t % 500))
        state.append('{"id":%d,"title":"%s","html":"<a href=\\"/item/%d\\">%s</a>"}' % (t, title, t, title))
        wanted.append(base + "item/%d" % t)
    filler = "".join('<div class="pad" data-v-5f1a2b3c><span data-v-5f1a2b3c>%s</span></div>' % zh_title(20, 40) for _ in range(pad))
    html = ('<!DOCTYPE html><html lang="zh"><head><meta charset="utf-8"><title>发现 - 示例</title><link rel="stylesheet" href="/css/app.3f2a.css">'
            '<style>.card{padding:8px}.card-title{font-size:16px}</style></head><body><div id="app" data-server-rendered="true">'
            '<header class="topbar" data-v-1b2c><nav data-v-1b2c><a href="/" data-v-1b2c>首页</a><a href="/hot" data-v-1b2c>热门</a><a href="/new" data-v-1b2c>最新</a><a href="/login" data-v-1b2c>登录</a></nav></header>'
            '<!--[--><main class="feed" data-v-5f1a2b3c>%s</main><!--]-->%s<footer data-v-1b2c><a href="/about" data-v-1b2c>关于</a></footer></div>'
            '<script>window.__INITIAL_STATE__={"list":[%s]};</script><script src="/js/app.9c1d.js" defer></script></body></html>'
            % ("".join(cards), filler, ",".join(state)))
    page(name, base + "explore", "utf8", html, wanted)


def douban_group(name, host):
    base = "https://%s/" % host
    rows, wanted = [], []
    for t in ids(25, 300000000, 309999999):
        full = zh_title(12, 18)
        shown = full[:14] + "..." if len(full) > 14 else full
        rows.append('<tr class="">\n<td class="title">\n<a href="https://%s/group/topic/%d/?_i=5%d" title="%s" class="">%s</a>\n</td>\n'
                    '<td nowrap="nowrap"><a href="https://%s/people/u%d/" class="">小组成员%d</a></td>\n<td nowrap="nowrap" class="r-count ">%d</td>\n<td nowrap="nowrap" class="time">05-12 %02d:%02d</td>\n</tr>\n'
                    % (host, t, R.randint(100, 999), full, shown, host, t % 300, t % 300, R.randint(1, 300), R.randint(0, 23), R.randint(0, 59)))
        wanted.append(None)
        wanted[-1] = rows[-1].split('href="', 1)[1].split('"', 1)[0]
    html = ('<!DOCTYPE html>\n<html lang="zh-CN" class="ua-windows">\n<head>\n<meta http-equiv="Content-Type" content="text/html; charset=utf-8">\n<title>读书小组</title>\n</head>\n<body>\n'
            '<div id="db-global-nav" class="global-nav"><div class="bd"><div class="global-nav-items"><ul><li class=""><a href="https://www.%s" target="_blank">首页</a></li>'
            '<li class=""><a href="https://book.%s" target="_blank">读书</a></li><li class=""><a href="https://movie.%s" target="_blank">电影</a></li></ul></div></div></div>\n'
            '<div id="wrapper"><div id="content"><h1>读书小组</h1><div class="grid-16-8 clearfix"><div class="article"><div class="">\n'
            '<table class="olt"><tr class="th"><td>讨论</td><td nowrap="nowrap">作者</td><td nowrap="nowrap">回应</td><td align="right">最后回应</td></tr>\n%s</table>\n'
            '<div class="paginator"><span class="thispage">1</span><a href="?start=25">2</a><span class="next"><a href="?start=25">后页&gt;</a></span></div></div></div>\n'
            '<div class="aside"><div class="mod"><h2>最近加入</h2><div class="member-list"><ul><li><a href="https://%s/people/a1/">甲</a></li><li><a href="https://%s/people/a2/">乙</a></li><li><a href="https://%s/people/a3/">丙</a></li></ul></div></div></div>'
            '</div></div></div>\n</body>\n</html>\n' % (host, host, host, "".join(rows), host, host, host))
    page(name, base + "group/reading/", "utf8", html, wanted)


def uppercase_asp(name, host):
    base = "http://%s/news/" % host
    rows, wanted = [], []
    for t in ids(22, 1000, 9999):
        rows.append('<TR>\n<TD HEIGHT=24 CLASS=td1><IMG SRC=../images/dot.gif WIDTH=5 HEIGHT=5> <A HREF=news_view.asp?id=%d TARGET=_blank>%s</A></TD>\n<TD WIDTH=90 ALIGN=center><FONT COLOR=#999999>2024-5-%d</FONT></TD>\n</TR>\n'
                    % (t, zh_title(6, 12), R.randint(1, 28)))
        wanted.append(base + "news_view.asp?id=%d" % t)
    html = ('<HTML>\n<HEAD>\n<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=gb2312">\n<TITLE>新闻中心</TITLE>\n</HEAD>\n<BODY BGCOLOR=#FFFFFF>\n'
            '<TABLE WIDTH=760 BORDER=0 ALIGN=center><TR><TD><A HREF=../index.asp>网站首页</A> | <A HREF=../about.asp>公司简介</A> | <A HREF=news.asp>新闻中心</A> | <A HREF=../product.asp>产品展示</A> | <A HREF=../contact.asp>联系我们</A></TD></TR></TABLE>\n'
            '<TABLE WIDTH=760 BORDER=0 ALIGN=center><TR><TD WIDTH=180 VALIGN=top><TABLE><TR><TD><A HREF=news.asp?type=1>公司新闻</A></TD></TR><TR><TD><A HREF=news.asp?type=2>行业动态</A></TD></TR><TR><TD><A HREF=news.asp?type=3>技术文章</A></TD></TR></TABLE></TD>\n'
            '<TD VALIGN=top><TABLE WIDTH=100%% BORDER=0 CELLPADDING=0 CELLSPACING=0>\n%s</TABLE>\n'
            '<TABLE WIDTH=100%%><TR><TD ALIGN=center>共 120 条 首页 上一页 <A HREF=news.asp?page=2>下一页</A> <A HREF=news.asp?page=6>尾页</A></TD></TR></TABLE></TD></TR></TABLE>\n'
            '<TABLE WIDTH=760 ALIGN=center><TR><TD ALIGN=center>版权所有 示例公司</TD></TR></TABLE>\n</BODY>\n</HTML>\n' % "".join(rows))
    page(name, base + "news.asp", "gbk", html, wanted)


def single_quoted(name, host):
    base = "http://%s/" % host
    lis, wanted = [], []
    for t in ids(20, 10000, 99999):
        title = zh_title(6, 12)
        lis.append("<li><span class='time'>2024-05-%02d</span><a href='/html/2024/05/%d.html' title='%s' target='_blank'>%s</a></li>" % (R.randint(1, 28), t, title, title))
        wanted.append(base + "html/2024/05/%d.html" % t)
    html = ("<html><head><meta http-equiv='Content-Type' content='text/html; charset=gbk'><title>行业资讯</title></head><body>"
            "<div class='menu'><a href='/'>首页</a><a href='/html/news/'>资讯</a><a href='/html/tech/'>技术</a><a href='/html/down/'>下载</a></div>"
            "<div class='left'><div class='box'><div class='tit'>行业资讯</div><ul class='newslist'>%s</ul></div>"
            "<div class='pages'><a href='/html/news/list_2.html'>下一页</a></div></div>"
            "<div class='right'><div class='box'><div class='tit'>推荐阅读</div><ul><li><a href='/html/2024/04/9001.html'>%s</a></li><li><a href='/html/2024/04/9002.html'>%s</a></li></ul></div></div>"
            "</body></html>" % ("".join(lis), zh_title(6, 8), zh_title(6, 8)))
    page(name, base + "html/news/", "gbk", html, wanted)


def discourse(name, host):
    base = "https://%s/" % host
    rows, wanted = [], []
    for t in ids(1, 1, 50):
        rows.append('<tr class="topic-list-item pinned"><td class="main-link"><span class="link-top-line"><span class="topic-statuses"><span class="topic-status pinned"><svg class="fa d-icon d-icon-thumbtack"></svg></span></span>'
                    '<a href="%st/welcome-to-the-forum/%d" class="title raw-link raw-topic-link" data-topic-id="%d">Welcome to the forum</a></span></td><td class="num posts">1</td></tr>\n' % (base, t, t))
    for t in ids(28, 1000, 20000):
        title = en_title()
        rows.append('<tr class="topic-list-item"><td class="main-link"><span class="link-top-line"><a href="%st/%s/%d" class="title raw-link raw-topic-link" data-topic-id="%d">%s</a></span>'
                    '<div class="link-bottom-line"><a class="badge-wrapper bullet" href="/c/support/5"><span class="badge-category-bg"></span><span class="badge-category clear-badge"><span class="category-name">Support</span></span></a></div></td>'
                    '<td class="posters"><a href="/u/member%d" data-user-card="member%d"><img alt="" width="25" height="25" src="/user_avatar/x/25/1.png" class="avatar"></a></td>'
                    '<td class="num posts">%d</td><td class="num age activity"><a class="post-activity" href="%st/%s/%d/%d"><span class="relative-date">2h</span></a></td></tr>\n'
                    % (base, slug(title), t, t, title, t % 40, t % 40, R.randint(1, 90), base, slug(title), t, R.randint(2, 90)))
        wanted.append(base + "t/%s/%d" % (slug(title), t))
    html = ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n<title>Latest topics - Example Community</title>\n</head>\n<body class="crawler">\n'
            '<header><a href="/"><img src="/uploads/logo.png" alt="Example Community" id="site-logo"></a></header>\n<div id="main-outlet" class="wrap" role="main">\n'
            '<div class="topic-list-container"><table class="topic-list"><thead><tr><th>Topic</th><th></th><th class="replies">Replies</th><th class="views">Views</th><th>Activity</th></tr></thead><tbody>\n%s</tbody></table></div>\n'
            '<div class="navigation" role="navigation"><a href="/latest?page=1" rel="next">next page &rarr;</a></div></div>\n'
            '<footer class="container wrap"><nav class="crawler-nav"><ul><li><a href="/">Home</a></li><li><a href="/categories">Categories</a></li><li><a href="/guidelines">FAQ/Guidelines</a></li></ul></nav></footer>\n</body>\n</html>\n' % "".join(rows))
    page(name, base + "latest", "utf8", html, wanted)


def relative_parent(name, host):
    base = "http://%s/site/news/list/" % host
    lis, wanted = [], []
    for t in ids(18, 100, 9999):
        lis.append('<li class="item"><a href="../../article/%d.htm" class="t">%s</a> <span class="d">[05-%02d]</span></li>' % (t, zh_title(6, 11), R.randint(1, 28)))
        wanted.append("http://%s/site/article/%d.htm" % (host, t))
    html = ('<html><head><meta charset="gbk"><title>新闻列表</title></head><body><div class="nav"><a href="../../index.htm">首页</a><a href="../../about.htm">关于</a><a href="../../contact.htm">联系</a></div>'
            '<div class="content"><ul class="news">%s</ul></div><div class="pager">1 <a href="list_2.htm">2</a> <a href="list_3.htm">3</a></div></body></html>' % "".join(lis))
    page(name, base + "index.htm", "gbk", html, wanted)


def scheme_relative(name, host):
    base = "https://www.%s/" % host
    lis, wanted = [], []
    for t in ids(24, 10000000, 19999999):
        lis.append('<div class="news-item"><h4><a href="//news.%s/a/%d.html" target="_blank"><span class="tag">头条</span>%s</a></h4><p class="info">示例网 · %d评论</p></div>'
                   % (host, t, zh_title(8, 14), R.randint(0, 500)))
        wanted.append("https://news.%s/a/%d.html" % (host, t))
    html = ('<!doctype html><html><head><meta charset="utf-8"><title>要闻</title></head><body><div class="header"><ul class="channel"><li><a href="//www.%s/">首页</a></li><li><a href="//news.%s/">新闻</a></li>'
            '<li><a href="//sports.%s/">体育</a></li><li><a href="//ent.%s/">娱乐</a></li></ul></div><div class="main"><div class="news-list">%s</div></div>'
            '<div class="footer"><a href="//www.%s/about">关于我们</a></div></body></html>' % (host, host, host, host, "".join(lis), host))
    page(name, base, "utf8", html, wanted)


def tuning_set():
    discuz_x("discuz-x3-gbk", "bbs.example-forum.cn")
    discuz_old("discuz-old-gbk", "www.oldboard.example")
    phpbb("phpbb-utf8", "forum.example.org")
    vbulletin("vbulletin-gbk", "club.example-photo.cn")
    tieba("tieba-like-utf8", "tieba.example.com")
    rolling_news("rolling-news-gbk", "roll.example-news.com.cn")
    people_news("people-news-utf8", "politics.example.com.cn")
    gov_notices("gov-notices-gbk", "www.example.gov.cn")
    wordpress("wordpress-utf8", "blog.example.net")
    hugo("hugo-utf8", "notes.example.dev")
    jekyll("jekyll-utf8", "weblog.example.io")
    oldest_first_log("changelog-oldest-first", "tool.example.org")
    classifieds("classifieds-gbk", "example-58.com")
    papers("papers-utf8", "preprints.example.org")
    minified_spa("minified-spa-utf8", "feed.example.app")
    douban_group("group-topics-utf8", "example-group.com")
    uppercase_asp("uppercase-asp-gbk", "www.example-company.cn")
    single_quoted("single-quoted-gbk", "www.example-info.cn")
    discourse("discourse-utf8", "community.example.org")
    relative_parent("relative-parent-gbk", "www.example-school.edu.cn")
    scheme_relative("scheme-relative-utf8", "example-portal.com")


# ------------------------------------------------------------------------------------------------------------
# The held-out set: engines the proposal was not tuned on, written after it was done and scored once.

def link_aggregator(name, host):
    base = "https://%s/" % host
    rows, wanted = [], []
    for k, t in enumerate(ids(30, 40000000, 40999999)):
        site = R.choice(["example-tech.org", "blog.example.dev", "example-science.net", "news.example.io"])
        url = "https://%s/%s" % (site, slug(en_title()))
        rows.append('<tr class="athing" id="%d"><td align="right" valign="top" class="title"><span class="rank">%d.</span></td>'
                    '<td valign="top" class="votelinks"><center><a id="up_%d" href="vote?id=%d&amp;how=up&amp;goto=news"><div class="votearrow" title="upvote"></div></a></center></td>'
                    '<td class="title"><span class="titleline"><a href="%s">%s</a><span class="sitebit comhead"> (<a href="from?site=%s"><span class="sitestr">%s</span></a>)</span></span></td></tr>'
                    '<tr><td colspan="2"></td><td class="subtext"><span class="subline"><span class="score" id="score_%d">%d points</span> by <a href="user?id=u%d" class="hnuser">u%d</a> '
                    '<span class="age"><a href="item?id=%d">%d hours ago</a></span> | <a href="item?id=%d">%d&nbsp;comments</a></span></td></tr><tr class="spacer" style="height:5px"></tr>\n'
                    % (t, k + 1, t, t, url, en_title(), site, site, t, R.randint(1, 500), t % 90, t % 90, t, R.randint(1, 20), t, R.randint(0, 300)))
        wanted.append(url)
    html = ('<html lang="en" op="news"><head><meta name="referrer" content="origin"><title>Links</title></head><body><center><table id="hnmain" border="0" cellpadding="0" cellspacing="0" width="85%%">'
            '<tr><td><table border="0" cellpadding="0" cellspacing="0" width="100%%"><tr><td><span class="pagetop"><b class="hnname"><a href="news">Links</a></b>'
            '<a href="newest">new</a> | <a href="front">past</a> | <a href="newcomments">comments</a> | <a href="ask">ask</a> | <a href="submit">submit</a></span></td></tr></table></td></tr>'
            '<tr id="pagespace" title="" style="height:10px"></tr><tr><td><table border="0" cellpadding="0" cellspacing="0">\n%s'
            '<tr class="morespace" style="height:10px"></tr><tr><td colspan="2"></td><td class="title"><a href="?p=2" class="morelink" rel="next">More</a></td></tr></table></td></tr>'
            '<tr><td><center><span class="yclinks"><a href="newsguidelines.html">Guidelines</a> | <a href="newsfaq.html">FAQ</a></span></center></td></tr></table></center></body></html>'
            % "".join(rows))
    page(name, base + "news", "utf8", html, wanted)


def ghost_blog(name, host):
    base = "https://%s/" % host
    cards, wanted = [], []
    for k in range(12):
        s = slug(en_title()) + "-%d" % k
        cards.append('<article class="post-card post tag-notes"><a class="post-card-image-link" href="/%s/"><img class="post-card-image" src="/content/images/%d.jpg" alt="" loading="lazy"></a>'
                     '<div class="post-card-content"><a class="post-card-content-link" href="/%s/"><header class="post-card-header"><div class="post-card-primary-tag">Notes</div>'
                     '<h2 class="post-card-title">%s</h2></header><section class="post-card-excerpt"><p>%s</p></section></a>'
                     '<footer class="post-card-meta"><time class="post-card-meta-date" datetime="2024-05-%02d">May %d, 2024</time><span class="post-card-meta-length">5 min read</span></footer></div></article>\n'
                     % (s, k, s, en_title(), en_title(14, 24), 28 - k, 28 - k))
        wanted.append(base + s + "/")
    html = ('<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>Studio notes</title></head><body class="home-template">'
            '<div class="viewport"><header id="gh-head" class="gh-head outer"><nav class="gh-head-inner inner"><div class="gh-head-menu"><ul class="nav"><li class="nav-home nav-current"><a href="https://%s/">Home</a></li>'
            '<li class="nav-about"><a href="https://%s/about/">About</a></li><li class="nav-tags"><a href="https://%s/tags/">Tags</a></li></ul></div></nav></header>'
            '<main id="site-main" class="site-main outer"><div class="inner posts"><div class="post-feed">\n%s</div><nav class="pagination"><a class="older-posts" href="/page/2/">Older Posts</a></nav></div></main>'
            '<footer class="site-footer outer"><div class="inner"><section class="copyright"><a href="https://%s/">Studio notes</a> &copy; 2024</section></div></footer></div></body></html>'
            % (host, host, host, "".join(cards), host))
    page(name, base, "utf8", html, wanted)


def portal_news_gbk(name, host):
    base = "https://www.%s/" % host
    lis, wanted = [], []
    for t in ids(24, 700000000, 799999999):
        a = "https://www.%s/a/%d_%d" % (host, t, R.randint(100000, 999999))
        lis.append('<li class="news-item"><div class="pic"><a href="%s" target="_blank"><img src="//img.%s/%d.jpg"></a></div><div class="txt"><h4><a href="%s" target="_blank">%s</a></h4>'
                   '<p class="info"><span class="src">示例号</span><span class="time">%d分钟前</span><a class="com" href="%s#comment_area" target="_blank">%d评论</a></p></div></li>\n'
                   % (a, host, t, a, zh_title(8, 14), R.randint(1, 59), a, R.randint(0, 999)))
        wanted.append(a)
    html = ('<!DOCTYPE html><html><head><meta charset="gbk"><title>新闻_示例门户</title></head><body><div class="head-nav"><ul><li><a href="//www.%s/">首页</a></li><li><a href="//news.%s/">新闻</a></li>'
            '<li><a href="//sports.%s/">体育</a></li><li><a href="//auto.%s/">汽车</a></li></ul></div><div class="main clearfix"><div class="left"><ul class="news-list">\n%s</ul>'
            '<div class="more-load"><a href="javascript:void(0)">加载更多</a></div></div><div class="right"><div class="hot-rank"><h3>热榜</h3><ol><li><a href="https://www.%s/a/600000001_1">%s</a></li>'
            '<li><a href="https://www.%s/a/600000002_1">%s</a></li><li><a href="https://www.%s/a/600000003_1">%s</a></li></ol></div></div></div></body></html>'
            % (host, host, host, host, "".join(lis), host, zh_title(6, 9), host, zh_title(6, 9), host, zh_title(6, 9)))
    page(name, base + "c/8/", "gbk", html, wanted)


def nodebb(name, host):
    base = "https://%s/" % host
    lis, wanted = [], []
    for k, t in enumerate(ids(20, 100, 9000)):
        s = slug(en_title())
        pinned = k == 0
        lis.append('<li component="category/topic" class="row clearfix category-item %s" data-tid="%d" data-index="%d" data-cid="3">'
                   '<div class="col-md-6 col-sm-9 col-xs-10 content"><div class="avatar pull-left"><a href="/user/m%d" class="pull-left"><span class="avatar avatar-sm">M</span></a></div>'
                   '<h2 component="topic/header" class="title"><i component="topic/pinned" class="fa fa-thumb-tack %s" title="Pinned"></i><a href="/topic/%d/%s" itemprop="url">%s</a></h2>'
                   '<small><a href="/category/3/general"><span class="fa-stack fa-lg"><i class="fa fa-comments fa-stack-1x"></i></span>General</a> &bull; <span class="timeago" title="2024-05-%02dT10:00:00.000Z"></span></small></div>'
                   '<div class="mobile-stat col-xs-2 visible-xs text-right"><span class="human-readable-number">%d</span> <a href="/topic/%d/%s/%d"><i class="fa fa-arrow-circle-right"></i></a></div></li>\n'
                   % ("pinned" if pinned else "unpinned", t, k, t % 30, "" if pinned else "hide", t, s, en_title(), R.randint(1, 28), R.randint(1, 99), t, s, R.randint(2, 30)))
        if not pinned:
            wanted.append(base + "topic/%d/%s" % (t, s))
    html = ('<!DOCTYPE html><html lang="en-GB"><head><meta charset="utf-8"><title>General | Example forum</title></head><body class="page-category"><nav class="navbar navbar-default navbar-fixed-top header" id="header-menu">'
            '<ul id="main-nav" class="nav navbar-nav"><li><a class="navigation-link" href="/categories" title="Categories">Categories</a></li><li><a class="navigation-link" href="/recent">Recent</a></li>'
            '<li><a class="navigation-link" href="/tags">Tags</a></li><li><a class="navigation-link" href="/popular">Popular</a></li><li><a class="navigation-link" href="/users">Users</a></li></ul></nav>'
            '<div class="container" id="content"><div class="category"><div class="row"><div class="col-md-12"><ul component="category" class="topic-list" itemscope>\n%s</ul></div></div>'
            '<div component="pagination" class="text-center pagination-container"><ul class="pagination hidden-xs"><li class="page active"><a href="?page=1">1</a></li><li class="page"><a href="?page=2">2</a></li></ul></div></div></div>'
            '<script>var config = {"relative_path":"","upload_url":"/assets/uploads"};</script></body></html>' % "".join(lis))
    page(name, base + "category/3/general", "utf8", html, wanted)


def job_board_gbk(name, host):
    base = "http://bj.%s/" % host
    dls, wanted = [], []
    for t in ids(25, 3000000000, 3999999999):
        dls.append('<dl class="list-noimg job-list clearfix" pzl="%d"><dt><a href="/zpshichangyingxiao/%dx.htm" target="_blank" class="list_title gj_tongji" gjalog="xx">%s</a>'
                   '<i class="icon-jp" title="精品"></i></dt><dd class="company"><a href="/fang/c%d/" target="_blank" class="list_title" title="示例公司">示例公司%d</a></dd>'
                   '<dd class="pay">%d-%d元</dd><dd class="pub-time"><span>05-%02d</span></dd></dl>\n'
                   % (t, t, zh_title(4, 8), t % 1000, t % 1000, R.randint(3, 6) * 1000, R.randint(7, 12) * 1000, R.randint(1, 28)))
        wanted.append(base + "zpshichangyingxiao/%dx.htm" % t)
    html = ('<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN"><html><head><meta http-equiv="Content-Type" content="text/html; charset=gbk" /><title>北京市场营销招聘</title></head><body>'
            '<div class="header"><div class="nav"><a href="/">首页</a> <a href="/zhaopin/">招聘</a> <a href="/fang/">房产</a> <a href="/che/">二手车</a></div></div>'
            '<div class="filter"><dl><dt>区域：</dt><dd><a href="/zpshichangyingxiao/chaoyang/">朝阳</a><a href="/zpshichangyingxiao/haidian/">海淀</a><a href="/zpshichangyingxiao/dongcheng/">东城</a><a href="/zpshichangyingxiao/xicheng/">西城</a></dd></dl></div>'
            '<div class="leftBox"><div class="job-list-wrap">\n%s</div><div class="pageBox"><ul class="pageLink clearfix"><li><a class="linkOn"><span>1</span></a></li><li><a href="/zpshichangyingxiao/o2/"><span>2</span></a></li></ul></div></div>'
            '</body></html>' % "".join(dls))
    page(name, base + "zpshichangyingxiao/", "gbk", html, wanted)


def old_portal_br(name, host):
    base = "http://www.%s/" % host
    links, wanted = [], []
    for t in ids(20, 1000, 99999):
        links.append('<font color=#ff6600>·</font><a href=/html/2024/0512/%d.html target=_blank class=a1>%s</a><font color=#999999>(05-12)</font><br>' % (t, zh_title(6, 12)))
        wanted.append(base + "html/2024/0512/%d.html" % t)
    html = ('<html><head><meta http-equiv=Content-Type content="text/html; charset=gb2312"><title>示例信息港</title></head><body topmargin=0>'
            '<table width=778 border=0 align=center cellpadding=0 cellspacing=0><tr><td height=25 bgcolor=#0066cc><a href=/ class=w>首页</a> | <a href=/html/news/ class=w>新闻</a> | <a href=/html/bbs/ class=w>论坛</a> | <a href=/html/down/ class=w>下载</a></td></tr></table>'
            '<table width=778 border=0 align=center><tr><td width=200 valign=top><table><tr><td><b>栏目导航</b></td></tr><tr><td><a href=/html/news/gn/>国内</a><br><a href=/html/news/gj/>国际</a><br><a href=/html/news/sh/>社会</a></td></tr></table></td>'
            '<td valign=top><table width=100%% border=0><tr><td class=title><b>最新更新</b></td></tr><tr><td class=list>%s</td></tr></table></td></tr></table>'
            '<table width=778 align=center><tr><td align=center>Copyright 2004-2024 示例信息港</td></tr></table></body></html>' % "".join(links))
    page(name, base, "gbk", html, wanted)


def mobile_forum_utf8(name, host):
    base = "https://m.%s/" % host
    items, wanted = [], []
    for t in ids(20, 1000000, 1999999):
        items.append('<a class="topic-item" href="/thread/%d?from=list"><div class="topic-title">%s</div><div class="topic-meta"><span class="author">用户%d</span><span class="reply">%d</span></div></a>'
                     % (t, zh_title(6, 14), t % 300, R.randint(0, 99)))
        wanted.append(base + "thread/%d?from=list" % t)
    html = ('<!DOCTYPE html><html><head><meta charset="utf-8"><meta name="viewport" content="width=device-width"><title>手机版 - 示例论坛</title></head><body>'
            '<header class="bar"><a class="back" href="/">返回</a><h1>灌水区</h1><a class="post" href="/post/new?fid=2">发帖</a></header>'
            '<div class="tabs"><a class="on" href="/forum/2?order=reply">最新回复</a><a href="/forum/2?order=new">最新发表</a><a href="/forum/2?digest=1">精华</a></div>'
            '<section class="topic-list">%s</section><a class="load-more" href="/forum/2?page=2">加载更多</a>'
            '<script>window.__DATA__={"topics":[{"url":"/thread/1"}]}</script></body></html>' % "".join(items))
    page(name, base + "forum/2", "utf8", html, wanted)


def heldout_set():
    link_aggregator("link-aggregator-utf8", "links.example.com")
    ghost_blog("ghost-blog-utf8", "studio.example.com")
    portal_news_gbk("portal-news-gbk", "example-portal.cn")
    nodebb("nodebb-utf8", "talk.example.net")
    job_board_gbk("job-board-gbk", "example-jobs.cn")
    old_portal_br("old-portal-br-gbk", "example-info.com.cn")
    mobile_forum_utf8("mobile-forum-utf8", "example-bbs.cn")


def write(folder):
    import os
    os.makedirs(folder, exist_ok=True)
    for name, (address, encoding, html, wanted) in PAGES.items():
        with open(os.path.join(folder, name + ".html"), "wb") as f:
            f.write(html.encode("gbk" if encoding == "gbk" else "utf-8"))
        with open(os.path.join(folder, name + ".expect"), "w", encoding="utf-8") as f:
            f.write("address %s\nencoding %s\n" % (address, encoding))
            for url in wanted:
                f.write(url + "\n")


if __name__ == "__main__":
    which = sys.argv[1] if len(sys.argv) > 1 else "tuning"
    if which == "tuning":
        tuning_set()
        write("tuning")
    elif which == "heldout":
        heldout_set()
        write("heldout")
