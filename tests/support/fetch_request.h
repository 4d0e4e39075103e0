#pragma once
// A request for url, optionally carrying a cookie text, with every other field at its default.

#include <string>
#include <utility>

#include "fetch/http_fetcher.h"

namespace qw::test {

inline FetchRequest Request(std::string url, std::string* cookie = nullptr) {
  FetchRequest request;
  request.url = std::move(url);
  request.cookie = cookie;
  return request;
}

}  // namespace qw::test
