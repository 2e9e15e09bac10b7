#include "cli/hit_listing.h"

#include <unistd.h>

#include <cstdio>

#include "cli/cli.h"
#include "dictionary/dic_text.h"
#include "export/json_text.h"

namespace kebu::cli {

namespace {

void AppendField(std::string& out, const char* name, const std::u16string& text) {
  out += '"';
  out += name;
  out += "\": ";
  AppendJsonString(out, text);
  out += ", ";
}

void AppendNumber(std::string& out, const char* name, long long value) {
  out += '"';
  out += name;
  out += "\": ";
  out += std::to_string(value);
}

}  // namespace

HitListing::HitListing(const char* dict, const char* what, bool json, int32_t versionMajor,
                       size_t count, bool truncated)
    : dict_(dict), what_(what), json_(json), terminal_(!json && StdoutIsTerminal()),
      versionMajor_(versionMajor), count_(count), truncated_(truncated) {
  std::fflush(stdout);
  output_.CreateOn(STDOUT_FILENO);
  output_.SetCancel(InstallCancelHandlers());
  if (json_) {
    out_ = "{\"count\": " + std::to_string(count) +
           ", \"truncated\": " + (truncated ? "true" : "false") + ", \"hits\": [";
  }
}

bool HitListing::Add(const RecordText& t, const std::string& extraJson) {
  if (!status_.IsOk()) return false;
  ++added_;
  if (json_) {
    out_ += added_ == 1 ? "\n  {" : ",\n  {";
    AppendField(out_, "headword", t.headword);
    AppendField(out_, "translation", t.translation);
    AppendField(out_, "example", t.example);
    AppendField(out_, "pronunciation", t.pronunciation);
    AppendNumber(out_, "attribute", t.attribute);
    out_ += ", ";
    AppendNumber(out_, "indexEntry", t.position.indexEntry);
    out_ += ", ";
    AppendNumber(out_, "block", t.position.block);
    out_ += ", ";
    AppendNumber(out_, "recordOffset", t.position.recordOffset);
    if (!extraJson.empty()) out_ += ", " + extraJson;
    out_ += '}';
  } else {
    char number[32];
    std::snprintf(number, sizeof number, "%6zu  ", added_);
    out_ += number;
    AppendForPeople(DisplayHeadword(t.headword, versionMajor_), terminal_, &out_);
    if (!t.pronunciation.empty()) {
      out_ += "  [";
      AppendForPeople(t.pronunciation, terminal_, &out_);
      out_ += "]";
    }
    if (t.attribute > 0) out_ += "  (attribute " + std::to_string(t.attribute) + ")";
    out_ += "\n        ";
    AppendForPeople(t.translation, terminal_, &out_);
    out_ += "\n";
    if (!t.example.empty()) {
      out_ += "        / ";
      AppendForPeople(t.example, terminal_, &out_);
      out_ += "\n";
    }
  }
  return out_.size() < (1 << 16) || Flush();
}

bool HitListing::Flush() {
  if (status_.IsOk()) status_ = output_.Write(out_.data(), out_.size());
  out_.clear();
  return status_.IsOk();
}

int HitListing::Unreadable(size_t number) {
  Flush();
  std::fprintf(stderr, "kebu: %s: hit %zu could not be read; the list ends there, unfinished\n",
               dict_, number);
  return kExitFailure;
}

int HitListing::Finish() {
  if (json_) {
    out_ += added_ > 0 ? "\n]}\n" : "]}\n";
  } else if (count_ == 0) {
    out_ += "no hits\n";
  } else if (truncated_) {
    out_ += "(list cut at " + std::to_string(count_) + " hits; --limit 0 lists all)\n";
  }
  Flush();
  if (status_.IsOk()) return kExitOk;
  if (status_.Code() == StatusCode::kCancelled) {
    std::fprintf(stderr, "kebu: %s: %s cancelled\n", dict_, what_);
  } else {
    std::fprintf(stderr, "kebu: standard output: %s\n", status_.Message().c_str());
  }
  return kExitFailure;
}

}  // namespace kebu::cli
