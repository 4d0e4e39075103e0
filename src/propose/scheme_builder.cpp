#include "propose/scheme_builder.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "extract/collect_scheme.h"
#include "extract/pipeline.h"
#include "fetch/redirect.h"
#include "propose/address_pattern.h"
#include "propose/regex_text.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw::propose {
namespace {

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Between two wanted attributes of the link's start tag: anything but the tag's end, the next attribute
// beginning after white space.
constexpr std::string_view kNextAttribute = "\\s(?:[^>]*?\\s)?";

// Where the title is read from.
enum class TitleFrom {
  kText,       // the link holds its title and nothing else
  kFirstText,  // the first text inside the link, after any markup
  kNthText,    // the title text inside the link, after a fixed number of tags
  kAttribute,  // the link's title attribute
};

std::string_view TitleOf(const PageModel& model, const Link& link, TitleFrom from) {
  switch (from) {
    case TitleFrom::kText:
    case TitleFrom::kFirstText: {
      if (link.firstText < 0) return {};
      const TextRun& t = model.texts[static_cast<std::size_t>(link.firstText)];
      return TrimSpace(model.Bytes(t.start, t.end));
    }
    case TitleFrom::kNthText:
      return LinkText(model, link);
    case TitleFrom::kAttribute:
      return link.titleAttribute;
  }
  return {};
}

bool Truncated(std::string_view text) {
  return text.ends_with("..") || text.ends_with(QW_GBK("…")) || text.ends_with(QW_GBK("。。。"));
}

// The title sources that fit every link, best first.
std::vector<TitleFrom> TitleSources(const PageModel& model, const std::vector<Link>& links) {
  const bool allPlain = std::all_of(links.begin(), links.end(), [](const Link& l) { return l.plain; });
  const bool allText = std::all_of(links.begin(), links.end(), [](const Link& l) { return l.firstText >= 0; });
  const bool firstIsTitle =
      std::all_of(links.begin(), links.end(), [](const Link& l) { return l.firstText == l.titleText; });
  const bool sameTagCount = std::all_of(links.begin(), links.end(), [&](const Link& l) {
    return l.titleText >= 0 && l.tagsBeforeTitle == links.front().tagsBeforeTitle;
  });
  const bool allAttribute = std::all_of(links.begin(), links.end(), [](const Link& l) {
    return !TrimSpace(l.titleAttribute).empty() && l.titleAttribute.find('<') == std::string_view::npos;
  });
  int cut = 0;
  for (const Link& l : links) {
    if (Truncated(LinkText(model, l))) ++cut;
  }
  std::vector<TitleFrom> sources;
  const bool attributeFirst = allAttribute && (cut * 4 >= static_cast<int>(links.size()) || !allText);
  if (attributeFirst) sources.push_back(TitleFrom::kAttribute);
  if (allPlain) sources.push_back(TitleFrom::kText);
  if (allText && firstIsTitle) sources.push_back(TitleFrom::kFirstText);
  if (allText && !firstIsTitle && sameTagCount) sources.push_back(TitleFrom::kNthText);
  if (allAttribute && !attributeFirst) sources.push_back(TitleFrom::kAttribute);
  return sources;
}

// Words in a row that mark it as pinned above the list: in the row's own tag, or on an icon or label in it.
bool LooksPinned(const PageModel& model, const Element& row) {
  static const std::vector<std::string> kRowWords = {"stick", "sticky", "top", "pin", "pinned", "announce",
                                                     "announcement", "notice", "zhiding", "istop", "totop"};
  static const std::vector<std::string> kInnerWords = {"stick", "sticky", "pin", "pinned", "zhiding", "istop",
                                                       "announce", "announcement"};
  const auto hasWord = [](std::string_view value, const std::vector<std::string>& words) {
    std::string word;
    for (std::size_t i = 0; i <= value.size(); ++i) {
      const char c = i < value.size() ? AsciiLower(value[i]) : ' ';
      if (c >= 'a' && c <= 'z') {
        word += c;
        continue;
      }
      if (std::find(words.begin(), words.end(), word) != words.end()) return true;
      word.clear();
    }
    return false;
  };
  const std::string_view source = model.Bytes(row.start, row.End());
  if (source.find(QW_GBK("置顶")) != std::string_view::npos) return true;
  if (hasWord(model.StartTag(row), kRowWords)) return true;
  for (std::size_t at = source.find('<', 1); at != std::string_view::npos; at = source.find('<', at + 1)) {
    const std::size_t end = source.find('>', at);
    if (end == std::string_view::npos) break;
    if (hasWord(source.substr(at + 1, end - at - 1), kInnerWords)) return true;
  }
  return false;
}

bool LooksLikeSeparator(const PageModel& model, const Element& e) {
  for (std::string_view name : {"id", "class"}) {
    if (const Attribute* a = e.Find(name)) {
      const std::string value = Lower(model.Value(*a));
      for (std::string_view word : {"separator", "separatorline", "divider", "sep", "split"}) {
        if (value.find(word) != std::string::npos) return true;
      }
    }
  }
  return false;
}

// How many rows at the top of the list are pinned there: marked as such, or set apart by a separator.
std::size_t PinnedRows(const PageModel& model, const LinkGroup& group) {
  const std::vector<Link>& links = group.links;
  const std::size_t n = links.size();
  std::size_t pinned = 0;
  while (pinned < n && LooksPinned(model, model.elements[static_cast<std::size_t>(links[pinned].row)])) ++pinned;
  if (pinned > 0 && pinned + 3 <= n) return pinned;
  // A separator among the container's children, with rows on both sides and fewer above it.
  const Element& container = model.elements[static_cast<std::size_t>(group.container)];
  std::size_t above = 0;
  for (const NodeRef& child : container.children) {
    if (child.text) continue;
    if (above < n && child.index == links[above].row) {
      while (above < n && links[above].row == child.index) ++above;
      continue;
    }
    if (above > 0 && above * 2 <= n && above + 3 <= n &&
        LooksLikeSeparator(model, model.elements[static_cast<std::size_t>(child.index)])) {
      return above;
    }
  }
  return 0;
}

// Dates next to the links, to tell a list that shows its newest at the bottom.
bool OldestFirst(const PageModel& model, const std::vector<Link>& links) {
  // 2024-05-12, 2024/5/12, 2024.05.12 or 2024年5月12日, perhaps with a time after it.
  static const boost::regex kDate("(?:19|20)\\d\\d(?:[-/.]|" + Utf8ToGbk("年") + ")(\\d{1,2})(?:[-/.]|" + Utf8ToGbk("月") +
                                      ")(\\d{1,2})(?:\\D{0,8}?(\\d{1,2}):(\\d\\d))?",
                                  boost::regex::perl);
  std::vector<std::string> stamps;
  for (const Link& link : links) {
    const Element& row = model.elements[static_cast<std::size_t>(link.row)];
    const std::string_view source = model.Bytes(row.start, row.End());
    boost::match_results<std::string_view::const_iterator> m;
    if (!boost::regex_search(source.begin(), source.end(), m, kDate)) return false;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%s%02d%02d%02d%02d", m.str(0).substr(0, 4).c_str(), std::stoi(m.str(1)),
                  std::stoi(m.str(2)), m[3].matched ? std::stoi(m.str(3)) : 0, m[4].matched ? std::stoi(m.str(4)) : 0);
    stamps.emplace_back(stamp);
  }
  return std::is_sorted(stamps.begin(), stamps.end()) && stamps.front() != stamps.back();
}

// Pieces of an element's start tag that can mark a place in the page: its id and class as written (cut
// before a long number, which changes from one page to the next), the whole tag, the tag's opening.
std::vector<std::string_view> MarkerPieces(const PageModel& model, const Element& e) {
  std::vector<std::string_view> pieces;
  if (!e.HasStartTag()) return pieces;
  const auto longNumberAt = [](std::string_view text) -> std::size_t {
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      run = (text[i] >= '0' && text[i] <= '9') ? run + 1 : 0;
      if (run == 3) return i - 2;
    }
    return std::string_view::npos;
  };
  for (std::string_view name : {"id", "class"}) {
    const Attribute* a = e.Find(name);
    if (a == nullptr || !a->hasValue || a->valueEnd == a->valueStart) continue;
    const std::uint32_t end = a->valueEnd + (a->quote != 0 ? 1 : 0);
    const std::string_view whole = model.Bytes(a->nameStart, end);
    const std::size_t number = longNumberAt(whole);
    if (number == std::string_view::npos) {
      pieces.push_back(whole);
    } else if (a->nameStart + number >= a->valueStart + 3) {
      pieces.push_back(whole.substr(0, number));
    }
  }
  const std::string_view tag = model.StartTag(e);
  if (tag.size() <= 100 && longNumberAt(tag) == std::string_view::npos) pieces.push_back(tag);
  pieces.push_back(tag.substr(0, std::min(tag.size(), e.tag.size() + 1)));
  return pieces;
}

bool UsableMarker(std::string_view piece) {
  if (piece.empty() || piece.size() > 100) return false;
  if (piece.find_first_of("\r\n\t") != std::string_view::npos) return false;
  return piece.find(QW_GBK("#引号")) == std::string_view::npos;
}

struct MarkerChoice {
  std::string before;
  std::string after;
};

// Marker pairs that enclose the wanted links and nothing of the list before them, most fitting first.
std::vector<MarkerChoice> MarkerChoices(const PageModel& model, const LinkGroup& group, std::size_t pinned) {
  const std::string_view page = model.page;
  const Link& first = group.links[pinned];
  const Link& last = group.links.back();
  const std::uint32_t firstStart = model.elements[static_cast<std::size_t>(first.element)].start;
  const std::uint32_t lastEnd = model.elements[static_cast<std::size_t>(last.element)].End();
  const std::uint32_t low =
      pinned == 0 ? 0 : model.elements[static_cast<std::size_t>(group.links[pinned - 1].row)].End();

  // Where the region would begin with this start marker, if it fits.
  const auto beginsAt = [&](std::string_view piece, std::uint32_t& at) {
    const Pos found = Find(page, piece);
    if (found == kNotFound) return false;
    at = static_cast<std::uint32_t>(found - 1 + static_cast<Pos>(piece.size()));
    return at >= low && at <= firstStart;
  };
  std::vector<std::string> befores;
  const auto tryBefore = [&](std::string_view piece) {
    std::uint32_t at = 0;
    if (befores.size() < 6 && UsableMarker(piece) && beginsAt(piece, at) &&
        std::find(befores.begin(), befores.end(), piece) == befores.end()) {
      befores.emplace_back(piece);
    }
  };
  const Element& container = model.elements[static_cast<std::size_t>(group.container)];
  if (pinned > 0) {
    // The separator, then the first unpinned row itself.
    for (const NodeRef& child : container.children) {
      if (child.text) continue;
      const Element& e = model.elements[static_cast<std::size_t>(child.index)];
      if (e.start < low || e.start > firstStart) continue;
      for (std::string_view piece : MarkerPieces(model, e)) tryBefore(piece);
    }
  }
  for (std::int32_t e = group.container; e >= 0; e = model.elements[static_cast<std::size_t>(e)].parent) {
    for (std::string_view piece : MarkerPieces(model, model.elements[static_cast<std::size_t>(e)])) tryBefore(piece);
  }
  for (std::string_view piece : MarkerPieces(model, model.elements[static_cast<std::size_t>(first.row)])) {
    tryBefore(piece);
  }
  if (pinned > 0) {
    // Anything between the last pinned row and the first wanted link, nearest first.
    int looked = 0;
    for (std::size_t i = static_cast<std::size_t>(first.element); i-- > 0 && looked < 40;) {
      const Element& e = model.elements[i];
      if (e.start < low) break;
      ++looked;
      for (std::string_view piece : MarkerPieces(model, e)) tryBefore(piece);
    }
  }
  // Where no tag sets the list apart (the same markup stands earlier in a script or a comment): the bytes just
  // before the first link, as many as it takes for them to occur there first.
  for (std::uint32_t n = 4; n <= 100 && n <= firstStart; ++n) {
    const std::size_t from = firstStart - n;
    if (from > 0 && static_cast<unsigned char>(page[from - 1]) >= 0x80) continue;  // not a character start
    const std::string_view piece = page.substr(from, n);
    std::uint32_t at = 0;
    if (!UsableMarker(piece)) break;
    if (Find(page, piece) == static_cast<Pos>(from) + 1 && beginsAt(piece, at)) {
      if (std::find(befores.begin(), befores.end(), piece) == befores.end()) befores.emplace_back(piece);
      break;
    }
  }
  if (pinned == 0) befores.emplace_back();  // the page's first byte

  std::vector<MarkerChoice> choices;
  for (const std::string& before : befores) {
    std::uint32_t begin = 0;
    if (!before.empty()) beginsAt(before, begin);
    std::vector<std::string> afters;
    const auto tryAfter = [&](std::string_view piece) {
      if (afters.size() >= 3 || !UsableMarker(piece)) return;
      const Pos found = Find(page, piece, static_cast<Pos>(begin) + 1);
      if (found == kNotFound || static_cast<std::uint32_t>(found - 1) < lastEnd) return;
      if (std::find(afters.begin(), afters.end(), piece) == afters.end()) afters.emplace_back(piece);
    };
    // The end of the list, then what follows it, then the page's end.
    for (std::int32_t e = group.container; e >= 0; e = model.elements[static_cast<std::size_t>(e)].parent) {
      const Element& el = model.elements[static_cast<std::size_t>(e)];
      if (el.HasEndTag()) tryAfter(model.Bytes(el.endTagStart, el.endTagEnd));
      if (afters.size() >= 2) break;
    }
    const std::uint32_t listEnd = container.End();
    int following = 0;
    for (std::size_t i = static_cast<std::size_t>(group.container) + 1;
         i < model.elements.size() && afters.size() < 3 && following < 20; ++i) {
      const Element& el = model.elements[i];
      if (el.start < std::max(lastEnd, listEnd) || !el.HasStartTag()) continue;
      ++following;
      for (std::string_view piece : MarkerPieces(model, el)) tryAfter(piece);
    }
    for (const Element& el : model.elements) {
      if ((el.tag == "body" || el.tag == "html") && el.HasEndTag()) tryAfter(model.Bytes(el.endTagStart, el.endTagEnd));
    }
    for (const std::string& after : afters) choices.push_back({before, after});
  }
  return choices;
}

// The characters a varying address piece may hold: those of a word, a path or a query where its values hold
// no others (so that the piece never runs into a fragment or a query the list's own links do not have), else
// anything the attribute's quoting allows.
std::string WordClass(const AddressPart& part, char quote, bool mixed) {
  bool slash = false;
  bool plain = true;
  for (const std::string& v : part.values) {
    for (char c : v) {
      const bool word = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
                        c == '-' || c == '.' || c == '%' || c == '~';
      if (c == '/') {
        slash = true;
      } else if (!word) {
        plain = false;
      }
    }
  }
  if (plain) return slash ? "[\\w.%~/-]" : "[\\w.%~-]";
  if (mixed) return "[^\"'\\s>]";
  if (quote == '"') return "[^\"]";
  if (quote == '\'') return "[^']";
  return "[^\\s>]";
}

struct Expression {
  std::string regular;
  std::string buquan;
  int titleGroup = 0;
  int idGroup = 0;
};

// The expression for links with this address shape, title source and extra attributes that must be written
// as they are (class and the like), with the template and group numbers.
std::optional<Expression> Compose(const PageModel& model, const std::vector<Link>& links,
                                  const std::vector<AddressPart>& parts, int idPart, TitleFrom from,
                                  const std::vector<std::string>& fixedAttributes, std::string_view address) {
  const Element& sample = model.elements[static_cast<std::size_t>(links.front().element)];
  // The wanted attributes in the order the first link writes them; every link must write them so.
  std::vector<const Attribute*> order;
  for (const Attribute& a : sample.attributes) {
    if (a.name == "href" || (a.name == "title" && from == TitleFrom::kAttribute) ||
        std::find(fixedAttributes.begin(), fixedAttributes.end(), a.name) != fixedAttributes.end()) {
      order.push_back(&a);
    }
  }
  char hrefQuote = links.front().href->quote;
  bool mixedQuotes = false;
  bool spacedEquals = false;
  for (const Link& link : links) {
    const Element& e = model.elements[static_cast<std::size_t>(link.element)];
    std::size_t k = 0;
    for (const Attribute& a : e.attributes) {
      if (k < order.size() && a.name == order[k]->name) ++k;
    }
    if (k != order.size()) return std::nullopt;
    if (link.href->quote != hrefQuote) mixedQuotes = true;
    const std::string_view between = model.Bytes(link.href->nameStart + 4, link.href->valueStart);
    if (between.size() != 1 + (link.href->quote != 0 ? 1 : 0)) spacedEquals = true;
  }
  const std::string equals = spacedEquals ? "\\s*=\\s*" : "=";

  Expression x;
  x.regular = "<a";
  int group = 0;
  std::string pattern;  // the template before it is resolved against the page's address
  for (const Attribute* a : order) {
    x.regular += kNextAttribute;
    x.regular += RegexLiteral(a->name);
    x.regular += equals;
    if (a->name == "href") {
      const std::string open = mixedQuotes ? "[\"']?" : std::string(hrefQuote != 0 ? 1 : 0, hrefQuote);
      x.regular += open;
      for (std::size_t k = 0; k < parts.size(); ++k) {
        const AddressPart& part = parts[k];
        if (part.kind == AddressPart::kFixed) {
          x.regular += RegexLiteral(part.text);
          pattern += DecodeAmpersands(part.text);
          continue;
        }
        ++group;
        x.regular += part.kind == AddressPart::kNumber ? "(\\d+)"
                                                        : "(" + WordClass(part, hrefQuote, mixedQuotes) + "+?)";
        pattern += "[" + std::to_string(group) + "]";
        if (static_cast<int>(k) == idPart) x.idGroup = group;
      }
      if (mixedQuotes) {
        x.regular += "(?=[\"'\\s>])";
      } else if (hrefQuote != 0) {
        x.regular += hrefQuote;
      } else {
        x.regular += "(?=[\\s>])";
      }
    } else if (a->name == "title" && from == TitleFrom::kAttribute) {
      ++group;
      x.titleGroup = group;
      if (a->quote != 0) {
        x.regular += a->quote + std::string("([^") + a->quote + "]*)" + a->quote;
      } else {
        x.regular += "([^\\s>]+)";
      }
    } else {
      const std::string literal = RegexLiteral(model.Value(*a));
      x.regular += a->quote != 0 ? a->quote + literal + a->quote : literal + "(?=[\\s>])";
    }
  }
  switch (from) {
    case TitleFrom::kText:
      x.regular += "[^>]*>\\s*([^<\\s][^<]*?)\\s*</a>";
      x.titleGroup = ++group;
      break;
    case TitleFrom::kFirstText:
      x.regular += "[^>]*>(?:\\s*<(?!/a\\s*>)[^>]*>)*\\s*([^<\\s][^<]*?)\\s*<";
      x.titleGroup = ++group;
      break;
    case TitleFrom::kNthText:
      x.regular += "[^>]*>(?:[^<]*<(?!/a\\s*>)[^>]*>){" + std::to_string(links.front().tagsBeforeTitle) +
                   "}\\s*([^<\\s][^<]*?)\\s*<";
      x.titleGroup = ++group;
      break;
    case TitleFrom::kAttribute:
      x.regular += "[^>]*>";
      break;
  }
  x.buquan = address.empty() ? pattern : ResolveRedirect(address, pattern);
  if (x.buquan.empty()) return std::nullopt;
  return x;
}

// Attributes every wanted link writes with the same value: ways to tell the list's links from others.
std::vector<std::string> SharedAttributes(const PageModel& model, const std::vector<Link>& links) {
  std::vector<std::string> shared;
  const Element& sample = model.elements[static_cast<std::size_t>(links.front().element)];
  for (const Attribute& a : sample.attributes) {
    if (a.name == "href" || a.name == "title" || !a.hasValue || a.valueEnd == a.valueStart) continue;
    if (a.valueEnd - a.valueStart > 80) continue;
    const std::string_view value = model.Value(a);
    const bool same = std::all_of(links.begin(), links.end(), [&](const Link& l) {
      const Attribute* other = model.elements[static_cast<std::size_t>(l.element)].Find(a.name);
      return other != nullptr && model.Value(*other) == value && other->quote == a.quote;
    });
    if (same) shared.push_back(a.name);
  }
  // The class first: it is what a page uses to set its list apart.
  std::stable_partition(shared.begin(), shared.end(), [](const std::string& n) { return n == "class"; });
  return shared;
}

}  // namespace

std::optional<ProposedScheme> BuildScheme(const PageModel& model, const LinkGroup& whole, std::string_view address) {
  const std::size_t pinned = PinnedRows(model, whole);
  std::vector<Link> links(whole.links.begin() + static_cast<std::ptrdiff_t>(pinned), whole.links.end());
  if (links.size() < 3) return std::nullopt;

  std::vector<std::string_view> hrefs;
  for (const Link& link : links) hrefs.push_back(link.hrefText);
  const std::vector<AddressPart> parts = AddressShape(hrefs);
  if (parts.empty()) return std::nullopt;
  const int idPart = ArticleIdPart(parts);
  const int mode = idPart >= 0 ? kRisingId : (OldestFirst(model, links) ? kNewestAtBottom : kNewestOnTop);

  const std::vector<MarkerChoice> markers = MarkerChoices(model, whole, pinned);
  if (markers.empty()) return std::nullopt;
  const std::uint32_t listStart = model.elements[static_cast<std::size_t>(links.front().element)].start;
  const std::string_view listBytes =
      model.Bytes(listStart, model.elements[static_cast<std::size_t>(links.back().element)].End());
  const std::vector<std::string> shared = SharedAttributes(model, links);
  std::vector<std::vector<std::string>> attributeSets{{}};
  for (std::size_t k = 1; k <= shared.size() && k <= 3; ++k) {
    attributeSets.emplace_back(shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(k));
  }

  for (TitleFrom from : TitleSources(model, links)) {
    std::vector<ProposedArticle> expected;
    for (const Link& link : links) {
      expected.push_back({std::string(TitleOf(model, link, from)), link.url, {}});
      if (expected.back().title.empty()) return std::nullopt;
    }
    for (const std::vector<std::string>& fixed : attributeSets) {
      const std::optional<Expression> x = Compose(model, links, parts, idPart, from, fixed, address);
      if (!x) continue;
      // Every region the markers may give holds the list itself: an expression with more hits there than the
      // list has articles fits none of them.
      if (MatchAll(x->regular, listBytes).size() > expected.size()) continue;
      for (const MarkerChoice& marker : markers) {
        ProposedScheme scheme;
        scheme.before = marker.before;
        scheme.after = marker.after;
        scheme.regular = x->regular;
        scheme.buquan = x->buquan;
        scheme.tindex = std::to_string(x->titleGroup);
        scheme.type = mode;
        scheme.uindex = mode == kRisingId ? std::to_string(x->idGroup) : std::string();
        scheme.articles = FirstPassArticles(scheme, model.page);
        if (scheme.articles.size() != expected.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < expected.size() && same; ++i) {
          same = scheme.articles[i].title == expected[i].title && scheme.articles[i].url == expected[i].url;
        }
        if (same) return scheme;
      }
    }
  }
  return std::nullopt;
}

}  // namespace qw::propose
