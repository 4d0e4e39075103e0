#pragma once
// A page's elements and texts as an HTML5 parser builds them (as a browser would, scripts, styles and
// comments kept out of the tree), each with its place in the page's own bytes: markers and expressions are
// cut from those bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qw::propose {

struct Attribute {
  std::string name;  // lower case
  std::uint32_t nameStart = 0;
  // The value's bytes, without the quotes around it.
  std::uint32_t valueStart = 0;
  std::uint32_t valueEnd = 0;
  char quote = 0;  // '"', '\'' or 0 for an unquoted value or none
  bool hasValue = false;
};

// One child of an element, in page order: an element or a text.
struct NodeRef {
  bool text;
  std::int32_t index;
};

struct Element {
  std::string tag;  // lower case
  std::int32_t parent = -1;
  // The start tag's bytes; empty where the parser supplied the element itself.
  std::uint32_t start = 0;
  std::uint32_t startTagEnd = 0;
  // The end tag's bytes; empty where the element was closed without one.
  std::uint32_t endTagStart = 0;
  std::uint32_t endTagEnd = 0;
  std::vector<Attribute> attributes;
  std::vector<NodeRef> children;

  const Attribute* Find(std::string_view name) const;
  bool HasStartTag() const { return startTagEnd > start; }
  bool HasEndTag() const { return endTagEnd > endTagStart; }
  // Where the element's bytes end: after its end tag, or where its content ends.
  std::uint32_t End() const { return HasEndTag() ? endTagEnd : endTagStart; }
};

// A text with more than white space in it.
struct TextRun {
  std::int32_t parent = -1;
  std::uint32_t start = 0;
  std::uint32_t end = 0;
};

struct PageModel {
  std::vector<Element> elements;  // in page order of their start tags
  std::vector<TextRun> texts;
  std::string_view page;

  std::string_view Bytes(std::uint32_t from, std::uint32_t to) const { return page.substr(from, to - from); }
  std::string_view Value(const Attribute& a) const { return Bytes(a.valueStart, a.valueEnd); }
  std::string_view StartTag(const Element& e) const { return Bytes(e.start, e.startTagEnd); }
};

enum class ParseOutcome { kParsed, kTooDeep };

// Parses a GBK page (as the monitoring pass sees it). A page whose elements would nest deeper than a browser
// could lay out gives kTooDeep and an empty model: the parser's time grows with the square of the depth.
ParseOutcome ParsePage(std::string_view gbkPage, PageModel& model);

}  // namespace qw::propose
