#pragma once
// Plain byte-string search, the engine under the GBK-aware searches of gbk_text.h.

#include <cstddef>
#include <string_view>

namespace qw {

// Index of the first occurrence of needle in haystack, or std::string_view::npos; an empty needle is found at
// 0. Same result as memmem. Pages are searched for markers that mostly do not occur until far into the page,
// so the search tests many positions at a time for two of the needle's rarer bytes (with AVX-512, AVX2 or
// SSE2, the best the processor has) and falls back to memmem when the text makes those bytes common.
std::size_t SearchBytes(std::string_view haystack, std::string_view needle);

// The instruction sets the search can use, from plain memmem up. SearchBytes uses the best one the processor
// has; the variants are open to choice so that tests can hold each of them against memmem.
enum class SearchLevel { kMemmem, kSse2, kAvx2, kAvx512 };
SearchLevel BestSearchLevel();
// A level above what the processor has is lowered to the best it has.
std::size_t SearchBytes(std::string_view haystack, std::string_view needle, SearchLevel level);

}  // namespace qw
