// JSON Lines word lists: one object a line, as `kebu dump --json` prints.
#include <nlohmann/json.hpp>

#include <string>

#include "writer/list_formats.h"

namespace kebu::writer {

bool ReadJsonlList(std::string_view text, WordList* list, ListError* error) {
  return ForEachLine(text, [&](std::string_view line, size_t number) {
    auto fail = [&](std::string message) {
      *error = {number, std::move(message)};
      return false;
    };
    if (line.empty()) return true;
    nlohmann::json object;
    try {
      object = nlohmann::json::parse(line);
    } catch (const nlohmann::json::exception& e) {
      std::string what = e.what();  // "[json.exception.parse_error.101] parse error at ..."
      const size_t bracket = what.find("] ");
      return fail(bracket == std::string::npos ? what : what.substr(bracket + 2));
    }
    if (!object.is_object()) return fail("not a JSON object");
    Record& r = list->records.emplace_back();
    list->lines.push_back(static_cast<uint32_t>(number));
    const struct {
      const char* name;
      std::string* text;
    } texts[] = {{"headword", &r.headword},
                 {"translation", &r.translation},
                 {"example", &r.example},
                 {"pronunciation", &r.pronunciation}};
    for (const auto& [name, text] : texts) {
      const auto member = object.find(name);
      if (member == object.end()) continue;
      if (!member->is_string()) return fail(std::string("\"") + name + "\" is not a string");
      *text = member->get<std::string>();
    }
    if (r.headword.empty()) return fail("no headword (\"headword\": a string, not empty)");
    if (const auto a = object.find("attribute"); a != object.end()) {
      if (!a->is_number_unsigned() || a->get<unsigned long long>() > 15) {
        return fail("\"attribute\" is a number from 0 to 15");
      }
      r.attribute = static_cast<uint8_t>(a->get<unsigned>());
    }
    return true;
  });
}

}  // namespace kebu::writer
