#pragma once

// Every text the window shows by itself, byte for byte. The texts it shares
// with the engine and the command line (the button's idle caption, the idle
// progress text) are the engine's, in engine/messages.h.

#include <string_view>

namespace torvane::ui::text {

inline constexpr std::string_view kWindowTitle = "Torvane Software";
inline constexpr std::string_view kFolderInstruction = "Please select folder:";
inline constexpr std::string_view kHandCursorFile = "HAND-M.CUR";

// The unit whose minimum length is 6; the rule compares the list's shown text.
inline constexpr std::string_view kBytesUnit = "Bytes [ Minimum 6 bytes ]";

inline constexpr std::string_view kMustBeNumeric = "Must be a numeric entry.";
inline constexpr std::string_view kLowNotBelowHigh =
    "Low must not be greater than or equal to high.";
inline constexpr std::string_view kHighNotAboveLow = "High must not be less than or equal to low.";
inline constexpr std::string_view kBelowMinimum = "Must be greater than or equal to 6.";

// The values a rejected entry is reset to.
inline constexpr std::string_view kLowReset = "0";
inline constexpr std::string_view kHighReset = "255";
inline constexpr std::string_view kLengthReset = "6";

// Error descriptions of the start-up steps.
inline constexpr std::string_view kInvalidArgument = "Invalid procedure call or argument";
inline constexpr std::string_view kInvalidPropertyValue = "Invalid property value";
inline constexpr std::string_view kInvalidPicture = "Invalid picture";
inline constexpr std::string_view kSkinUnreadable = "The skin file cannot be read";

}  // namespace torvane::ui::text
