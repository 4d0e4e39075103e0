#include "keywords/keyword_entries.h"

#include "extract/pipeline.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace qw {
namespace {

// Spaces of both widths and tabs at both ends.
std::string TrimLine(std::string_view line) {
  std::string text(line);
  while (true) {
    std::string trimmed = Trim(text);
    const std::size_t start = trimmed.find_first_not_of('\t');
    if (start == std::string::npos) return {};
    trimmed = trimmed.substr(start, trimmed.find_last_not_of('\t') - start + 1);
    if (trimmed == text) return text;
    text = std::move(trimmed);
  }
}

// "%", "<" and ">" never occur as the second byte of a GBK character (those lie from 0x40 up), so a plain
// byte replacement is safe.
std::string Escape(std::string_view entry) {
  std::string out;
  out.reserve(entry.size());
  for (const char c : entry) {
    if (c == '%') {
      out += "%25";
    } else if (c == '<') {
      out += "%3C";
    } else if (c == '>') {
      out += "%3E";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 3 <= text.size()) {
      const std::string code = Lower(text.substr(i + 1, 2));
      const char byte = code == "25" ? '%' : code == "3c" ? '<' : code == "3e" ? '>' : '\0';
      if (byte != '\0') {
        out += byte;
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

std::vector<KeywordEntry> ParseKeywordLines(std::string_view text) {
  std::vector<KeywordEntry> entries;
  std::size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    ++number;
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string entry = TrimLine(line);
    if (!entry.empty()) {
      KeywordEntry parsed;
      parsed.expression = entry.size() >= 2 && entry.front() == '/' && entry.back() == '/';
      parsed.pattern = parsed.expression ? entry.substr(1, entry.size() - 2) : entry;
      parsed.text = std::move(entry);
      parsed.line = number;
      entries.push_back(std::move(parsed));
    }
    start = end + 1;
  }
  return entries;
}

std::string JoinKeywordLines(const std::vector<KeywordEntry>& entries) {
  std::string joined;
  for (const KeywordEntry& entry : entries) {
    if (!joined.empty()) joined += "\r\n";
    joined += entry.text;
  }
  return joined;
}

std::string NormalizeKeywordText(std::string_view text) { return JoinKeywordLines(ParseKeywordLines(text)); }

std::optional<KeywordProblem> CheckKeywordLines(std::string_view text) {
  for (const KeywordEntry& entry : ParseKeywordLines(text)) {
    if (!entry.expression) continue;
    if (entry.pattern.empty())
      return KeywordProblem{entry.line, entry.text, QW_GBK("两个斜杠之间没有正则表达式")};
    if (std::optional<std::string> error = PatternError(entry.pattern)) {
      return KeywordProblem{entry.line, entry.text, std::move(*error)};
    }
  }
  return std::nullopt;
}

std::string ComposeKeywordValue(std::string_view text) {
  std::string value;
  for (const KeywordEntry& entry : ParseKeywordLines(text)) value += "<" + Escape(entry.text) + ">";
  return value;
}

std::string ParseKeywordValue(std::string_view value) {
  if (value.empty()) return {};
  if (value.front() != '<') return std::string(value);
  std::string text;
  std::size_t from = 0;
  while (true) {
    const std::size_t open = value.find('<', from);
    if (open == std::string_view::npos) break;
    const std::size_t close = value.find('>', open + 1);
    if (close == std::string_view::npos) break;
    if (!text.empty()) text += "\r\n";
    text += Unescape(value.substr(open + 1, close - open - 1));
    from = close + 1;
  }
  return NormalizeKeywordText(text);
}

}  // namespace qw
