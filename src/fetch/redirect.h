#pragma once
// Following a redirect by hand: the status codes that redirect and where the Location header points.

#include <string>
#include <string_view>

namespace qw {

bool IsRedirectStatus(long status);

// The value of the first header line named name in a raw header block, trimmed; empty when there is none.
std::string HeaderValue(std::string_view headerBlock, std::string_view name);

// The absolute URL a Location value points to, resolved against the URL that answered with it as browsers do
// (absolute, scheme-relative, absolute path, query, fragment or relative path). Bytes pass as written. Empty
// when the location names a scheme other than http and https, or is empty.
std::string ResolveRedirect(std::string_view base, std::string_view location);

}  // namespace qw
