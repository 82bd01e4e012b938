#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>

#include "common/case_mapping.h"
#include "common/text.h"
#include "engine/file_creator.h"

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

// "1536", "1.5KB", "10 mb": the number as typed (it names the file) and the
// unit. Returns why the text is no size, or nothing.
std::string SplitSize(const std::string& raw, std::string& number, int& unit) {
  const std::string text(TrimBlanks(raw));
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') return "must not be negative: " + raw;
    ++i;
  }
  const std::size_t start = i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return "not a number: " + raw;
  number = text.substr(start, i - start);
  const std::string suffix = LowerCase(TrimBlanks(std::string_view(text).substr(i)));
  if (suffix.empty() || suffix == "b")
    unit = 0;
  else if (suffix == "kb" || suffix == "k")
    unit = 1;
  else if (suffix == "mb" || suffix == "m")
    unit = 2;
  else if (suffix == "gb" || suffix == "g")
    unit = 3;
  else
    return "unknown unit '" + text.substr(i) + "' (use B, KB, MB or GB)";
  return {};
}

// Validators and transformers of the option table. CLI11 puts the option's
// name in front of the message each one returns; their descriptions stay
// empty so that --help shows only the value's name (DIR, N|TEXT).

CLI::Validator SizeText() {
  return CLI::Validator(
      [](std::string& text) {
        std::string number;
        int unit = 0;
        return SplitSize(text, number, unit);
      },
      "");
}

// The preset becomes its row, which the option stores.
CLI::Validator PresetText() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const auto index = FindPreset(text);
        if (!index)
          return "no such preset: " + text + " (use 0-23 or a list text such as \"1.44 mb\")";
        text = std::to_string(*index);
        return {};
      },
      "");
}

// Decimal digits only: CLI11 alone would also read "0x1F" and "010" (octal).
CLI::Validator ByteText() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const std::string digits(TrimBlanks(text));
        if (!AllDigits(digits) || digits.size() > 3 || std::atoi(digits.c_str()) > 255)
          return "must be a whole number from 0 to 255: " + text;
        text = std::to_string(std::atoi(digits.c_str()));
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
  std::string sizeText;
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
      "its full path is printed on standard output. Ctrl-C stops the run, keeping whole\n"
      "records or chunks (exit status 130). Bad input: exit status 2; a failed run: 1.");
  app.get_formatter()->column_width(30);
  // Our own -h and --version flags: CLI11's would show help even beside an
  // unknown option, which is refused here.
  app.set_help_flag();
  // A repeated option takes its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  app.add_option("-o,--folder", job.OutputFolder, "output folder (default: the current directory)")
      ->type_name("DIR");
  typed.preset =
      app.add_option("-p,--preset", job.PresetIndex,
                     "one of the 24 presets, by index 0-23 or by list text, e.g. \"1.44 mb\"")
          ->transform(PresetText())
          ->type_name("N|TEXT");
  typed.size =
      app.add_option("-s,--size", typed.sizeText,
                     "custom length: 1536 (bytes), 1.5KB, 10mb, 2GB; units are powers of 1024")
          ->check(SizeText())
          ->type_name("LENGTH[UNIT]");
  typed.shaping.push_back(app.add_option("--low", typed.low, "lowest byte value, default 0")
                              ->transform(ByteText())
                              ->type_name("N"));
  typed.shaping.push_back(app.add_option("--high", typed.high, "highest byte value, default 255")
                              ->transform(ByteText())
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
          ->check(CLI::Range(0, 100))
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

  if (typed.preset->count() > 0 && typed.size->count() > 0)
    return fail("give either --preset or --size, not both");
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
  job.UsePresetSize = typed.size->count() == 0;
  if (!job.UsePresetSize) SplitSize(typed.sizeText, job.CustomLength, job.CustomUnit);
  if (typed.low >= typed.high) return fail("--low must be below --high");
  job.LowText = std::to_string(typed.low);
  job.HighText = std::to_string(typed.high);

  const FileCreator::JobTarget target = FileCreator::ResolveTarget(job);
  if (!target.ok) return fail(target.error);
  if (!job.UsePresetSize && job.CustomUnit == 0 && !target.empty_file &&
      target.size < FileCreator::kMinimumLength)
    return fail("a length in bytes must be at least " +
                std::to_string(FileCreator::kMinimumLength) + ": " + typed.sizeText);
  if (!FileCreator::IsFolder(job.OutputFolder))
    return fail("folder does not exist: " + job.OutputFolder);

  result.ok = true;
  return result;
}

}  // namespace torvane::cli
