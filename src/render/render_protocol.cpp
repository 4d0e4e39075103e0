#include "render/render_protocol.h"

#include <nlohmann/json.hpp>
#include <type_traits>

namespace qw {
namespace {

using Json = nlohmann::json;

std::string Dump(const Json& object) {
  // A page or a cookie may hold bytes that are not UTF-8; they become U+FFFD rather than end the line.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Json> Parse(std::string_view line) {
  Json object = Json::parse(line, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return std::nullopt;
  return object;
}

// The member as T, or nothing when it is missing or of another kind.
template <class T>
bool Read(const Json& object, const char* name, T& out) {
  const auto found = object.find(name);
  if (found == object.end()) return false;
  if constexpr (std::is_same_v<T, std::string>) {
    if (!found->is_string()) return false;
  } else if constexpr (std::is_same_v<T, bool>) {
    if (!found->is_boolean()) return false;
  } else if constexpr (std::is_unsigned_v<T>) {
    if (!found->is_number_unsigned()) return false;
  } else {
    if (!found->is_number_integer()) return false;
  }
  out = found->get<T>();
  return true;
}

}  // namespace

std::string EncodeRenderJob(const RenderJob& job) {
  return Dump(Json{{"id", job.id},
                   {"url", job.url},
                   {"ua", job.ua},
                   {"cookie", job.cookie},
                   {"encoding", job.encoding},
                   {"deadline_ms", job.deadlineMs},
                   {"quiet_ms", job.quietMs},
                   {"max_bytes", job.maxBytes}});
}

std::string EncodeRenderAnswer(const RenderAnswer& answer) {
  return Dump(Json{{"id", answer.id},
                   {"html", answer.html},
                   {"cookies", answer.cookies},
                   {"status", answer.status},
                   {"deadline_hit", answer.deadlineHit},
                   {"error", answer.error}});
}

std::optional<RenderJob> DecodeRenderJob(std::string_view line) {
  const std::optional<Json> object = Parse(line);
  if (!object) return std::nullopt;
  RenderJob job;
  if (!Read(*object, "id", job.id) || !Read(*object, "url", job.url)) return std::nullopt;
  // The rest may be left out; each then keeps its default.
  Read(*object, "ua", job.ua);
  Read(*object, "cookie", job.cookie);
  Read(*object, "encoding", job.encoding);
  Read(*object, "deadline_ms", job.deadlineMs);
  Read(*object, "quiet_ms", job.quietMs);
  Read(*object, "max_bytes", job.maxBytes);
  return job;
}

std::optional<RenderAnswer> DecodeRenderAnswer(std::string_view line) {
  const std::optional<Json> object = Parse(line);
  if (!object) return std::nullopt;
  RenderAnswer answer;
  if (!Read(*object, "id", answer.id)) return std::nullopt;
  Read(*object, "html", answer.html);
  Read(*object, "cookies", answer.cookies);
  Read(*object, "status", answer.status);
  Read(*object, "deadline_hit", answer.deadlineHit);
  Read(*object, "error", answer.error);
  return answer;
}

}  // namespace qw
