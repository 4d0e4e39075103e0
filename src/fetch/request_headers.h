#pragma once
// The header lines of a request as they go on the wire.

#include <string>
#include <string_view>
#include <vector>

#include "fetch/http_fetcher.h"

namespace qw {

// The lines handed to the transport: one User-Agent line with the chosen agent first, then the composed
// block's other lines in their order. Bare CR and LF bytes inside a line become spaces, so no text can start
// a line of its own; lines without a header name are left out, and a line with an empty value is kept as
// "Name:".
std::vector<std::string> WireHeaderLines(const ComposedHeaders& composed);

// True when line is a header line named name (ASCII letters compared without regard to case).
bool IsHeaderNamed(std::string_view line, std::string_view name);

}  // namespace qw
