#include "propose/page_model.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <utility>

namespace qw::propose {
namespace {

// Beyond this many elements left open (a page that never closes its divs) the parse itself would take
// minutes; no list page a person reads comes anywhere near it.
constexpr int kDeepestNesting = 4000;

// Elements that never hold others, or that the parser closes when the next one of their kind begins: an
// unclosed one does not make the tree deeper.
bool ClosesItself(std::string_view name) {
  static constexpr std::array<std::string_view, 30> kNames = {
      "area", "base",  "br",    "col",  "embed", "hr",    "img",   "input",    "link",  "meta",
      "param", "source", "track", "wbr", "p",    "li",    "td",    "th",       "tr",    "dt",
      "dd",   "option", "optgroup", "a", "html", "head",  "body",  "tbody",    "thead", "!doctype"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// How many elements the page leaves open at most, counted per tag name from its start and end tags. A count
// over the page's bytes, not a parse: it only decides whether the parser can be given the page.
bool NestsTooDeep(std::string_view page) {
  std::unordered_map<std::string, int> open;
  std::string name;
  for (std::size_t i = page.find('<'); i != std::string_view::npos && i + 1 < page.size();
       i = page.find('<', i + 1)) {
    std::size_t j = i + 1;
    const bool closing = page[j] == '/';
    if (closing) ++j;
    if (j >= page.size() || !IsAsciiLetter(page[j])) continue;
    name.clear();
    while (j < page.size() && name.size() < 16 &&
           (IsAsciiLetter(page[j]) || (page[j] >= '0' && page[j] <= '9') || page[j] == '-')) {
      name += AsciiLower(page[j++]);
    }
    open[name] += closing ? -1 : 1;
  }
  int deepest = 0;
  for (const auto& [tag, count] : open) {
    if (count > 0 && !ClosesItself(tag)) deepest += count;
  }
  return deepest > kDeepestNesting;
}

// The parser reads UTF-8. The GBK page becomes a UTF-8 text of exactly the same length, every two-byte
// character standing in as one two-byte UTF-8 character, so that every position the parser reports is the
// position in the page. Characters are paired as the text operations pair them: a byte of 0x80 and above takes
// the byte after it. The stand-in's texts mean nothing; texts are always read from the page.
std::string StandIn(std::string_view gbk) {
  std::string out(gbk);
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (static_cast<unsigned char>(out[i]) < 0x80) continue;
    if (i + 1 < out.size()) {
      out[i] = static_cast<char>(0xC4);
      out[i + 1] = static_cast<char>(0x80);
      ++i;
    } else {
      out[i] = '?';
    }
  }
  return out;
}

// Children the proposal never looks into: program text, styles and what browsers show only without scripts.
bool Skipped(const GumboNode* node) {
  if (node->type == GUMBO_NODE_TEMPLATE) return true;
  if (node->type != GUMBO_NODE_ELEMENT) return false;
  switch (node->v.element.tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
      return true;
    default:
      return false;
  }
}

class Builder {
 public:
  Builder(const std::string& buffer, PageModel& model) : buffer_(buffer), model_(model) {}

  void Walk(const GumboNode* root) {
    std::vector<std::pair<const GumboNode*, std::int32_t>> stack{{root, -1}};
    while (!stack.empty()) {
      const auto [node, parent] = stack.back();
      stack.pop_back();
      if (Skipped(node)) continue;
      if (node->type == GUMBO_NODE_TEXT) {
        AddText(node->v.text, parent);
        continue;
      }
      if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) continue;
      std::int32_t self = parent;
      const GumboVector* children = nullptr;
      if (node->type == GUMBO_NODE_ELEMENT) {
        self = AddElement(node->v.element, parent);
        children = &node->v.element.children;
      } else {
        children = &node->v.document.children;
      }
      for (unsigned i = children->length; i > 0; --i) {
        stack.emplace_back(static_cast<const GumboNode*>(children->data[i - 1]), self);
      }
    }
  }

 private:
  bool Inside(const GumboStringPiece& piece) const {
    return piece.data != nullptr && piece.data >= buffer_.data() &&
           piece.data + piece.length <= buffer_.data() + buffer_.size();
  }
  std::uint32_t Offset(const char* at) const { return static_cast<std::uint32_t>(at - buffer_.data()); }

  void AddText(const GumboText& text, std::int32_t parent) {
    if (!Inside(text.original_text) || text.original_text.length == 0) return;
    TextRun run;
    run.parent = parent;
    run.start = Offset(text.original_text.data);
    run.end = run.start + static_cast<std::uint32_t>(text.original_text.length);
    model_.texts.push_back(run);
    if (parent >= 0) {
      model_.elements[static_cast<std::size_t>(parent)].children.push_back(
          {true, static_cast<std::int32_t>(model_.texts.size() - 1)});
    }
  }

  std::int32_t AddElement(const GumboElement& source, std::int32_t parent) {
    Element e;
    e.parent = parent;
    if (source.tag != GUMBO_TAG_UNKNOWN) {
      e.tag = gumbo_normalized_tagname(source.tag);
    } else if (Inside(source.original_tag)) {
      GumboStringPiece name = source.original_tag;
      gumbo_tag_from_original_text(&name);
      for (std::size_t i = 0; i < name.length; ++i) e.tag += AsciiLower(name.data[i]);
    }
    if (Inside(source.original_tag) && source.original_tag.length > 0) {
      e.start = Offset(source.original_tag.data);
      e.startTagEnd = e.start + static_cast<std::uint32_t>(source.original_tag.length);
    } else {
      e.start = e.startTagEnd = std::min<std::uint32_t>(source.start_pos.offset, buffer_.size());
    }
    if (Inside(source.original_end_tag) && source.original_end_tag.length > 0) {
      e.endTagStart = Offset(source.original_end_tag.data);
      e.endTagEnd = e.endTagStart + static_cast<std::uint32_t>(source.original_end_tag.length);
    } else {
      e.endTagStart = e.endTagEnd =
          std::clamp<std::uint32_t>(source.end_pos.offset, e.startTagEnd, buffer_.size());
    }
    for (unsigned i = 0; i < source.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(source.attributes.data[i]);
      if (!Inside(a->original_name)) continue;
      Attribute attribute;
      attribute.name = a->name;
      attribute.nameStart = Offset(a->original_name.data);
      if (Inside(a->original_value) && a->original_value.length > 0) {
        attribute.hasValue = true;
        const char* v = a->original_value.data;
        std::size_t n = a->original_value.length;
        if ((v[0] == '"' || v[0] == '\'') && n >= 2 && v[n - 1] == v[0]) {
          attribute.quote = v[0];
          ++v;
          n -= 2;
        } else if (v[0] == '"' || v[0] == '\'') {
          continue;  // a value whose closing quote the page never wrote
        }
        attribute.valueStart = Offset(v);
        attribute.valueEnd = attribute.valueStart + static_cast<std::uint32_t>(n);
      }
      e.attributes.push_back(std::move(attribute));
    }
    model_.elements.push_back(std::move(e));
    const auto self = static_cast<std::int32_t>(model_.elements.size() - 1);
    if (parent >= 0) model_.elements[static_cast<std::size_t>(parent)].children.push_back({false, self});
    return self;
  }

  const std::string& buffer_;
  PageModel& model_;
};

}  // namespace

const Attribute* Element::Find(std::string_view name) const {
  for (const Attribute& a : attributes) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

ParseOutcome ParsePage(std::string_view gbkPage, PageModel& model) {
  model = PageModel{};
  model.page = gbkPage;
  if (NestsTooDeep(gbkPage)) return ParseOutcome::kTooDeep;
  const std::string buffer = StandIn(gbkPage);
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the page's faults are of no interest, and a broken page has many
  GumboOutput* output = gumbo_parse_with_options(&options, buffer.data(), buffer.size());
  if (output == nullptr) return ParseOutcome::kParsed;
  Builder(buffer, model).Walk(output->document);
  gumbo_destroy_output(&options, output);
  return ParseOutcome::kParsed;
}

}  // namespace qw::propose
