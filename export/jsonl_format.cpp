// One record as a line of JSON (see record_lines.h).
#include <charconv>
#include <cstring>

#include "export/json_text.h"
#include "export/record_lines.h"

namespace kebu {

namespace {

template <size_t N>
char* WriteName(char* out, const char (&name)[N]) {
  std::memcpy(out, name, N - 1);
  return out + N - 1;
}

template <size_t N>
char* WriteNumber(char* out, const char (&name)[N], int32_t value) {
  out = WriteName(out, name);
  return std::to_chars(out, out + 12, value).ptr;
}

template <size_t N>
char* WriteText(char* out, const char (&name)[N], const std::u16string& text) {
  return WriteJsonString(WriteName(out, name), text);
}

}  // namespace

char* WriteJsonLine(char* out, const RecordText& t) {
  out = WriteNumber(out, "{\"indexEntry\": ", t.position.indexEntry);
  out = WriteNumber(out, ", \"block\": ", t.position.block);
  out = WriteNumber(out, ", \"recordOffset\": ", t.position.recordOffset);
  out = WriteText(out, ", \"headword\": ", t.headword);
  out = WriteText(out, ", \"translation\": ", t.translation);
  out = WriteText(out, ", \"example\": ", t.example);
  out = WriteText(out, ", \"pronunciation\": ", t.pronunciation);
  out = WriteNumber(out, ", \"attribute\": ", t.attribute);
  return WriteName(out, "}\n");
}

}  // namespace kebu
