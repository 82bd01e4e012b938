#pragma once

// Every text the engine shows, in one place, so that tests compare them
// byte for byte. The front ends read the texts they share with the engine
// from here too.

#include <string>
#include <string_view>

namespace torvane::FileCreator {

// The Create/Stop button's captions: idle, and while a run goes on.
inline constexpr std::string_view kStartCaption = "Start Creating File";
inline constexpr std::string_view kStopCaption = "Stop";
inline constexpr std::string_view kIdleProgressText = "Progress Bar";
inline constexpr std::string_view kDoneMessage = "Done.";
inline constexpr std::string_view kFolderMissingMessage =
    "Folder does not exist. Please select another folder.";
inline constexpr std::string_view kEmptyFileName = "Empty";

// The refusals of a job, naming what was refused; `trimmed` is the typed
// length without its blanks.
std::string PresetOutOfRangeMessage(int index);
std::string UnitOutOfRangeMessage(int unit);
std::string LengthNotANumberMessage(std::string_view trimmed);
std::string LengthNegativeMessage(std::string_view trimmed);
std::string LengthTooLargeMessage(std::string_view trimmed);
// `label` is "Low" or "High".
std::string ByteValueNotANumberMessage(std::string_view label, std::string_view text);
std::string ByteValueOutOfRangeMessage(std::string_view label, std::string_view text);
// What stops a run at its target; `path` is the file's full path. `reason`
// is the system's description of the failure.
std::string CannotEmptyMessage(std::string_view path, std::string_view reason);
std::string CannotOpenMessage(std::string_view path);
// The target name is refused before anything is written.
std::string SymbolicLinkMessage(std::string_view path);
std::string NotRegularFileMessage(std::string_view path);
std::string BusyMessage(std::string_view path);
// The end-of-run check found that the file is no longer what was written.
std::string ReplacedMessage(std::string_view path);
std::string NotOnDiskMessage(std::string_view path);
// What a verifying run finds; offsets and sizes in bytes, shown grouped.
std::string CannotReadMessage(std::string_view path);
std::string DiffersMessage(std::string_view path, long long offset);
std::string LayoutBrokenMessage(std::string_view path, long long offset);
std::string SizeDiffersMessage(std::string_view path, long long holds, long long expected);
// A made file that holds other than the bytes its run wrote.
std::string SizeChangedMessage(std::string_view path, long long holds, long long written);
inline constexpr std::string_view kPoolTooShortMessage =
    "The record cannot be made: too few random bytes are left in the pool.";
inline constexpr std::string_view kNoRandomDataMessage = "No random data came back for the file.";
inline constexpr std::string_view kChecksumFailedMessage = "The checksum could not be computed.";
inline constexpr std::string_view kStreamFailedMessage =
    "The bytes could not be written to the output stream.";

}  // namespace torvane::FileCreator
