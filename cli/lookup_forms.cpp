#include "cli/lookup_forms.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "cli/cli.h"
#include "cli/hit_listing.h"
#include "export/json_text.h"
#include "forms/dic_headword_test.h"

namespace kebu::cli {

namespace {

// "kebu: " and the texts on standard error, those from outside made safe
// for a terminal.
void Say(std::initializer_list<std::u16string_view> texts) {
  std::string line = "kebu: ";
  for (std::u16string_view t : texts) AppendForPeople(t, StderrIsTerminal(), &line);
  line += '\n';
  std::fputs(line.c_str(), stderr);
}

}  // namespace

bool ListFormHits(DicReader& reader, const char* dict, std::u16string_view key, bool json, int limit,
                  int* exit) {
  if (reader.Lookup(key, true, 1).count > 0) return false;
  forms::DicHeadwordTest dictionaries({reader.Source()});
  forms::LanguageTools tools;
  const Result<forms::WordMatch> found = forms::FindWord(key, dictionaries, tools);
  if (!found.IsOk()) {
    std::fprintf(stderr, "kebu: %s: %s\n", dict, found.GetStatus().Message().c_str());
    *exit = kExitFailure;
    return true;
  }
  const forms::WordMatch& match = *found;
  for (const forms::MissingTool& missing : match.missing) std::fprintf(stderr, "kebu: %s\n", missing.Message().c_str());
  if (!match.Found()) {
    Say({u"no entry for ", key, u" nor for a dictionary form of it"});
    return false;
  }
  std::u16string shown;
  for (const forms::FoundForm& form : match.forms) shown += (shown.empty() ? u"" : u", ") + form.headword;
  Say({u"no entry for ", key, u"; showing ", shown});

  std::vector<std::pair<RecordText, const std::u16string*>> hits;
  for (const forms::FoundForm& form : match.forms) {
    const LookupResult lookedUp = reader.Lookup(form.headword, true, 0);
    const uint32_t count = lookedUp.count;
    if (lookedUp.status.Code() == StatusCode::kOutOfMemory) {
      std::fprintf(stderr, "kebu: %s: out of memory after %zu hits\n", dict, hits.size());
      *exit = kExitFailure;
      return true;
    }
    RecordText t;
    for (uint32_t i = 0; i < count && (limit <= 0 || hits.size() < static_cast<size_t>(limit)); ++i) {
      if (!reader.GetHit(i, &t)) {
        std::fprintf(stderr, "kebu: %s: hit %u could not be read\n", dict, i + 1);
        *exit = kExitFailure;
        return true;
      }
      hits.emplace_back(t, &form.headword);
    }
  }
  HitListing listing(dict, "lookup", json, reader.GetVersionMajor(), hits.size(),
                     limit > 0 && hits.size() >= static_cast<size_t>(limit));
  for (const auto& [text, form] : hits) {
    std::string extra;
    if (*form != key) {
      extra = "\"form\": ";
      AppendJsonString(extra, *form);
    }
    if (!listing.Add(text, extra)) break;
  }
  *exit = listing.Finish();
  return true;
}

}  // namespace kebu::cli
