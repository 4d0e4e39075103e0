#pragma once
// One HTTP exchange over libcurl: a request sent exactly as given, one response read, no redirect followed.

#include <chrono>
#include <stop_token>
#include <string>
#include <vector>

#include "fetch/http_fetcher.h"

namespace qw {

struct ExchangeRequest {
  std::string url;  // the URL of this hop, as typed or as resolved from a Location
  const char* verb = "GET";
  bool sendBody = false;                 // POST, or HEAD with a body
  std::string_view body;                 // sent when sendBody
  std::vector<std::string> headerLines;  // as WireHeaderLines gives them
  std::string proxy;
};

struct ExchangeResult {
  enum class Outcome {
    kSetupFailed,  // no transport handle: nothing was sent
    kCompleted,    // the response ended, or the transport failed (the body holds what arrived)
    kAborted,      // a time-out or a stop request ended it: the body is not to be used
  };
  Outcome outcome = Outcome::kSetupFailed;
  long status = 0;
  // The status line and header lines of the final (not 1xx) response, each ended by "\r\n", with the empty
  // line and nothing after it; bare CR and LF bytes inside a line arrive as spaces. Empty when no response
  // arrived.
  std::string headers;
  bool headersTooLong = false;  // longer than any block the fetcher accepts; not kept
  std::string body;
  // Why no usable response arrived, in GBK; empty when one did.
  std::string error;
};

// The deadline for the whole fetch is shared by its hops.
ExchangeResult RunExchange(const ExchangeRequest& request, const FetchLimits& limits,
                           std::chrono::steady_clock::time_point deadline, std::stop_token stop);

}  // namespace qw
