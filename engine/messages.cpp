#include "engine/messages.h"

#include "common/number_locale.h"

namespace torvane::FileCreator {
namespace {

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  out.append(text).append("\"");
  return out;
}

}  // namespace

std::string PresetOutOfRangeMessage(int index) {
  return "There is no predefined size number " + std::to_string(index) +
         ". Please choose a size from the list.";
}

std::string UnitOutOfRangeMessage(int unit) {
  return "There is no size unit number " + std::to_string(unit) +
         ". Please choose Bytes, Kilobytes, Megabytes or Gigabytes.";
}

std::string LengthNotANumberMessage(std::string_view trimmed) {
  return "The length " + Quoted(trimmed) + " is not a number.";
}

std::string LengthNegativeMessage(std::string_view trimmed) {
  return "The length " + Quoted(trimmed) + " is negative. Please enter 0 or more.";
}

std::string LengthTooLargeMessage(std::string_view trimmed) {
  return "The length " + Quoted(trimmed) + " is too large for a file.";
}

std::string ByteValueNotANumberMessage(std::string_view label, std::string_view text) {
  return "The " + std::string(label) + " value " + Quoted(text) + " is not a number.";
}

std::string ByteValueOutOfRangeMessage(std::string_view label, std::string_view text) {
  return "The " + std::string(label) + " value " + Quoted(text) +
         " is out of range (-32768 to 32767).";
}

std::string CannotEmptyMessage(std::string_view path, std::string_view reason) {
  return "The file " + Quoted(path) + " could not be created or emptied: " + std::string(reason);
}

std::string CannotOpenMessage(std::string_view path) {
  return "The file " + Quoted(path) + " could not be opened for writing.";
}

std::string SymbolicLinkMessage(std::string_view path) {
  return "The file " + Quoted(path) + " is a symbolic link. Remove it or choose another folder.";
}

std::string NotRegularFileMessage(std::string_view path) {
  return "The file " + Quoted(path) + " is not a regular file. Remove it or choose another folder.";
}

std::string BusyMessage(std::string_view path) {
  return "The file " + Quoted(path) + " is being written by another run.";
}

std::string ReplacedMessage(std::string_view path) {
  return "The file " + Quoted(path) + " was removed or replaced during the run.";
}

std::string NotOnDiskMessage(std::string_view path) {
  return "The file " + Quoted(path) + " could not be put on the disk.";
}

std::string CannotReadMessage(std::string_view path) {
  return "The file " + Quoted(path) + " could not be read.";
}

std::string DiffersMessage(std::string_view path, long long offset) {
  return "The file " + Quoted(path) + " differs at byte " + FormatThousands(offset) + ".";
}

std::string LayoutBrokenMessage(std::string_view path, long long offset) {
  return "The file " + Quoted(path) + " breaks its layout at byte " + FormatThousands(offset) + ".";
}

std::string SizeDiffersMessage(std::string_view path, long long holds, long long expected) {
  return "The file " + Quoted(path) + " holds " + FormatThousands(holds) + " bytes, not " +
         FormatThousands(expected) + ".";
}

std::string SizeChangedMessage(std::string_view path, long long holds, long long written) {
  return "The file " + Quoted(path) + " holds " + FormatThousands(holds) + " bytes, not the " +
         FormatThousands(written) + " written: it was changed during the run.";
}

}  // namespace torvane::FileCreator
