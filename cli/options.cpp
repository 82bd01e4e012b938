#include "cli/options.h"

#include <cctype>
#include <cstdlib>
#include <optional>

#include "engine/file_creator.h"

namespace torvane::cli {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

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
  const std::string key = Lower(Trim(wanted));
  if (AllDigits(key)) {
    if (key.size() > 2) return std::nullopt;
    const int index = std::atoi(key.c_str());
    if (index < static_cast<int>(presets.size())) return index;
    return std::nullopt;
  }
  for (std::size_t i = 0; i < presets.size(); ++i) {
    const std::string text = Lower(presets[i].list_text);
    const std::string shortText = text.substr(0, text.find(" ("));
    if (key == text || key == shortText || key == Lower(presets[i].name))
      return static_cast<int>(i);
  }
  return std::nullopt;
}

// "1536", "1.5KB", "10 mb": the number as typed (it names the file) and the unit.
bool SplitSize(const std::string& raw, std::string& number, int& unit, std::string& error) {
  const std::string text = Trim(raw);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') {
      error = "size must not be negative: " + raw;
      return false;
    }
    ++i;
  }
  const std::size_t start = i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) {
    error = "size is not a number: " + raw;
    return false;
  }
  number = text.substr(start, i - start);
  const std::string suffix = Lower(Trim(text.substr(i)));
  if (suffix.empty() || suffix == "b") unit = 0;
  else if (suffix == "kb" || suffix == "k") unit = 1;
  else if (suffix == "mb" || suffix == "m") unit = 2;
  else if (suffix == "gb" || suffix == "g") unit = 3;
  else {
    error = "unknown size unit '" + text.substr(i) + "' (use B, KB, MB or GB)";
    return false;
  }
  return true;
}

bool ParseByte(const std::string& name, const std::string& value, int& out, std::string& error) {
  const std::string text = Trim(value);
  if (!AllDigits(text) || text.size() > 3 || std::atoi(text.c_str()) > 255) {
    error = "--" + name + " must be a whole number from 0 to 255: " + value;
    return false;
  }
  out = std::atoi(text.c_str());
  return true;
}

}  // namespace

std::string UsageText() {
  return "Usage: torvane-cli [OPTIONS]\n"
         "Creates one file of an exact size filled with cryptographically random content.\n"
         "\n"
         "  -o, --folder DIR          output folder (default: the current directory)\n"
         "  -p, --preset N|TEXT       one of the 24 presets, by index 0-23 or by list text, e.g. \"1.44 mb\"\n"
         "  -s, --size LENGTH[UNIT]   custom length: 1536, 1.5KB, 10MB, 2GB (unit B, KB, MB or GB,\n"
         "                            powers of 1024, case-insensitive; no unit = bytes)\n"
         "      --low N --high N      byte range, default 0 and 255\n"
         "      --layout fixed|continuous   default fixed (80-byte records)\n"
         "      --format hex|binary   default hex (two hexadecimal characters per byte)\n"
         "      --case keep|lower|upper     default keep\n"
         "  -q, --quiet               no progress display\n"
         "  -h, --help                this text\n"
         "      --version             the program's version\n"
         "\n"
         "The file is named after its size (KB_1.dat, MB_144.dat, Byte_100.dat, Empty.dat);\n"
         "its full path is printed on standard output. Ctrl-C stops the run, keeping whole\n"
         "records or chunks (exit status 130). Bad input: exit status 2; a failed run: 1.\n";
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  ParseResult result;
  Options& options = result.options;
  JobSettings& job = options.job;
  job.OutputFolder = ".";
  std::optional<std::string> preset, size;
  int low = 0, high = 255;

  auto fail = [&](std::string error) {
    result.ok = false;
    result.error = std::move(error);
    return result;
  };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> inlineValue;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
      }
    }
    auto value = [&](std::string& out) -> bool {
      if (inlineValue) {
        out = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string v;
    auto needs = [&]() { return "option " + arg + " needs a value"; };

    if (arg == "-h" || arg == "--help") options.help = true;
    else if (arg == "--version") options.version = true;
    else if (arg == "-q" || arg == "--quiet") options.quiet = true;
    else if (arg == "-o" || arg == "--folder") {
      if (!value(v)) return fail(needs());
      job.OutputFolder = v;
    } else if (arg == "-p" || arg == "--preset") {
      if (!value(v)) return fail(needs());
      preset = v;
    } else if (arg == "-s" || arg == "--size") {
      if (!value(v)) return fail(needs());
      size = v;
    } else if (arg == "--low" || arg == "--high") {
      if (!value(v)) return fail(needs());
      std::string error;
      if (!ParseByte(arg.substr(2), v, arg == "--low" ? low : high, error)) return fail(error);
    } else if (arg == "--layout") {
      if (!value(v)) return fail(needs());
      if (v == "fixed") job.FixedLength = true;
      else if (v == "continuous") job.FixedLength = false;
      else return fail("--layout must be fixed or continuous: " + v);
    } else if (arg == "--format") {
      if (!value(v)) return fail(needs());
      if (v == "hex") job.HexPairs = true;
      else if (v == "binary") job.HexPairs = false;
      else return fail("--format must be hex or binary: " + v);
    } else if (arg == "--case") {
      if (!value(v)) return fail(needs());
      if (v == "keep") job.Case = CaseConversion::None;
      else if (v == "lower") job.Case = CaseConversion::Lower;
      else if (v == "upper") job.Case = CaseConversion::Upper;
      else return fail("--case must be keep, lower or upper: " + v);
    } else {
      return fail("unknown option: " + arg);
    }
  }
  if (options.help || options.version) {
    result.ok = true;
    return result;
  }

  if (preset && size) return fail("give either --preset or --size, not both");
  if (size) {
    std::string error;
    job.UsePresetSize = false;
    if (!SplitSize(*size, job.CustomLength, job.CustomUnit, error)) return fail(error);
  } else {
    job.UsePresetSize = true;
    job.PresetIndex = 0;
    if (preset) {
      const auto index = FindPreset(*preset);
      if (!index) return fail("unknown preset: " + *preset + " (use 0-23 or a list text such as \"1.44 mb\")");
      job.PresetIndex = *index;
    }
  }
  if (low >= high) return fail("--low must be below --high");
  job.LowText = std::to_string(low);
  job.HighText = std::to_string(high);

  const FileCreator::JobTarget target = FileCreator::ResolveTarget(job);
  if (!target.ok) return fail(target.error);
  if (!job.UsePresetSize && job.CustomUnit == 0 && !target.empty_file && target.size < 6)
    return fail("a length in bytes must be at least 6: " + *size);
  if (!FileCreator::IsFolder(job.OutputFolder))
    return fail("folder does not exist: " + job.OutputFolder);

  result.ok = true;
  return result;
}

}  // namespace torvane::cli
