#pragma once
// Splitting a URL as the user typed it into host, port and request target.

#include <cstdint>
#include <string>
#include <string_view>

namespace qw {

// Host name in lower case, without port. A URL without "http://" or "https://" in front is taken as http.
std::string UrlHost(std::string_view url);

// The port written after the last ":" of the host-and-port text (0 when it starts with no digit); 443 for
// "https" URLs without one, else 80.
std::int32_t UrlPort(std::string_view url);

// The request target: path, query and fragment exactly as written, or "/" when the URL ends in its host.
std::string UrlObject(std::string_view url);

// True when the URL's first 8 bytes, lowered, are "https://".
bool UrlIsSecure(std::string_view url);

}  // namespace qw
