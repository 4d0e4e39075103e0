// The proposal measured on list pages written after the markup of the engines people watch: the best
// candidate's article addresses against those a reader of each page wants, and what a first monitoring pass
// of that candidate stores against what the candidate shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "extract/collect_scheme.h"
#include "extract/pipeline.h"
#include "fetch/http_fetcher.h"
#include "log/status_log.h"
#include "propose/propose.h"
#include "storage/database.h"
#include "storage/scheme_cache.h"
#include "storage/sql_runner.h"
#include "support/starter_schema.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace qw {
namespace {

struct CorpusPage {
  std::string name;
  std::string page;  // GBK, flattened, as the pass sees it
  std::string address;
  std::set<std::string> wanted;  // UTF-8
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::vector<CorpusPage> Corpus(const std::string& set) {
  std::vector<CorpusPage> pages;
  const std::filesystem::path folder = std::filesystem::path(QW_TEST_DATA_DIR) / "propose" / set;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".expect") continue;
    CorpusPage p;
    p.name = entry.path().stem().string();
    std::istringstream expect(ReadFile(entry.path()));
    std::string line;
    std::string encoding;
    while (std::getline(expect, line)) {
      if (line.starts_with("address ")) {
        p.address = line.substr(8);
      } else if (line.starts_with("encoding ")) {
        encoding = line.substr(9);
      } else if (!line.empty()) {
        p.wanted.insert(line);
      }
    }
    std::filesystem::path html = entry.path();
    html.replace_extension(".html");
    p.page = FlattenLines(DecodePageText(ReadFile(html), encoding == "gbk" ? "1" : "0"));
    pages.push_back(std::move(p));
  }
  std::sort(pages.begin(), pages.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return pages;
}

double F1(const std::set<std::string>& got, const std::set<std::string>& wanted) {
  std::size_t both = 0;
  for (const std::string& url : got) both += wanted.count(url);
  if (both == 0) return 0;
  const double precision = static_cast<double>(both) / static_cast<double>(got.size());
  const double recall = static_cast<double>(both) / static_cast<double>(wanted.size());
  return 2 * precision * recall / (precision + recall);
}

// A title is plain text when it is there and holds no markup.
bool Plain(const std::string& title) {
  return !title.empty() && title.find_first_of("<>") == std::string::npos &&
         title.find_first_not_of(" \t\n") != std::string::npos;
}

// A first monitoring pass over pages already fetched: the pass's own judging and storing, over a database.
class FirstPass {
 public:
  FirstPass() {
    EXPECT_EQ(OpenDatabase(db_, dir_ / "mavo.sdb", true), OpenResult::Opened);
    EXPECT_TRUE(Execute(db_, test::StarterSchema()));
    context_.pauseAfterStore = [] {};
  }

  // What the pass stores for the scheme from the page, each scheme under an id of its own.
  std::set<std::pair<std::string, std::string>> Stored(const propose::ProposedScheme& s, const std::string& page) {
    const int id = ++lastId_;
    SchemeRow row;
    row[kRuleId] = std::to_string(id);
    row[kRuleName] = "corpus";
    row[kRuleBefore] = s.before;
    row[kRuleAfter] = s.after;
    row[kRuleRegular] = s.regular;
    row[kRuleTindex] = s.tindex;
    row[kRuleUindex] = s.uindex;
    row[kRuleOindex] = s.oindex;
    row[kRuleBuquan] = s.buquan;
    row[kRuleType] = std::to_string(s.type);
    CollectFetchedPage(id, row, FetchedPage{page, ""}, context_);
    std::set<std::pair<std::string, std::string>> stored;
    for (const auto& r : Query(db_, "select title, url from info where planid=" + std::to_string(id)).rows) {
      stored.emplace(r[0], r[1]);
    }
    return stored;
  }

 private:
  test::TempDir dir_;
  Connection db_;
  DatabaseBusy busy_;
  MemoryStatusLog log_;
  SqlRunner sql_{db_, busy_, log_};
  SchemeCache cache_;
  std::atomic<bool> flag_{false};
  CompletedSchemes completed_;
  CollectContext context_{cache_, sql_, log_, flag_, completed_};
  int lastId_ = 0;
};

struct Figures {
  int pages = 0;
  int good = 0;  // best candidate F1 of 0.9 and above
  double sumF1 = 0;
  int titles = 0;
  int plainTitles = 0;
};

Figures Measure(const std::string& set) {
  Figures f;
  FirstPass pass;
  for (const CorpusPage& p : Corpus(set)) {
    const propose::Proposals proposals = propose::ProposeSchemes(p.page, Utf8ToGbk(p.address));
    std::set<std::string> got;
    if (!proposals.candidates.empty()) {
      const propose::ProposedScheme& best = proposals.candidates.front();
      for (const propose::ProposedArticle& a : best.articles) {
        got.insert(GbkToUtf8(a.url));
        ++f.titles;
        f.plainTitles += Plain(a.title) ? 1 : 0;
      }
      // Every candidate shows what the pass would store, no more and no less.
      for (const propose::ProposedScheme& c : proposals.candidates) {
        std::set<std::pair<std::string, std::string>> shown;
        for (const propose::ProposedArticle& a : c.articles) shown.emplace(a.title, a.url);
        EXPECT_EQ(shown.size(), c.articles.size()) << p.name;
        EXPECT_EQ(pass.Stored(c, p.page), shown) << p.name << " " << c.regular;
      }
    }
    const double f1 = F1(got, p.wanted);
    std::printf("  %-28s F1 %.2f (%zu of %zu wanted)\n", p.name.c_str(), f1, got.size(), p.wanted.size());
    ++f.pages;
    f.sumF1 += f1;
    f.good += f1 >= 0.9 ? 1 : 0;
  }
  std::printf("%s: %d pages, %d with F1 >= 0.9 (%.0f %%), mean F1 %.3f, plain titles %d of %d (%.1f %%)\n",
              set.c_str(), f.pages, f.good, 100.0 * f.good / std::max(1, f.pages), f.sumF1 / std::max(1, f.pages),
              f.plainTitles, f.titles, 100.0 * f.plainTitles / std::max(1, f.titles));
  return f;
}

// The floors sit below the figures measured when each set was written, so that a change for the worse fails.
TEST(ProposalCorpus, PagesTunedOn) {
  const Figures f = Measure("tuning");
  ASSERT_GE(f.pages, 20);
  EXPECT_GE(f.good, f.pages - 1);
  EXPECT_GE(f.plainTitles * 100, f.titles * 95);
}

// Pages of other engines, written once the proposal was done and kept out of its tuning.
TEST(ProposalCorpus, PagesHeldOut) {
  const Figures f = Measure("heldout");
  ASSERT_GE(f.pages, 7);
  EXPECT_GE(f.good, f.pages - 1);
  EXPECT_GE(f.plainTitles * 100, f.titles * 90);
}

}  // namespace
}  // namespace qw
