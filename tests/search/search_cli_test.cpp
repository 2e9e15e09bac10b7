// kebu search run as a separate process.
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include "tests/support/test_support.h"

namespace kebu::testing {
namespace {

struct Outcome { int status; std::string out, err; };

Outcome Kebu(const TempDir& dir, const std::vector<std::string>& args) {
  std::string command = "'" KEBU_BINARY "' search";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >'" + dir.File("out").string() + "' 2>'" + dir.File("err").string() + "' </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(dir.File("out")), ReadText(dir.File("err"))};
}

TEST(SearchCommand, ListsTheRecordsThatHoldTheTextWithTheFieldsTheyMatchedInAndExits) {
  TempDir dir;
  const std::vector<Record> records = {
      {.headword = "-x", .translation = "minus x"},
      {.headword = "rail", .translation = "Railway line", .example = "by RAIL", .pronunciation = "reil"},
      {.headword = "\xe9\x89\x84\xe9\x81\x93", .translation = "railway", .attribute = 2}};
  const std::string dic = dir.File("r.dic").string();
  WriteFile(dic, MakeDictionary(records, {.encoding = Encoding::kBocu1}).bytes);

  Outcome r = Kebu(dir, {dic, "RAIL", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");  // nothing to say on a sound file
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(json["count"], 2);
  EXPECT_EQ(json["truncated"], false);
  EXPECT_EQ(json["hits"][0]["in"], nlohmann::json({"headword", "translation", "example"}));
  EXPECT_EQ(json["hits"][1], nlohmann::json({{"headword", "\xe9\x89\x84\xe9\x81\x93"}, {"translation", "railway"},
                                             {"example", ""}, {"pronunciation", ""}, {"attribute", 2}, {"indexEntry", 0},
                                             {"block", 0}, {"recordOffset", json["hits"][1]["recordOffset"]},
                                             {"in", {"translation"}}}));

  const auto exact = nlohmann::json::parse(Kebu(dir, {dic, "--exact", "RAIL", "--json"}).out);
  EXPECT_EQ(exact["count"], 1);
  EXPECT_EQ(exact["hits"][0]["in"], nlohmann::json({"example"}));

  EXPECT_EQ(Kebu(dir, {dic, "rail", "--limit", "1"}).out,
            "     1  rail  [reil]\n        Railway line\n        / by RAIL\n(list cut at 1 hits; --limit 0 lists all)\n");
  EXPECT_EQ(Kebu(dir, {dic, "--", "-x"}).out, "     1  -x\n        minus x\n");
  EXPECT_EQ(Kebu(dir, {dic, "nothing"}).out, "no hits\n");
  const struct { std::vector<std::string> args; int status; } exits[] = {
      {{dic, "rail"}, 0}, {{dic, "zzz"}, 0}, {{dic, "\xff"}, 2}, {{dic, "-x"}, 2}, {{dic}, 2},
      {{dic, "a", "--limit", "x"}, 2}, {{dic + ".none", "a"}, 1}, {{dir.path().string(), "a"}, 1}};
  for (const auto& c : exits) EXPECT_EQ(Kebu(dir, c.args).status, c.status) << c.args.back();
}

}  // namespace
}  // namespace kebu::testing
