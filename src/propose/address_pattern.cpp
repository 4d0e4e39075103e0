#include "propose/address_pattern.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "text/gbk_text.h"

namespace qw::propose {
namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAlnum(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         static_cast<unsigned char>(c) >= 0x80;
}

using Parts = std::vector<AddressPart>;

void AppendFixed(Parts& parts, std::string_view text) {
  if (text.empty()) return;
  if (!parts.empty() && parts.back().kind == AddressPart::kFixed) {
    parts.back().text += text;
  } else {
    parts.push_back({AddressPart::kFixed, std::string(text), {}});
  }
}

void Append(Parts& parts, Parts more) {
  for (AddressPart& part : more) {
    if (part.kind == AddressPart::kFixed) {
      AppendFixed(parts, part.text);
    } else {
      parts.push_back(std::move(part));
    }
  }
}

bool AllEqual(const std::vector<std::string_view>& texts) {
  return std::all_of(texts.begin(), texts.end(), [&](std::string_view t) { return t == texts.front(); });
}

// Every text cut at each occurrence of separator, when all have the same number of them.
bool SplitAll(const std::vector<std::string_view>& texts, std::string_view separator,
              std::vector<std::vector<std::string_view>>& columns) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    while (true) {
      const std::size_t at = texts[i].find(separator, from);
      if (at == std::string_view::npos) break;
      pieces.push_back(texts[i].substr(from, at - from));
      from = at + separator.size();
    }
    pieces.push_back(texts[i].substr(from));
    if (i == 0) {
      count = pieces.size();
      if (count < 2) return false;
      columns.assign(count, {});
    } else if (pieces.size() != count) {
      return false;
    }
    for (std::size_t k = 0; k < count; ++k) columns[k].push_back(pieces[k]);
  }
  return true;
}

// Fixed head, one varying middle, fixed tail; neither fixed end stops inside a run of letters and digits
// that goes on in some address, so a number or a word is always varied whole.
bool HeadMiddleTail(const std::vector<std::string_view>& texts, Parts& out) {
  std::size_t head = texts.front().size();
  std::size_t shortest = texts.front().size();
  for (std::string_view t : texts) {
    std::size_t n = 0;
    while (n < head && n < t.size() && t[n] == texts.front()[n]) ++n;
    head = n;
    shortest = std::min(shortest, t.size());
  }
  const auto runContinues = [&](std::size_t cut) {
    return std::any_of(texts.begin(), texts.end(), [&](std::string_view t) { return cut < t.size() && IsAlnum(t[cut]); });
  };
  while (head > 0 && IsAlnum(texts.front()[head - 1]) && runContinues(head)) --head;
  std::size_t tail = 0;
  while (tail < shortest - head) {
    const char c = texts.front()[texts.front().size() - 1 - tail];
    if (!std::all_of(texts.begin(), texts.end(), [&](std::string_view t) { return t[t.size() - 1 - tail] == c; }))
      break;
    ++tail;
  }
  const auto runContinuesBack = [&](std::size_t n) {
    return std::any_of(texts.begin(), texts.end(), [&](std::string_view t) {
      return t.size() > n && IsAlnum(t[t.size() - 1 - n]);
    });
  };
  while (tail > 0 && IsAlnum(texts.front()[texts.front().size() - tail]) && runContinuesBack(tail)) --tail;

  AddressPart middle;
  middle.kind = AddressPart::kNumber;
  for (std::string_view t : texts) {
    const std::string_view m = t.substr(head, t.size() - head - tail);
    if (m.empty()) return false;
    if (!std::all_of(m.begin(), m.end(), IsDigit)) middle.kind = AddressPart::kWord;
    middle.values.emplace_back(m);
  }
  AppendFixed(out, texts.front().substr(0, head));
  out.push_back(std::move(middle));
  AppendFixed(out, texts.front().substr(texts.front().size() - tail));
  return true;
}

bool Shape(const std::vector<std::string_view>& texts, Parts& out, int depth = 0) {
  if (AllEqual(texts)) {
    AppendFixed(out, texts.front());
    return true;
  }
  // Split at the address's own structure first, then vary what is left.
  for (std::string_view separator : {"&amp;", "&", "?", "/", "="}) {
    std::vector<std::vector<std::string_view>> columns;
    if (depth > 8 || !SplitAll(texts, separator, columns)) continue;
    Parts parts;
    bool ok = true;
    for (std::size_t k = 0; k < columns.size() && ok; ++k) {
      if (k > 0) AppendFixed(parts, separator);
      ok = Shape(columns[k], parts, depth + 1);
    }
    if (!ok) continue;
    Append(out, std::move(parts));
    return true;
  }
  return HeadMiddleTail(texts, out);
}

bool LooksLikeYear(std::string_view digits) {
  if (digits.size() != 4 && digits.size() != 6 && digits.size() != 8) return false;
  return digits.starts_with("19") || digits.starts_with("20");
}

// Fixed digits that date an article (a year, and the month and day numbers after it) vary from one day to
// the next: they become varying parts with the same text in every address.
Parts VaryDates(Parts parts, std::size_t count) {
  Parts out;
  bool afterYear = false;
  for (AddressPart& part : parts) {
    if (part.kind != AddressPart::kFixed) {
      part.date = part.kind == AddressPart::kNumber &&
                  std::all_of(part.values.begin(), part.values.end(), [&](const std::string& v) {
                    return LooksLikeYear(v) || (afterYear && v.size() <= 4);
                  });
      afterYear = part.date;
      out.push_back(std::move(part));
      continue;
    }
    const std::string_view text = part.text;
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size();) {
      if (!IsDigit(text[i])) {
        if (text[i] != '/' && text[i] != '-' && text[i] != '_') afterYear = false;
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < text.size() && IsDigit(text[j])) ++j;
      const std::string_view digits = text.substr(i, j - i);
      const bool alone = (i == 0 || !IsAlnum(text[i - 1])) && (j == text.size() || !IsAlnum(text[j]));
      if (alone && (LooksLikeYear(digits) || (afterYear && digits.size() <= 4))) {
        AppendFixed(out, text.substr(from, i - from));
        out.push_back({AddressPart::kNumber, {}, std::vector<std::string>(count, std::string(digits)), true});
        afterYear = true;
        from = j;
      } else {
        afterYear = false;
      }
      i = j;
    }
    AppendFixed(out, text.substr(from));
  }
  return out;
}

}  // namespace

std::vector<AddressPart> AddressShape(const std::vector<std::string_view>& addresses) {
  if (addresses.empty()) return {};
  Parts parts;
  if (!Shape(addresses, parts)) return {};
  return VaryDates(std::move(parts), addresses.size());
}

std::string DecodeAmpersands(std::string_view text) {
  std::string out = ReplaceAll(text, "&amp;", "&", false);
  out = ReplaceAll(out, "&#38;", "&", true);
  return ReplaceAll(out, "&#x26;", "&", false);
}

int ArticleIdPart(const std::vector<AddressPart>& parts) {
  int best = -1;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (parts[k].kind != AddressPart::kNumber || parts[k].date) continue;
    std::set<std::string> seen;
    bool ok = true;
    for (const std::string& v : parts[k].values) {
      const std::int32_t id = ToInteger(v);
      // Read as monitoring reads it: past the 32-bit limit every id would read the same.
      if (id <= 0 || id == INT32_MAX || v.size() > 10 || !seen.insert(v).second) {
        ok = false;
        break;
      }
    }
    if (ok) best = static_cast<int>(k);  // the last one: paths name the board first, the article last
  }
  return best;
}

}  // namespace qw::propose
