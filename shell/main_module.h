#pragma once

// The start-up services that the main window calls while it loads: the
// application title, the optional skin, the desktop folder and the
// file-exists test. None of them keeps state of its own, and none throws.

#include <cstdint>
#include <string>
#include <string_view>

class QWidget;

namespace torvane::Main {

inline constexpr std::string_view kProductName = "Torvane Software";
// Below the executable's folder; read as a Qt style sheet.
inline constexpr std::string_view kSkinFile = "x/o.cjs";

// The title for a product name: cut before its last blank at least once, and
// again while it is longer than 40 characters. A name without a blank is kept.
std::string TitleFromProductName(std::string_view product);

// Makes the title of kProductName the application title of every message box.
void SetAppTitle();

// Folders by their shell identifier (only those the program asks for).
enum SpecialFolder : std::int32_t { kDesktop = 0, kPersonal = 5, kAppData = 0x1a };

// The folder's path without a trailing "/", or "" when the identifier is not
// known or the folder does not exist.
[[nodiscard]] std::string GetSpecialFolder(std::int32_t folder);

// The desktop folder, or the home folder on a machine without a desktop
// folder, always ending in one "/". "" when neither can be found.
[[nodiscard]] std::string GetDesktopFolder();

// True when the path names something that exists; never fails.
[[nodiscard]] bool FileExists(const std::string& path);

// The folder of the running program, ending in "/". Tests point it elsewhere.
std::string AppFolder();
void OverrideAppFolder(std::string folder);  // "" restores the real one

// With a regular file at AppFolder() + kSkinFile: paints the window and its
// frames, labels, option buttons and check boxes in the button-face colour,
// then applies the file's style sheet to the window. Without one (a folder at
// that path is not a skin) nothing changes. Returns false, having changed
// only the colours, when the skin file cannot be read.
[[nodiscard]] bool ApplySkin(QWidget* form);

}  // namespace torvane::Main
