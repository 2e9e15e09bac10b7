// mkdic: makes a dictionary file from a word list, for the sample
// dictionaries of the build and the benchmarks: what `kebu make` does, with
// the geometry, the layout and the size of the output as options.
//
//   mkdic [options] INPUT OUTPUT
//
// INPUT is a word list as `kebu make` reads it (writer/word_list.h): TSV, or
// with --edict the EDICT format.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "writer/dic_writer.h"
#include "writer/word_list.h"

namespace {

using kebu::writer::Encoding;
using kebu::writer::Options;
using kebu::writer::Record;

constexpr const char* kUsage =
    "usage: mkdic [options] INPUT OUTPUT\n"
    "  --edict                 INPUT is an EDICT file\n"
    "  --encoding cp932|bocu1  text encoding (default cp932)\n"
    "  --version V             header version: 0x0500, or 4, 5, 6 (default 5)\n"
    "  --block-size N          bytes per block, 1..1024 (default 1024)\n"
    "  --area-blocks N         blocks per record area (default 4)\n"
    "  --records-per-area N    exactly N records per area\n"
    "  --index32               32-bit block numbers in the index (default:\n"
    "                          only when a block number is above 65535)\n"
    "  --wide-lengths          4-byte record lengths in every area\n"
    "  --no-prefix             no prefix compression of headwords\n"
    "  --signature-offset N    13, 24 or -1 for none (default 13)\n"
    "  --header-size N         offset of the index area (default 256)\n"
    "  --data-gap N            bytes between index area and data (default 0)\n"
    "  --limit N               use the first N input records\n"
    "  --repeat K              repeat the input K times, headwords of the\n"
    "                          copies ending in \" #2\", \" #3\", ...\n"
    "For version 6 and later each headword is stored as the folded key, a\n"
    "TAB and the headword as given.\n";

struct Arguments {
  Options options;
  bool edict = false;
  long limit = -1;
  long repeat = 1;
  std::string input;
  std::string output;
};

long ParseNumber(std::string_view name, std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  long value = 0;
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() ||
      text.empty()) {
    throw std::invalid_argument(std::string(name) + ": not a number: " +
                                std::string(text));
  }
  return negative ? -value : value;
}

Arguments ParseArguments(int argc, char** argv) {
  Arguments a;
  a.options.areaBlocks = 4;
  a.options.autoIndex32 = true;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) {
        throw std::invalid_argument(std::string(arg) + " needs a value");
      }
      return argv[++i];
    };
    auto number = [&] { return ParseNumber(arg, value()); };
    if (arg == "--edict") {
      a.edict = true;
    } else if (arg == "--encoding") {
      const std::string_view v = value();
      if (v == "cp932") {
        a.options.encoding = Encoding::kCp932;
      } else if (v == "bocu1") {
        a.options.encoding = Encoding::kBocu1;
      } else {
        throw std::invalid_argument("--encoding: cp932 or bocu1");
      }
    } else if (arg == "--version") {
      const long v = number();
      a.options.version = static_cast<uint16_t>(v < 0x100 ? v << 8 : v);
    } else if (arg == "--block-size") {
      a.options.block_size = static_cast<int>(number());
    } else if (arg == "--area-blocks") {
      a.options.areaBlocks = static_cast<int>(number());
    } else if (arg == "--records-per-area") {
      a.options.recordsPerArea = static_cast<int>(number());
    } else if (arg == "--index32") {
      a.options.index32 = true;
    } else if (arg == "--wide-lengths") {
      a.options.lengths = kebu::writer::LengthWidth::k4;
    } else if (arg == "--no-prefix") {
      a.options.prefixCompression = false;
    } else if (arg == "--signature-offset") {
      a.options.signatureOffset = static_cast<int>(number());
    } else if (arg == "--header-size") {
      a.options.header_size = static_cast<int>(number());
    } else if (arg == "--data-gap") {
      a.options.data_gap = static_cast<int32_t>(number());
    } else if (arg == "--limit") {
      a.limit = number();
    } else if (arg == "--repeat") {
      a.repeat = number();
      if (a.repeat < 1) throw std::invalid_argument("--repeat: at least 1");
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg.starts_with("--")) {
      throw std::invalid_argument("unknown option " + std::string(arg));
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) {
    throw std::invalid_argument("INPUT and OUTPUT are needed");
  }
  a.input = positional[0];
  a.output = positional[1];
  a.options.recordLayout = false;
  return a;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Run(const Arguments& a) {
  const auto start = std::chrono::steady_clock::now();
  size_t badLine = 0;
  kebu::Result<kebu::writer::WordList> read = kebu::writer::ReadWordList(
      ReadText(a.input),
      {.format = a.edict ? kebu::writer::ListFormat::kEdict : kebu::writer::ListFormat::kTsv},
      &badLine);
  if (!read.IsOk()) {
    throw std::runtime_error(a.input + ":" + std::to_string(badLine) + ": " +
                             read.GetStatus().Message());
  }
  kebu::writer::WordList in = std::move(*read);
  if (a.limit >= 0 && static_cast<size_t>(a.limit) < in.records.size()) {
    in.records.resize(static_cast<size_t>(a.limit));
  }
  const bool v6 = (a.options.version >> 8) >= 6 && (a.options.version >> 8) < 0x80;
  std::vector<Record> records;
  records.reserve(in.records.size() * a.repeat);
  for (long k = 1; k <= a.repeat; ++k) {
    for (const Record& source : in.records) {
      Record r = source;
      if (k > 1) r.headword += " #" + std::to_string(k);
      if (v6) r.headword = kebu::writer::V6Headword(r.headword);
      records.push_back(std::move(r));
    }
  }
  in.records = {};
  const size_t count = records.size();
  kebu::Result<kebu::writer::BuiltDictionary> built =
      kebu::writer::BuildDictionary(std::move(records), a.options);
  if (!built.IsOk()) throw std::runtime_error(built.GetStatus().Message());
  const kebu::writer::BuiltDictionary& dic = *built;
  std::ofstream out(a.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(dic.bytes.data()),
            static_cast<std::streamsize>(dic.bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + a.output);
  const double seconds = std::chrono::duration<double>(
                             std::chrono::steady_clock::now() - start)
                             .count();
  std::fprintf(stderr,
               "mkdic: %zu records, %zu areas, %u blocks, %d-bit index, "
               "%zu bytes, %zu characters replaced by '?', %.1f s\n",
               count, dic.layout.areas.size(), dic.layout.blockCount,
               dic.layout.index32 ? 32 : 16,
               dic.bytes.size(), dic.substitutions, seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(ParseArguments(argc, argv));
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "mkdic: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdic: %s\n", e.what());
    return 1;
  }
}
