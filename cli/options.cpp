#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <utility>

#include "common/case_mapping.h"
#include "common/text.h"
#include "engine/file_creator.h"
#include "engine/room.h"

namespace torvane::cli {
namespace {

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A preset by its row (0-23), by its list text, or by the list text's
// leading size ("1.44 mb").
std::optional<int> FindPreset(const std::string& wanted) {
  const auto& presets = FileCreator::Presets();
  const std::string key = LowerCase(TrimBlanks(wanted));
  if (AllDigits(key)) {
    if (key.size() > 2) return std::nullopt;
    const int index = std::atoi(key.c_str());
    if (index < static_cast<int>(presets.size())) return index;
    return std::nullopt;
  }
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const std::string text = LowerCase(presets[i].list_text);
    const std::string shortText = text.substr(0, text.find(" ("));
    if (key == text || key == shortText || key == LowerCase(presets[i].name))
      return static_cast<int>(i);
  }
  return std::nullopt;
}

// "1536", "1.5KB", "10 mb", "2TiB": the number as typed (it names the file)
// and the unit. Units are powers of 1024, whether written KB or KiB.
// Returns why the text is no size, or nothing.
std::string SplitSize(const std::string& raw, std::string& number, int& unit) {
  const std::string text(TrimBlanks(raw));
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') return "must not be negative: " + raw;
    ++i;
  }
  const std::size_t start = i;
  bool digits = false;
  auto skip_digits = [&] {
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      digits = true;
    }
  };
  skip_digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    skip_digits();
  }
  if (!digits) return "not a number: " + raw;
  number = text.substr(start, i - start);
  static const std::vector<std::vector<std::string>> kSuffixes = {
      {"", "b"}, {"k", "kb", "kib"}, {"m", "mb", "mib"}, {"g", "gb", "gib"}, {"t", "tb", "tib"}};
  const std::string suffix = LowerCase(TrimBlanks(std::string_view(text).substr(i)));
  for (std::size_t u = 0; u < kSuffixes.size(); ++u) {
    if (std::find(kSuffixes[u].begin(), kSuffixes[u].end(), suffix) == kSuffixes[u].end()) continue;
    unit = static_cast<int>(u);
    return {};
  }
  return "unknown unit '" + text.substr(i) + "' (use B, KB, MB, GB or TB)";
}

}  // namespace

std::string ParseSizeText(const std::string& raw, JobSettings& job) {
  const std::string text(TrimBlanks(raw));
  // An offset in bytes after the size: "10MB+1", "1GB-80".
  const auto sign = text.find_last_of("+-");
  const bool offset = sign != std::string::npos && sign > 0;
  const std::string base = offset ? text.substr(0, sign) : text;
  std::string number;
  int unit = 0;
  if (std::string error = SplitSize(base, number, unit); !error.empty()) return error;
  job.UsePresetSize = false;
  job.CustomLength = number;
  job.CustomUnit = unit;
  const FileCreator::JobTarget target = FileCreator::ResolveTarget(job);
  if (!target.ok) return target.error;
  ByteCount size = target.size;
  if (offset) {
    const std::string bytes(TrimBlanks(std::string_view(text).substr(sign + 1)));
    ByteCount by = 0;
    const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), by);
    if (bytes.empty() || error != std::errc() || end != bytes.data() + bytes.size())
      return "the offset after the size must be a whole number of bytes: " + raw;
    if (text[sign] == '-') by = -by;
    if (__builtin_add_overflow(size, by, &size)) return "too large for a file: " + raw;
    // Named by its byte count: "Byte_10485761".
    job.CustomUnit = 0;
    job.CustomLength = std::to_string(size);
  }
  if ((unit == 0 || offset) && !target.empty_file && size < FileCreator::kMinimumLength)
    return "must be at least " + std::to_string(FileCreator::kMinimumLength) + " bytes: " + raw;
  return {};
}

std::optional<ByteCount> SizeInBytes(const std::string& raw, std::string& error) {
  JobSettings job;
  error = ParseSizeText(raw, job);
  if (!error.empty()) return std::nullopt;
  return FileCreator::ResolveTarget(job).size;
}

namespace {

// Validators and transformers of the option table. CLI11 puts the option's
// name in front of the message each one returns; their descriptions stay
// empty so that --help shows only the value's name (DIR, N|TEXT).

CLI::Validator SizeText() {
  return CLI::Validator(
      [](std::string& text) {
        JobSettings job;
        return ParseSizeText(text, job);
      },
      "");
}

// "1, 1.44 mb (1,457,664 bytes)" is two presets: commas inside parentheses
// belong to a list text.
std::vector<std::string> SplitOutsideParentheses(const std::string& text) {
  std::vector<std::string> parts(1);
  int depth = 0;
  for (char c : text) {
    depth += c == '(' ? 1 : c == ')' ? -1 : 0;
    if (c == ',' && depth <= 0)
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  return parts;
}

// A whole number from `low` to `high`, in decimal digits only: CLI11 alone
// would also read "0x1F", "0b11" and "010" (octal).
CLI::Validator DecimalIn(int low, int high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        const std::string digits(TrimBlanks(text));
        int value = 0;
        const std::errc error =
            std::from_chars(digits.data(), digits.data() + digits.size(), value).ec;
        if (!AllDigits(digits) || error != std::errc() || value < low || value > high)
          return "must be a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high) + ": " + text;
        text = std::to_string(value);
        return {};
      },
      "");
}

// Exactly one of the listed words, each standing for a value of the option's
// variable (a bool or an enum); --help shows them as "fixed|continuous".
template <typename T>
CLI::Option* OneOf(CLI::Option* option, std::vector<std::pair<std::string, T>> words) {
  std::string choices, names;
  for (std::size_t i = 0; i < words.size(); ++i) {
    choices += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i].first;
    names += (i == 0 ? "" : "|") + words[i].first;
  }
  const auto pick = [words, choices](std::string& text) -> std::string {
    for (const auto& [word, value] : words) {
      if (text != word) continue;
      text = std::to_string(static_cast<int>(value));
      return {};
    }
    return "must be " + choices + ": " + text;
  };
  return option->transform(CLI::Validator(pick, ""))->type_name(names);
}

// What the table fills in besides Options: values that are checked against
// each other once the whole line is read.
struct Typed {
  std::vector<std::string> presetTexts;
  std::vector<std::string> sizeTexts;
  std::string reserveText = "64MiB";
  std::string maxFileText;
  CLI::Option* reserve = nullptr;
  CLI::Option* maxFile = nullptr;
  bool noSpaceCheck = false;
  CLI::Option* count = nullptr;
  int low = 0;
  int high = 255;
  bool verify = false;
  std::string seedText;
  CLI::Option* preset = nullptr;
  CLI::Option* size = nullptr;
  CLI::Option* seed = nullptr;
  // The options that shape random content only.
  std::vector<CLI::Option*> shaping;
  CLI::Option* layout = nullptr;
  CLI::Option* compressible = nullptr;
};

// The option table: one statement per option.
void DescribeOptions(CLI::App& app, Options& options, Typed& typed) {
  JobSettings& job = options.job;
  app.description(
      "Creates one file of an exact size filled with cryptographically random content.");
  app.footer(
      "The file is named after its size (KB_1.dat, MB_144.dat, Byte_100.dat, Empty.dat);\n"
      "its full path is printed on standard output. Ctrl-C, SIGTERM and SIGHUP stop the\n"
      "run, keeping whole records or chunks (exit status 128 + the signal's number: 130\n"
      "for Ctrl-C). Bad input: exit status 2; a failed run: 1.");
  app.get_formatter()->column_width(30);
  // Our own -h and --version flags: CLI11's would show help even beside an
  // unknown option, which is refused here.
  app.set_help_flag();
  // A repeated option takes its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  app.add_option("-o,--folder", job.OutputFolder, "output folder (default: the current directory)")
      ->type_name("DIR");
  // Sizes and presets may repeat and take comma lists: one file each.
  // Preset list texts hold commas themselves ("1 kb (1,024 bytes)"): the
  // list is split where no parenthesis is open, after parsing.
  typed.preset = app.add_option("-p,--preset", typed.presetTexts,
                                "one of the 24 presets, by index 0-23 or by list text, e.g. "
                                "\"1.44 mb\"; a list makes one file each")
                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                     ->type_name("N|TEXT");
  typed.size = app.add_option("-s,--size", typed.sizeTexts,
                              "length: 1536 (bytes), 1.5KB, 10MiB, 2GB, 1TB; KB = KiB = 1,024 "
                              "bytes (all units powers of 1024); 10MB+1, 1GB-80 add bytes and "
                              "name the file by its byte count; a list makes one file each")
                   ->check(SizeText())
                   ->delimiter(',')
                   ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                   ->type_name("LENGTH[UNIT][+-BYTES]");
  typed.count = app.add_option("--count", options.count, "make N files of each size (_2, _3 ...)")
                    ->transform(DecimalIn(1, static_cast<int>(FileCreator::kMaxFiles)))
                    ->type_name("N");
  app.add_flag("--fill", options.fill,
               "one file that takes the folder's free space down to --reserve, named by its "
               "byte count");
  typed.reserve =
      app.add_option("--reserve", typed.reserveText,
                     "with --fill: space left free (default 64MiB, so that the system and other "
                     "programs can still write)")
          ->check(SizeText())
          ->type_name("SIZE");
  typed.maxFile = app.add_option("--max-file-size", typed.maxFileText,
                                 "with --fill: as many files of at most this size as fill it")
                      ->check(SizeText())
                      ->type_name("SIZE");
  app.add_flag("--no-space-check", typed.noSpaceCheck,
               "write even when the free space looks too small");
  typed.shaping.push_back(app.add_option("--low", typed.low, "lowest byte value, default 0")
                              ->transform(DecimalIn(0, 255))
                              ->type_name("N"));
  typed.shaping.push_back(app.add_option("--high", typed.high, "highest byte value, default 255")
                              ->transform(DecimalIn(0, 255))
                              ->type_name("N"));
  typed.layout =
      OneOf<bool>(app.add_option("--layout", job.FixedLength, "default fixed (80-byte records)"),
                  {{"fixed", true}, {"continuous", false}});
  typed.shaping.push_back(typed.layout);
  typed.shaping.push_back(OneOf<bool>(
      app.add_option("--format", job.HexPairs, "default hex (two hexadecimal characters per byte)"),
      {{"hex", true}, {"binary", false}}));
  typed.shaping.push_back(OneOf<CaseConversion>(app.add_option("--case", job.Case, "default keep"),
                                                {{"keep", CaseConversion::None},
                                                 {"lower", CaseConversion::Lower},
                                                 {"upper", CaseConversion::Upper}}));
  using FileCreator::ContentKind;
  using FileCreator::SyncMode;
  OneOf<ContentKind>(app.add_option("--content", options.run.content,
                                    "default random; zeros are written, a sparse file gets its "
                                    "size without data"),
                     {{"random", ContentKind::Random},
                      {"zeros", ContentKind::Zeros},
                      {"sparse", ContentKind::Sparse}});
  OneOf<SyncMode>(
      app.add_option("--sync", options.run.sync,
                     "default chunk: each write of whole records or chunks synced; "
                     "record: each record, as the window; end: once, before success"),
      {{"record", SyncMode::Record}, {"chunk", SyncMode::Chunk}, {"end", SyncMode::End}});
  typed.seed = app.add_option("--seed", typed.seedText,
                              "content from the ChaCha20 stream of this text: the same seed and "
                              "options make the same file")
                   ->type_name("TEXT");
  app.add_flag("--verify", typed.verify,
               "read the existing file and compare it with what these options make; never write");
  app.add_flag("--checksum", options.run.checksum,
               "write <file>.sha256 beside the file (sha256sum -c reads it)");
  typed.compressible =
      app.add_option("--compressible", options.run.compressible,
                     "continuous random content: this per cent of each chunk is zero bytes")
          ->transform(DecimalIn(0, 100))
          ->type_name("PCT");
  app.add_flag("-q,--quiet", options.quiet, "no progress display");
  app.add_flag("-h,--help", options.help, "this text");
  app.add_flag("--version", options.version, "the program's version");
}

}  // namespace

std::string UsageText() {
  CLI::App app{"", kProgramName};
  Options options;
  Typed typed;
  DescribeOptions(app, options, typed);
  return app.help();
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  ParseResult result;
  Options& options = result.options;
  JobSettings& job = options.job;
  job.OutputFolder = ".";
  // The command line's own default: each write synced, not each record.
  options.run.sync = FileCreator::SyncMode::Chunk;
  Typed typed;
  CLI::App app{"", kProgramName};
  DescribeOptions(app, options, typed);

  auto fail = [&](std::string error) {
    result.ok = false;
    result.error = std::move(error);
    return result;
  };

  // CLI11 takes the words last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ExtrasError&) {
    // CLI11 2.1 names the unexpected words last first; keep them in order.
    std::string words;
    for (const std::string& word : app.remaining()) words += (words.empty() ? "" : " ") + word;
    return fail((app.remaining_size() > 1 ? "The following arguments were not expected: "
                                          : "The following argument was not expected: ") +
                words);
  } catch (const CLI::ParseError& error) {
    return fail(error.what());
  }
  if (options.help || options.version) {
    result.ok = true;
    return result;
  }

  if (options.fill && (typed.preset->count() > 0 || typed.size->count() > 0))
    return fail("--fill works out its own sizes: drop --size and --preset");
  if (options.fill && typed.count->count() > 0)
    return fail("--fill and --count exclude each other");
  if (options.fill && typed.verify) return fail("--fill makes files: drop --verify");
  if (options.fill && options.run.content == FileCreator::ContentKind::Sparse)
    return fail("--fill takes up the free space: --content sparse fills nothing");
  for (const CLI::Option* fillOnly : {typed.reserve, typed.maxFile})
    if (!options.fill && fillOnly->count() > 0)
      return fail(fillOnly->get_name() + " applies to --fill only");
  options.space_check = !typed.noSpaceCheck;
  std::string error;
  const auto reserve = SizeInBytes(typed.reserveText, error);
  if (!reserve) return fail("--reserve: " + error);
  options.reserve = *reserve;
  if (!typed.maxFileText.empty()) {
    const auto most = SizeInBytes(typed.maxFileText, error);
    if (!most) return fail("--max-file-size: " + error);
    if (*most == 0) return fail("--max-file-size must be larger than 0");
    options.max_file_size = *most;
  }
  if (options.run.content != FileCreator::ContentKind::Random) {
    for (const CLI::Option* shaping : typed.shaping)
      if (shaping->count() > 0)
        return fail(shaping->get_name() + " applies to random content only");
    if (typed.seed->count() > 0) return fail("--seed applies to random content only");
    if (typed.compressible->count() > 0)
      return fail("--compressible applies to random content only");
  }
  if (typed.compressible->count() > 0 && job.FixedLength)
    return fail("--compressible needs --layout continuous");
  if (typed.seed->count() > 0) options.seed = typed.seedText;
  if (typed.verify && options.run.checksum) return fail("--verify never writes: drop --checksum");
  if (typed.verify) {
    const bool exact =
        typed.seed->count() > 0 || options.run.content != FileCreator::ContentKind::Random;
    options.run.verify = exact ? FileCreator::VerifyMode::Exact : FileCreator::VerifyMode::Rules;
  }
  if (typed.low >= typed.high) return fail("--low must be below --high");
  job.LowText = std::to_string(typed.low);
  job.HighText = std::to_string(typed.high);

  std::vector<std::string> presets;
  for (const std::string& text : typed.presetTexts)
    for (std::string& one : SplitOutsideParentheses(text)) presets.push_back(std::move(one));
  if (presets.empty() && typed.sizeTexts.empty() && !options.fill) presets.push_back("0");
  for (const std::string& text : presets) {
    const auto index = FindPreset(text);
    if (!index)
      return fail("--preset: no such preset: " + text +
                  " (use 0-23 or a list text such as \"1.44 mb\")");
    job.UsePresetSize = true;
    job.PresetIndex = *index;
    options.jobs.push_back(job);
  }
  for (const std::string& text : typed.sizeTexts) {
    if (std::string refused = ParseSizeText(text, job); !refused.empty())
      return fail("--size: " + refused);
    options.jobs.push_back(job);
  }
  for (const JobSettings& each : options.jobs) {
    const FileCreator::JobTarget target = FileCreator::ResolveTarget(each);
    if (!target.ok) return fail(target.error);
  }
  if (!options.jobs.empty()) job = options.jobs.front();
  if (!FileCreator::IsFolder(job.OutputFolder))
    return fail("folder does not exist: " + job.OutputFolder);

  result.ok = true;
  return result;
}

}  // namespace torvane::cli
