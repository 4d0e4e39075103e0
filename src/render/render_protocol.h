#pragma once
// What the program and its renderer helper (quillwatch-render) say to each other: one JSON object per line
// each way, in UTF-8. The program sends a job per page; the helper answers each job once, in the order its
// pages settle, so answers carry the job's id.
//
//   job:    {"id":1,"url":"http://…","ua":"Mozilla/5.0 …","cookie":"a=1; b=2","encoding":"GBK",
//            "deadline_ms":20000,"quiet_ms":500,"max_bytes":67108864}
//   answer: {"id":1,"html":"<html>…</html>","cookies":"sid=3; old=deleted","status":200,
//            "deadline_hit":false,"error":""}
//
// An answer with an error has no page. Closing the helper's input ends it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qw {

// One page to render. Texts are UTF-8.
struct RenderJob {
  std::uint64_t id = 0;
  std::string url;
  // The browser identification; empty keeps the engine's own.
  std::string ua;
  // "name=value" items joined by "; ", given to the page's host before it loads.
  std::string cookie;
  // How the page's bytes are read when the page names no encoding of its own: "GBK" or "UTF-8".
  std::string encoding;
  // From the start of the load: past it, what has rendered is handed over.
  std::int64_t deadlineMs = 20'000;
  // The page has settled once it finished loading and no request was made for this long.
  std::int64_t quietMs = 500;
  // A longer document is cut to this many bytes.
  std::size_t maxBytes = 64u << 20;
};

// The helper's answer to one job. Texts are UTF-8.
struct RenderAnswer {
  std::uint64_t id = 0;
  // document.documentElement.outerHTML; empty with an error.
  std::string html;
  // The cookies the page's host set while it loaded, "name=value" joined by "; "; a removed one as
  // "name=deleted".
  std::string cookies;
  // The status of the page's own response; 0 when none came.
  int status = 0;
  // The deadline came before the page settled; html is what had rendered by then.
  bool deadlineHit = false;
  // Why there is no page, in the user's words; empty when there is one.
  std::string error;
};

// One line each, without its line break. Invalid UTF-8 in a text is replaced, never refused.
std::string EncodeRenderJob(const RenderJob& job);
std::string EncodeRenderAnswer(const RenderAnswer& answer);

// Nothing for a line that is not a job (or an answer) as written above.
std::optional<RenderJob> DecodeRenderJob(std::string_view line);
std::optional<RenderAnswer> DecodeRenderAnswer(std::string_view line);

}  // namespace qw
