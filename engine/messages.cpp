#include "engine/messages.h"

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

}  // namespace torvane::FileCreator
