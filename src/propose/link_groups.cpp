#include "propose/link_groups.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>

#include "fetch/redirect.h"
#include "fetch/url.h"
#include "propose/address_pattern.h"
#include "text/gbk_text.h"

namespace qw::propose {
namespace {

// How far above a link its list may begin.
constexpr int kRowDepth = 9;

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithCaseFree(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// The words of an id or class value: "bm_c threadlist" gives bm, c, threadlist.
std::vector<std::string> Words(std::string_view value) {
  std::vector<std::string> words;
  std::string word;
  for (char c : value) {
    const char l = AsciiLower(c);
    if ((l >= 'a' && l <= 'z') || (l >= '0' && l <= '9')) {
      word += l;
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

bool AnyWordIn(const std::vector<std::string>& words, std::initializer_list<std::string_view> set) {
  for (const std::string& w : words) {
    for (std::string_view s : set) {
      if (w == s) return true;
    }
  }
  return false;
}

// Page furniture: menus, headers and footers, side columns, paging, tag clouds and link exchanges.
const std::initializer_list<std::string_view> kFurniture = {
    "nav",     "navbar",   "navigation", "menu",    "menus",   "submenu",   "header",   "footer",  "foot",
    "ft",      "hd",       "breadcrumb", "crumb",   "crumbs",  "sidebar",   "side",     "aside",   "links",
    "flink",   "friendlink", "pages",    "pager",   "pagination", "pg",     "page",     "paging",  "tags",
    "tag",     "tagcloud", "hot",        "hots",    "rank",    "ranking",   "top10",    "login",   "userinfo",
    "copyright", "toolbar", "topbar",    "share",   "social",  "related",   "recommend", "ad",     "ads",
    "banner",  "widget",   "sitemap",    "subnav",  "tabs",    "filter",    "sort",     "category", "categories"};
// Where lists of articles usually live.
const std::initializer_list<std::string_view> kListWords = {
    "list",   "threadlist", "thread",  "threads", "topic",  "topics", "posts", "post",   "article", "articles",
    "news",   "newslist",   "content", "main",    "entry",  "entries", "feed", "items",  "item",    "result",
    "results", "tl",        "archive", "latest",  "river",  "stream", "board", "papers", "listing", "ads-list"};

std::vector<std::string> ElementWords(const PageModel& model, const Element& e) {
  std::vector<std::string> words;
  for (std::string_view name : {"id", "class"}) {
    if (const Attribute* a = e.Find(name)) {
      for (std::string& w : Words(model.Value(*a))) words.push_back(std::move(w));
    }
  }
  return words;
}

// Width of a text as it reads: two for a two-byte character, one for any other.
int Width(std::string_view text) {
  int width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) {
      width += 2;
      ++i;
    } else {
      ++width;
    }
  }
  return width;
}

bool MostlyDigits(std::string_view text) {
  int digits = 0;
  int letters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c >= 0x80 || (AsciiLower(static_cast<char>(c)) >= 'a' && AsciiLower(static_cast<char>(c)) <= 'z')) {
      ++letters;
      if (c >= 0x80) ++i;
    }
  }
  return letters == 0 || (digits > 0 && letters <= 1);
}

std::string HostOf(std::string_view url) {
  if (!StartsWithCaseFree(url, "http://") && !StartsWithCaseFree(url, "https://")) return {};
  const std::string host = UrlHost(url);
  // The last two labels, so that news.x.com and www.x.com count as one site.
  const std::size_t last = host.rfind('.');
  if (last == std::string::npos || last == 0) return host;
  const std::size_t before = host.rfind('.', last - 1);
  return before == std::string::npos ? host : host.substr(before + 1);
}

// Whether a text stands in a heading or an element named as a title, inside the link.
bool InTitleElement(const PageModel& model, std::int32_t element, std::int32_t link) {
  for (std::int32_t e = element; e >= 0 && e != link; e = model.elements[static_cast<std::size_t>(e)].parent) {
    const Element& el = model.elements[static_cast<std::size_t>(e)];
    if (el.tag.size() == 2 && el.tag[0] == 'h' && el.tag[1] >= '1' && el.tag[1] <= '6') return true;
    if (const Attribute* cls = el.Find("class")) {
      for (const std::string& w : Words(model.Value(*cls))) {
        if (w == "title" || w == "tit" || w == "subject" || w == "headline") return true;
      }
    }
  }
  return false;
}

// What a link points at, roughly, so that a list's article links share it and its author or tag links do not:
// the site (every other site counts as one: a list of links out is one list), the first folder of the path
// with digits as 0, the ending of the file name, and the query's parameter names.
std::string LinkKind(std::string_view url, const std::string& site) {
  std::string_view rest = url;
  const std::size_t scheme = rest.find("://");
  if (scheme != std::string_view::npos) rest.remove_prefix(scheme + 3);
  const std::size_t fragment = rest.find('#');
  rest = rest.substr(0, fragment);
  std::string_view query;
  if (const std::size_t at = rest.find('?'); at != std::string_view::npos) {
    query = rest.substr(at + 1);
    rest = rest.substr(0, at);
  }
  const std::size_t slash = rest.find('/');
  const std::string_view host = rest.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);

  std::string kind = site.empty() || HostOf(url).empty() || HostOf(url) == site ? std::string(host) : "*";
  kind += '/';
  std::string rough;
  if (const std::size_t folder = path.find('/'); folder != std::string_view::npos) rough = path.substr(0, folder);
  const std::string_view file = path.substr(path.rfind('/') + 1);
  if (const std::size_t dot = file.rfind('.'); dot != std::string_view::npos) rough += file.substr(dot);
  rough += '?';
  bool inName = true;
  for (char c : query) {
    if (c == '=') inName = false;
    if (c == '&') inName = true;
    if (inName) rough += c;
  }
  for (char c : rough) {
    if (c >= '0' && c <= '9') {
      if (kind.back() == '0') continue;
      c = '0';
    }
    kind += c;
  }
  return Lower(kind);
}

struct Candidate {
  std::int32_t container;
  std::vector<std::size_t> links;  // indexes into the page's links
  std::vector<std::int32_t> rows;
};

double Score(const PageModel& model, const std::vector<Link>& links, const Candidate& c, std::string_view address) {
  const std::size_t n = c.links.size();
  std::vector<int> widths;
  std::set<std::string_view> titles;
  int numeric = 0;
  int sameSite = 0;
  int offPurpose = 0;
  const std::string site = HostOf(address);
  for (std::size_t i : c.links) {
    const Link& link = links[i];
    std::string_view text = LinkText(model, link);
    if (text.empty()) text = link.titleAttribute;
    widths.push_back(Width(text));
    titles.insert(text);
    if (MostlyDigits(text)) ++numeric;
    const std::string host = HostOf(link.url);
    if (host.empty() || site.empty() || host == site) ++sameSite;
    const std::string lowered = Lower(link.hrefText);
    for (std::string_view word : {"tag", "category", "author", "user", "space", "member", "profile", "login",
                                  "register", "page=", "/page/", "javascript"}) {
      if (lowered.find(word) != std::string::npos) {
        ++offPurpose;
        break;
      }
    }
  }
  std::nth_element(widths.begin(), widths.begin() + static_cast<std::ptrdiff_t>(n / 2), widths.end());
  const double width = widths[n / 2];
  const double nd = static_cast<double>(n);

  double score = std::pow(std::min(nd, 120.0), 0.6);
  score *= std::clamp((width - 3.0) / 20.0, 0.03, 1.0);
  const double distinct = static_cast<double>(titles.size()) / nd;
  score *= distinct * distinct;
  score *= 1.0 - 0.9 * numeric / nd;
  score *= 0.3 + 0.7 * sameSite / nd;
  score *= 1.0 - 0.6 * offPurpose / nd;

  // Where the list stands: furniture above it weighs against it, a list-like name for it.
  bool furniture = false;
  bool listLike = false;
  int level = 0;
  for (std::int32_t e = c.container; e >= 0; e = model.elements[static_cast<std::size_t>(e)].parent, ++level) {
    const Element& el = model.elements[static_cast<std::size_t>(e)];
    if (el.tag == "nav" || el.tag == "header" || el.tag == "footer" || el.tag == "aside") furniture = true;
    const std::vector<std::string> words = ElementWords(model, el);
    if (AnyWordIn(words, kFurniture)) furniture = true;
    if (level < 4 && AnyWordIn(words, kListWords)) listLike = true;
  }
  const Link& first = links[c.links.front()];
  const std::vector<std::string> own = ElementWords(model, model.elements[static_cast<std::size_t>(first.element)]);
  if (AnyWordIn(own, kFurniture)) furniture = true;
  if (furniture) score *= 0.35;
  if (listLike) score *= 1.25;
  // Rows that each hold one link of the list are the mark of an article list.
  std::set<std::int32_t> rows(c.rows.begin(), c.rows.end());
  score *= 0.6 + 0.4 * static_cast<double>(rows.size()) / nd;
  return score;
}

}  // namespace

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view LinkText(const PageModel& model, const Link& link) {
  if (link.titleText < 0) return {};
  const TextRun& t = model.texts[static_cast<std::size_t>(link.titleText)];
  return TrimSpace(model.Bytes(t.start, t.end));
}

std::vector<Link> PageLinks(const PageModel& model, std::string_view address) {
  std::vector<Link> links;
  for (std::size_t i = 0; i < model.elements.size(); ++i) {
    const Element& e = model.elements[i];
    if (e.tag != "a" || !e.HasStartTag()) continue;
    const Attribute* href = e.Find("href");
    if (href == nullptr || !href->hasValue) continue;
    Link link;
    link.element = static_cast<std::int32_t>(i);
    link.href = href;
    link.hrefText = model.Value(*href);
    const std::string_view trimmed = TrimSpace(link.hrefText);
    if (trimmed.empty() || trimmed.front() == '#' || StartsWithCaseFree(trimmed, "javascript:") ||
        StartsWithCaseFree(trimmed, "mailto:") || StartsWithCaseFree(trimmed, "tel:") ||
        StartsWithCaseFree(trimmed, "data:")) {
      continue;
    }
    const std::string decoded = DecodeAmpersands(trimmed);
    link.url = address.empty() ? decoded : ResolveRedirect(address, decoded);
    if (link.url.empty()) continue;
    if (const Attribute* title = e.Find("title"); title != nullptr && title->hasValue) {
      link.titleAttribute = model.Value(*title);
    }
    // The texts inside the link, in page order.
    std::vector<std::int32_t> stack{link.element};
    std::vector<std::int32_t> texts;
    bool elements = false;
    while (!stack.empty()) {
      const Element& at = model.elements[static_cast<std::size_t>(stack.back())];
      stack.pop_back();
      for (auto child = at.children.rbegin(); child != at.children.rend(); ++child) {
        if (child->text) {
          texts.push_back(child->index);
        } else {
          elements = true;
          stack.push_back(child->index);
        }
      }
    }
    std::sort(texts.begin(), texts.end());
    link.textCount = static_cast<int>(texts.size());
    link.plain = !elements && texts.size() == 1;
    std::size_t longest = 0;
    std::int32_t headed = -1;
    for (std::int32_t t : texts) {
      const TextRun& run = model.texts[static_cast<std::size_t>(t)];
      const std::size_t size = TrimSpace(model.Bytes(run.start, run.end)).size();
      if (size == 0) continue;
      if (link.firstText < 0) link.firstText = t;
      if (size > longest) {
        longest = size;
        link.longestText = t;
      }
      if (headed < 0 && InTitleElement(model, run.parent, link.element)) headed = t;
    }
    link.titleText = headed >= 0 ? headed : link.longestText;
    if (link.titleText >= 0) {
      // Each tag before the title opens with "<"; the texts before it hold none.
      const std::uint32_t from = e.startTagEnd;
      const std::string_view before = model.Bytes(from, model.texts[static_cast<std::size_t>(link.titleText)].start);
      link.tagsBeforeTitle = static_cast<int>(std::count(before.begin(), before.end(), '<'));
    }
    links.push_back(std::move(link));
  }
  return links;
}

std::vector<LinkGroup> RepeatedLinkGroups(const PageModel& model, const std::vector<Link>& links,
                                          std::string_view address, std::size_t limit) {
  // Links keyed by the element whose children are the rows, the path from the row down to the link, and
  // the link's class. Each key's links form a list; the rows that hold them say whether it repeats.
  struct Key {
    std::int32_t container;
    std::string path;
    bool operator<(const Key& o) const { return container != o.container ? container < o.container : path < o.path; }
  };
  std::map<Key, Candidate> keyed;
  const std::string site = HostOf(address);
  for (std::size_t i = 0; i < links.size(); ++i) {
    const Element& a = model.elements[static_cast<std::size_t>(links[i].element)];
    std::string path = "a";
    if (const Attribute* cls = a.Find("class")) path += "." + std::string(model.Value(*cls));
    path += " " + LinkKind(links[i].url, site);
    std::int32_t row = links[i].element;
    for (int level = 0; level < kRowDepth; ++level) {
      const std::int32_t container = model.elements[static_cast<std::size_t>(row)].parent;
      if (container < 0) break;
      Candidate& c = keyed[{container, path}];
      c.container = container;
      c.links.push_back(i);
      c.rows.push_back(row);
      // One level up, this container is the row.
      path = model.elements[static_cast<std::size_t>(container)].tag + ">" + path;
      row = container;
    }
  }

  std::vector<LinkGroup> groups;
  std::set<std::vector<std::size_t>> seen;
  // Inner containers first: where two hold the same links, the one whose children are the rows stands.
  for (auto it = keyed.rbegin(); it != keyed.rend(); ++it) {
    const Candidate& c = it->second;
    std::set<std::int32_t> rows(c.rows.begin(), c.rows.end());
    if (rows.size() < 3) continue;
    // Each address once: a thread linked from its title and from its icon is one article; the link with the
    // most text stands for it.
    std::map<std::string, std::size_t> byUrl;
    Candidate unique{c.container, {}, {}};
    for (std::size_t k = 0; k < c.links.size(); ++k) {
      const Link& link = links[c.links[k]];
      auto [at, added] = byUrl.emplace(link.url, unique.links.size());
      if (added) {
        unique.links.push_back(c.links[k]);
        unique.rows.push_back(c.rows[k]);
      } else if (LinkText(model, link).size() > LinkText(model, links[unique.links[at->second]]).size()) {
        unique.links[at->second] = c.links[k];
      }
    }
    if (unique.links.size() < 3) continue;
    std::vector<std::size_t> signature = unique.links;
    std::sort(signature.begin(), signature.end());
    if (!seen.insert(signature).second) continue;
    LinkGroup group;
    group.container = unique.container;
    group.score = Score(model, links, unique, address);
    for (std::size_t k = 0; k < unique.links.size(); ++k) {
      Link link = links[unique.links[k]];
      link.row = unique.rows[k];
      group.links.push_back(std::move(link));
    }
    std::sort(group.links.begin(), group.links.end(),
              [](const Link& x, const Link& y) { return x.element < y.element; });
    groups.push_back(std::move(group));
  }
  std::sort(groups.begin(), groups.end(), [](const LinkGroup& x, const LinkGroup& y) { return x.score > y.score; });
  if (groups.size() > limit) groups.resize(limit);
  return groups;
}

}  // namespace qw::propose
