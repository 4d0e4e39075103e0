// Drives the extraction pipeline with arbitrary bytes and checks what must hold whatever the input.
//
// Input layout: five length bytes, then the pattern, the URL template, the start marker, the end marker and
// the page, each as long as its length byte says (modulo a small bound) and the page taking the rest.

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extract/pipeline.h"
#include "text/gbk_text.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Takes up to n bytes from the front of input.
std::string_view Take(std::string_view& input, std::size_t n) {
  const std::string_view part = input.substr(0, n);
  input.remove_prefix(part.size());
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto lengthByte = [&](std::size_t bound) {
    return static_cast<std::size_t>(static_cast<unsigned char>(Take(input, 1)[0])) % bound;
  };
  // Short patterns keep Boost's own step limit (which grows with the square of the pattern length) small.
  const std::size_t patternLength = lengthByte(65);
  const std::size_t templateLength = lengthByte(65);
  const std::size_t beforeLength = lengthByte(9);
  const std::size_t afterLength = lengthByte(9);
  const int oddIndex = static_cast<signed char>(Take(input, 1)[0]);
  const std::string_view pattern = Take(input, patternLength);
  const std::string_view urlTemplate = Take(input, templateLength);
  const std::string_view before = Take(input, beforeLength);
  const std::string_view after = Take(input, afterLength);
  const std::string_view page = input;

  const std::string flat = qw::FlattenLines(page);
  Check(flat == qw::ReplaceAll(page, "\r\n", "", true));
  // The variants for lesser instruction sets give the same text.
  for (const qw::SimdLevel level : {qw::SimdLevel::kPortable, qw::SimdLevel::kSse2, qw::SimdLevel::kAvx2,
                                    qw::SimdLevel::kAvx512, qw::SimdLevel::kAvx512Vbmi2}) {
    if (level < qw::BestSimdLevel()) Check(qw::FlattenLines(page, level) == flat);
  }
  const std::string region = qw::CutRegion(flat, before, after);

  // Matching the whole flattened page too puts more bytes before the regex than the cut region alone.
  for (const std::string_view text : {std::string_view(region), std::string_view(flat)}) {
    const std::vector<qw::Hit> hits = qw::MatchAll(pattern, text);
    const int groups = qw::GroupCount(pattern);
    for (std::size_t i = 0; i < hits.size(); ++i) {
      const qw::Hit& hit = hits[i];
      Check(hit.groups.size() == static_cast<std::size_t>(groups) + 1);
      Check(text.find(hit.groups[0]) != std::string_view::npos);
      Check(!hit.groups[0].empty() || i + 1 == hits.size());  // a zero-length hit is the last
      for (const int k : {-1, INT_MIN, INT_MAX, groups + 1, oddIndex}) {
        const std::string group = qw::GroupText(hit, k);
        Check(k >= 0 && k <= groups ? group == hit.groups[static_cast<std::size_t>(k)] : group.empty());
      }
    }
    const std::vector<std::string> placeholders = qw::TemplatePlaceholders(urlTemplate);
    for (const std::string& placeholder : placeholders)
      Check(!placeholder.empty() && qw::Trim(placeholder) == placeholder);
    const qw::Hit none;
    const std::string plain = qw::ComposeArticleUrl(urlTemplate, {}, none);
    Check(plain == urlTemplate);
    for (const qw::Hit& hit : hits) {
      const std::string url = qw::ComposeArticleUrl(urlTemplate, placeholders, hit);
      // Group texts go in only at the template's own keys, so the address stays within this bound.
      std::size_t longest = 0;
      for (const std::string& group : hit.groups) longest = std::max(longest, group.size());
      Check(url.size() <= urlTemplate.size() * (longest + 1));
    }
  }
  return 0;
}
