#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "common/case_mapping.h"
#include "common/number_locale.h"
#include "common/text.h"
#include "engine/file_creator.h"
#include "engine/room.h"

namespace torvane::cli {
namespace {

using FileCreator::ContentKind;
using FileCreator::SyncMode;
using FileCreator::VerifyMode;

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c));
  });
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

// "1MiB,2MiB" is two sizes; where the locale groups digits with commas,
// "1,048,576" is one (a comma before exactly three digits that end the
// number groups them).
std::vector<std::string> SplitSizes(const std::string& text) {
  const bool comma_groups = UserNumberLocale().typed_group_separator == ",";
  const auto digit = [&](std::size_t i) {
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
  };
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool groups = comma_groups && i > 0 && digit(i - 1) && digit(i + 1) && digit(i + 2) &&
                        digit(i + 3) && !digit(i + 4);
    if (text[i] == ',' && !groups)
      parts.emplace_back();
    else
      parts.back().push_back(text[i]);
  }
  return parts;
}

// Validators and transformers of the option table. CLI11 puts the option's
// name in front of the message each one returns; their descriptions stay
// empty so that --help shows only the value's name (SIZE, N|TEXT).

CLI::Validator SizeText() {
  return CLI::Validator([](std::string& text) { return WithSize(text, {}).error(); }, "");
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

// Words wrapped into lines of at most `width` characters.
std::string Wrap(const std::string& text, std::size_t width) {
  std::string out, line;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return out + line;
}

// CLI11's layout with each description wrapped to the columns left of it.
class WrappingFormatter : public CLI::Formatter {
 public:
  explicit WrappingFormatter(std::size_t width) : width_(width) { column_width(kNameColumn); }
  std::string make_option_desc(const CLI::Option* option) const override {
    return Wrap(option->get_description(), width_ - kNameColumn);
  }
  std::string make_description(const CLI::App* app) const override {
    return Wrap(app->get_description(), width_) + "\n\n";
  }
  std::string make_footer(const CLI::App* app) const override {
    std::string out;
    for (const std::string& paragraph : SplitParagraphs(app->get_footer()))
      out += (out.empty() ? "" : "\n\n") + Wrap(paragraph, width_);
    return out + "\n";
  }

 private:
  static constexpr std::size_t kNameColumn = 30;
  static std::vector<std::string> SplitParagraphs(const std::string& text) {
    std::vector<std::string> paragraphs;
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = std::min(text.find("\n\n", start), text.size());
      paragraphs.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return paragraphs;
  }
  std::size_t width_;
};

// What the table fills in besides Options: values that are checked against
// each other once the whole line is read.
struct Typed {
  std::string output = ".";
  std::vector<std::string> presetTexts;
  std::vector<std::string> sizeTexts;
  std::string reserveText = "64MiB";
  std::string maxFileText;
  bool noSpaceCheck = false;
  int low = 0;
  int high = 255;
  bool verify = false;
  std::string seedText;
  CLI::Option *preset = nullptr, *size = nullptr, *count = nullptr, *reserve = nullptr,
              *maxFile = nullptr, *seed = nullptr, *layout = nullptr, *compressible = nullptr;
  // The options that shape random content only.
  std::vector<CLI::Option*> shaping;
};

constexpr const char* kFooter =
    "Sizes: 1536 is bytes (B too); K, M, G, T and KiB, MiB, GiB, TiB are powers of 1024; KB, "
    "MB, GB, TB (kB too) are powers of 1000, as coreutils reads them: 10MB is 10,000,000 bytes, "
    "10MiB is 10,485,760. Fractions (1.5GiB) and byte offsets (1GiB-1, 10MB+1) work too.\n\n"
    "A file is named after its size: MB_10.dat for a whole number of K, M, G or T, Byte_N.dat "
    "for any other size, Empty.dat for 0; its path is printed on standard output.\n\n"
    "Exit status: 0 done (--verify: the file is as made); 1 a failed run (--verify: the file "
    "differs); 2 bad input, or --verify could not read the file; 128 + the signal's number "
    "after Ctrl-C (130), SIGHUP (129) or SIGTERM (143), which keep whole records or chunks; "
    "141 when the reader of -o - went away.";

void DescribeContent(CLI::App& app, Options& options, Typed& typed) {
  JobSettings& job = options.job;
  typed.shaping.push_back(app.add_option("--low", typed.low, "lowest byte value (default 0)")
                              ->transform(DecimalIn(0, 255))
                              ->type_name("0-255"));
  typed.shaping.push_back(app.add_option("--high", typed.high,
                                         "highest byte value (default 255); --low N --high N "
                                         "makes every byte N")
                              ->transform(DecimalIn(0, 255))
                              ->type_name("0-255"));
  typed.layout = OneOf<bool>(app.add_option("--layout", job.FixedLength,
                                            "continuous (default): raw bytes; fixed: 80-byte "
                                            "text records ending in CR LF, as the window makes"),
                             {{"continuous", false}, {"fixed", true}});
  typed.shaping.push_back(typed.layout);
  typed.shaping.push_back(OneOf<bool>(
      app.add_option("--format", job.HexPairs,
                     "records: hex (default, two hexadecimal characters per byte) or binary"),
      {{"hex", true}, {"binary", false}}));
  typed.shaping.push_back(
      OneOf<CaseConversion>(app.add_option("--case", job.Case, "records' letters (default keep)"),
                            {{"keep", CaseConversion::None},
                             {"lower", CaseConversion::Lower},
                             {"upper", CaseConversion::Upper}}));
  OneOf<ContentKind>(app.add_option("--content", options.run.content,
                                    "random (default); zeros are written; a sparse file gets its "
                                    "size without data"),
                     {{"random", ContentKind::Random},
                      {"zeros", ContentKind::Zeros},
                      {"sparse", ContentKind::Sparse}});
  typed.compressible =
      app.add_option("--compressible", options.run.compressible,
                     "continuous random content: this per cent of each chunk is zero bytes")
          ->transform(DecimalIn(0, 100))
          ->type_name("0-100");
  typed.seed = app.add_option("--seed", typed.seedText,
                              "content from the ChaCha20 stream of this text: the same seed and "
                              "options make the same file")
                   ->type_name("TEXT");
}

void DescribeFiles(CLI::App& app, Options& options, Typed& typed) {
  app.add_option("-o,--output", typed.output,
                 "a folder (default: the current one) for the size-named file; any other "
                 "path is the file itself; - streams the bytes to standard output")
      ->type_name("PATH");
  app.add_option("--folder", typed.output)->group("");  // the older name
  // Sizes and presets may repeat and take comma lists: one file each.
  // Preset list texts hold commas themselves ("1 kb (1,024 bytes)"), and
  // sizes may group digits with them: both lists are split after parsing.
  typed.size = app.add_option("-s,--size", typed.sizeTexts,
                              "the file's length (see Sizes below); a list makes one file each")
                   ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                   ->type_name("SIZE");
  typed.preset = app.add_option("-p,--preset", typed.presetTexts,
                                "one of the window's 24 sizes, by index or text, e.g. \"1.44 mb\" "
                                "(--list-presets shows them)")
                     ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                     ->type_name("N|TEXT");
  typed.count = app.add_option("--count", options.count, "N files of each size (_2, _3 ...)")
                    ->transform(DecimalIn(1, static_cast<int>(FileCreator::kMaxFiles)))
                    ->type_name("N");
  app.add_flag("--fill", options.fill,
               "files that take the folder's free space down to --reserve, named by byte count");
  typed.reserve =
      app.add_option("--reserve", typed.reserveText, "with --fill: space left free (default 64MiB)")
          ->check(SizeText())
          ->type_name("SIZE");
  typed.maxFile = app.add_option("--max-file-size", typed.maxFileText,
                                 "with --fill: files of at most this size")
                      ->check(SizeText())
                      ->type_name("SIZE");
  app.add_flag("--no-space-check", typed.noSpaceCheck,
               "write even when the free space looks too small");
  app.add_flag("-n,--no-clobber", options.no_clobber,
               "refuse, writing nothing, when a file to be made exists");
}

// The option table: one statement per option.
void DescribeOptions(CLI::App& app, Options& options, Typed& typed, int width) {
  app.description("Creates files of an exact size filled with cryptographically random content.");
  app.footer(kFooter);
  app.formatter(std::make_shared<WrappingFormatter>(static_cast<std::size_t>(width)));
  // Our own -h and --version flags: CLI11's would show help even beside an
  // unknown option, which is refused here.
  app.set_help_flag();
  // A repeated option takes its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  DescribeFiles(app, options, typed);
  DescribeContent(app, options, typed);
  OneOf<SyncMode>(
      app.add_option("--sync", options.run.sync,
                     "end (default): one sync before success; chunk: each write "
                     "synced; record: each record synced, as the window does"),
      {{"end", SyncMode::End}, {"chunk", SyncMode::Chunk}, {"record", SyncMode::Record}});
  app.add_flag("--verify", typed.verify,
               "compare the existing file with what these options make; write nothing");
  app.add_flag("--checksum", options.run.checksum,
               "write <file>.sha256 beside the file (sha256sum -c reads it)");
  app.add_flag("--json", options.json,
               "one JSON object a file on standard output instead of its path");
  app.add_flag("-q,--quiet", options.quiet, "no progress display");
  app.add_flag("--list-presets", options.list_presets, "the 24 presets, with their sizes");
  app.add_flag("-h,--help", options.help, "this text");
  app.add_flag("--version", options.version, "the program's version");
}

// Where the files go: a folder, a file named whole, or standard output.
Result<> ResolveOutput(const std::string& output, Options& options) {
  JobSettings& job = options.job;
  if (output == "-") {
    options.stream = true;
    job.OutputFolder = ".";
    return {};
  }
  if (output.empty() || FileCreator::IsFolder(output) ||
      std::string_view(kPathSeparators).find(output.back()) != std::string_view::npos) {
    job.OutputFolder = output.empty() ? "." : output;
  } else {
    const std::filesystem::path path(std::u8string(output.begin(), output.end()));
    const std::u8string parent = path.parent_path().u8string();
    const std::u8string name = path.filename().u8string();
    job.OutputFolder = parent.empty() ? "." : std::string(parent.begin(), parent.end());
    options.run.file_name.assign(name.begin(), name.end());
  }
  if (!FileCreator::IsFolder(job.OutputFolder))
    return Refuse("folder does not exist: " + job.OutputFolder);
  return {};
}

// The interlocks between options, checked in order; the first that holds
// refuses the line with its message.
Result<> CheckRules(const Options& options, const Typed& typed) {
  const bool random = options.run.content == ContentKind::Random;
  const bool named = options.stream || !options.run.file_name.empty();
  const bool many = options.fill || typed.count->count() > 0 ||
                    typed.presetTexts.size() + typed.sizeTexts.size() > 1 ||
                    options.jobs.size() > 1;
  const std::pair<bool, std::string> rules[] = {
      {options.fill && (typed.preset->count() + typed.size->count() > 0),
       "--fill works out its own sizes: drop --size and --preset"},
      {options.fill && typed.count->count() > 0, "--fill and --count exclude each other"},
      {options.fill && typed.verify, "--fill makes files: drop --verify"},
      {options.fill && options.run.content == ContentKind::Sparse,
       "--fill takes up the free space: --content sparse fills nothing"},
      {!options.fill && typed.reserve->count() > 0, "--reserve applies to --fill only"},
      {!options.fill && typed.maxFile->count() > 0, "--max-file-size applies to --fill only"},
      {!random && typed.seed->count() > 0, "--seed applies to random content only"},
      {!random && typed.compressible->count() > 0, "--compressible applies to random content only"},
      {typed.compressible->count() > 0 && options.job.FixedLength,
       "--compressible needs --layout continuous"},
      {typed.verify && options.run.checksum, "--verify never writes: drop --checksum"},
      {typed.low > typed.high, "--low must not be above --high"},
      {named && many, "with a list of sizes, --count or --fill, -o must name a folder"},
      {options.stream && typed.verify, "-o - streams the bytes: --verify reads a file"},
      {options.stream && options.run.checksum,
       "-o - streams the bytes: --checksum needs a file beside them"},
      {options.stream && options.json,
       "--json writes to standard output, which -o - gives to the bytes"},
  };
  for (const auto& [broken, message] : rules)
    if (broken) return Refuse(message);
  if (!random)
    for (const CLI::Option* shaping : typed.shaping)
      if (shaping->count() > 0)
        return Refuse(shaping->get_name() + " applies to random content only");
  return {};
}

// The jobs of the sizes and presets asked, presets first.
Result<> CollectJobs(const Typed& typed, Options& options) {
  JobSettings job = options.job;
  std::vector<std::string> presets;
  for (const std::string& text : typed.presetTexts)
    for (std::string& one : SplitOutsideParentheses(text)) presets.push_back(std::move(one));
  std::vector<std::string> sizes;
  for (const std::string& text : typed.sizeTexts)
    for (std::string& one : SplitSizes(text)) sizes.push_back(std::move(one));
  if (presets.empty() && sizes.empty() && !options.fill) presets.push_back("0");
  for (const std::string& text : presets) {
    const auto index = FindPreset(text);
    if (!index) return Refuse("--preset: no such preset: " + text + " (--list-presets shows them)");
    job.UsePresetSize = true;
    job.PresetIndex = *index;
    options.jobs.push_back(job);
  }
  for (const std::string& text : sizes) {
    const Result<JobSettings> sized = WithSize(text, job);
    if (!sized) return Refuse("--size: " + sized.error());
    options.jobs.push_back(*sized);
  }
  if (!options.jobs.empty()) options.job = options.jobs.front();
  return {};
}

// What the words set beyond the table: the fill's sizes, the content of a
// single byte value, what a verifying run compares.
Result<> Derive(const Typed& typed, Options& options) {
  options.space_check = !typed.noSpaceCheck;
  const Result<ByteCount> reserve = SizeInBytes(typed.reserveText);
  if (!reserve) return Refuse("--reserve: " + reserve.error());
  options.reserve = *reserve;
  if (!typed.maxFileText.empty()) {
    const Result<ByteCount> most = SizeInBytes(typed.maxFileText);
    if (!most) return Refuse("--max-file-size: " + most.error());
    if (*most == 0) return Refuse("--max-file-size must be larger than 0");
    options.max_file_size = *most;
  }
  if (typed.seed->count() > 0) options.seed = typed.seedText;
  options.job.LowText = std::to_string(typed.low);
  options.job.HighText = std::to_string(typed.high);
  // One byte value: continuous content needs no draws (records take it
  // through their range, which admits that one value).
  if (typed.low == typed.high && !options.job.FixedLength &&
      options.run.content == ContentKind::Random) {
    options.run.content = ContentKind::Constant;
    options.run.constant = static_cast<std::uint8_t>(typed.low);
  }
  if (typed.verify) {
    const bool exact = options.seed || options.run.content != ContentKind::Random;
    options.run.verify = exact ? VerifyMode::Exact : VerifyMode::Rules;
  }
  return {};
}

}  // namespace

std::string UsageText(int width) {
  CLI::App app{"", kProgramName};
  Options options;
  Typed typed;
  DescribeOptions(app, options, typed, std::max(width, 60));
  return app.help();
}

std::string PresetList() {
  std::string out;
  const auto& presets = FileCreator::Presets();
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const std::string index = std::to_string(i);
    out += std::string(2 - std::min<std::size_t>(2, index.size()), ' ') + index + "  " +
           presets[i].list_text + "\n";
  }
  return out;
}

Result<Options> ParseCommandLine(const std::vector<std::string>& args) {
  Options options;
  // The command line's own defaults: raw bytes, as head -c gives them, put
  // on the disk once before success.
  options.job.FixedLength = false;
  options.run.sync = SyncMode::End;
  Typed typed;
  CLI::App app{"", kProgramName};
  DescribeOptions(app, options, typed, 80);

  // CLI11 takes the words last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ExtrasError&) {
    // CLI11 2.1 names the unexpected words last first; keep them in order.
    std::string words;
    for (const std::string& word : app.remaining()) words += (words.empty() ? "" : " ") + word;
    return Refuse((app.remaining_size() > 1 ? "The following arguments were not expected: "
                                            : "The following argument was not expected: ") +
                  words);
  } catch (const CLI::ParseError& error) {
    return Refuse(error.what());
  }
  if (options.help || options.version || options.list_presets) return options;
  if (const Result<> jobs = CollectJobs(typed, options); !jobs) return Refuse(jobs.error());
  if (const Result<> out = ResolveOutput(typed.output, options); !out) return Refuse(out.error());
  if (const Result<> rules = CheckRules(options, typed); !rules) return Refuse(rules.error());
  if (const Result<> derived = Derive(typed, options); !derived) return Refuse(derived.error());
  for (JobSettings& each : options.jobs) {
    each.OutputFolder = options.job.OutputFolder;
    each.LowText = options.job.LowText;
    each.HighText = options.job.HighText;
  }
  return options;
}

}  // namespace torvane::cli
