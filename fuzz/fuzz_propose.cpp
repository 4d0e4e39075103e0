// Drives the proposal with arbitrary page bytes and checks what must hold whatever the page: every candidate
// shows exactly what a first pass of it stores, with plain titles, and no more candidates than offered.

#include <cstddef>
#include <cstdint>
#include <string>

#include "propose/proposal.h"
#include "propose/propose.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  const qw::propose::Proposals proposals = qw::propose::ProposeSchemes(page, "http://fuzz.example/dir/list.html");
  Check(proposals.candidates.size() <= qw::propose::kMostProposals);
  Check((proposals.outcome == qw::propose::Proposals::kFound) == !proposals.candidates.empty());
  for (const qw::propose::ProposedScheme& c : proposals.candidates) {
    Check(qw::propose::FirstPassArticles(c, page) == c.articles);
    for (const qw::propose::ProposedArticle& a : c.articles) Check(!a.title.empty());
  }
  return 0;
}
