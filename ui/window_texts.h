#pragma once

// Every text the window shows by itself, byte for byte. The texts it shares
// with the engine and the command line (the button's idle caption, the idle
// progress text, the unit list, the minimum length) are the engine's, in
// engine/messages.h and engine/file_creator.h.

#include <string>
#include <string_view>

#include "engine/file_creator.h"

namespace torvane::ui::text {

inline constexpr std::string_view kWindowTitle = "Torvane Software";
inline constexpr std::string_view kFolderInstruction = "Please select folder:";
inline constexpr std::string_view kHandCursorFile = "HAND-M.CUR";

inline constexpr std::string_view kMustBeNumeric = "Must be a numeric entry.";
inline constexpr std::string_view kLowNotBelowHigh =
    "Low must not be greater than or equal to high.";
inline constexpr std::string_view kHighNotAboveLow = "High must not be less than or equal to low.";
inline std::string BelowMinimum() {
  return "Must be greater than or equal to " + std::to_string(FileCreator::kMinimumLength) + ".";
}

// The values a rejected entry is reset to.
inline constexpr std::string_view kLowReset = "0";
inline constexpr std::string_view kHighReset = "255";
// A length in bytes below the minimum goes back to the minimum.
inline std::string LengthReset() { return std::to_string(FileCreator::kMinimumLength); }

// Error descriptions of the start-up steps.
inline constexpr std::string_view kInvalidArgument = "Invalid procedure call or argument";
inline constexpr std::string_view kInvalidPropertyValue = "Invalid property value";
inline constexpr std::string_view kInvalidPicture = "Invalid picture";
inline constexpr std::string_view kSkinUnreadable = "The skin file cannot be read";

}  // namespace torvane::ui::text
