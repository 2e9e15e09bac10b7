// kebu lookup's suggestions and patterns, run as a separate process.
#include <nlohmann/json.hpp>

#include "tests/support/test_support.h"

namespace kebu::testing {
namespace {

TEST(LookupCommand, SuggestsSimilarHeadwordsAndMatchesPatterns) {
  TempDir dir;
  std::vector<Record> records;
  for (const char* word : {"receive", "recipe", "recife", "deceive", "rail", "railway", "railroad", "r*il"}) {
    records.push_back({.headword = word, .translation = std::string("of ") + word});
  }
  const std::string dic = dir.File("r.dic").string();
  WriteFile(dic, MakeDictionary(records).bytes);
  const auto kebu = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"lookup", dic});
    return testing::Run(KEBU_BINARY, args);
  };

  // Nothing found: the closest first, then those that begin like the key, then file order.
  const RunResult none = kebu({"recieve"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "no hits\n");
  EXPECT_EQ(none.err, "no hits; did you mean: receive, recife, recipe, deceive\n");
  EXPECT_EQ(kebu({"receive"}).err, "");

  const auto similar = nlohmann::json::parse(kebu({"recieve", "--similar", "--json", "--limit", "2"}).out);
  EXPECT_EQ(similar["count"], 2);
  EXPECT_EQ(similar["truncated"], true);
  EXPECT_EQ(similar["hits"][0]["headword"], "receive");
  EXPECT_EQ(similar["hits"][0]["distance"], 1);
  EXPECT_EQ(similar["hits"][1]["translation"], "of recife");
  EXPECT_EQ(similar["hits"][1]["distance"], 2);
  EXPECT_NE(kebu({"recieve", "--similar"}).out.find("     4  deceive\n        of deceive\n"), std::string::npos);

  for (const auto& [pattern, listed] : std::vector<std::pair<std::string, std::string>>{
           {"rail*", "rail railroad railway"}, {"r*il", "r*il rail"}, {"r\\*il", "r*il"}, {"?ail", "rail"}, {"rail", "rail"}}) {
    const auto hits = nlohmann::json::parse(kebu({pattern, "--glob", "--json"}).out)["hits"];
    std::string words;
    for (const auto& hit : hits) words += (words.empty() ? "" : " ") + std::string(hit["headword"]);
    EXPECT_EQ(words, listed) << pattern;
  }
  EXPECT_EQ(kebu({"rail*", "--glob", "--limit", "1"}).out, "     1  rail\n        of rail\n(list cut at 1 hits; --limit 0 lists all)\n");
  for (const auto& args : std::vector<std::vector<std::string>>{{"a", "--similar", "--glob"}, {"a", "--whole-word", "--glob"}, {"a", "--similar", "--whole-word"}}) {
    EXPECT_EQ(kebu(args).status, 2) << args[1] << " " << args[2];
  }
}

}  // namespace
}  // namespace kebu::testing
