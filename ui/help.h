// The help launcher. Every Help button, help menu command and F1 key opens
// the help file "Quorvex.chm" at a fixed topic. On this platform the help is
// our own pages under docs/help/: "Quorvex.chm::/path.html" is the page
// docs/help/path.html and "Quorvex.chm" alone docs/help/index.html, opened in
// the browser.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"

namespace qv::ui {

// Topics, by the place that opens them.
// Main options dialog (101): menu "&On this Dialog" and F1.
inline constexpr const char* kHelpOptionsDialog =
    "Quorvex.chm::/quorvex-documentation/options/picture-options.html";
// Main options dialog (101): menu "&Contents".
inline constexpr const char* kHelpOptionsContents = "Quorvex.chm";
// Advanced colours and widths dialog (118): Help button and F1.
inline constexpr const char* kHelpAdvancedOptions =
    "Quorvex.chm::/quorvex-documentation/options/advanced-options.html";
// User preferences dialog (111): Help button and F1.
inline constexpr const char* kHelpUserPreferences =
    "Quorvex.chm::/quorvex-documentation/options/user-preferences.html";
// Paperspace question (114), plug-in only: Help button.
inline constexpr const char* kHelpPaperspace =
    "Quorvex.chm::/quorvex-documentation/paperspace.html";
// About box (102): F1.
inline constexpr const char* kHelpAboutBox = "Quorvex.chm";
// Tray menu (107), tray program only: "&Help".
inline constexpr const char* kHelpTrayMenu = "Quorvex.chm";

// Menu commands that open help.
constexpr unsigned kCommandHelpOnThisDialog = 57670;  // "&On this Dialog", tray "&Help"
constexpr unsigned kCommandHelpContents = 57667;      // "&Contents"

struct HelpTopicEntry {
    const char* where;
    const char* trigger;
    const char* topic;
};

inline constexpr std::array<HelpTopicEntry, 7> kHelpTopicTable{{
    {"main options dialog 101", "menu \"&On this Dialog\" and F1", kHelpOptionsDialog},
    {"main options dialog 101", "menu \"&Contents\"", kHelpOptionsContents},
    {"advanced colours and widths dialog 118", "Help button and F1", kHelpAdvancedOptions},
    {"user preferences dialog 111", "Help button and F1", kHelpUserPreferences},
    {"paperspace question 114", "Help button", kHelpPaperspace},
    {"About box 102", "F1", kHelpAboutBox},
    {"tray menu 107", "\"&Help\"", kHelpTrayMenu},
}};

// Where the help is looked for: beside the program, else in the source tree.
struct HelpContext {
    platform::DesktopService& desktop;
    std::string ProgramFolder;  // ends with a path separator
    std::string sourceFolder = defaultSourceFolder();

    // The source tree the programs were built from.
    static std::string defaultSourceFolder();
};

// The page of a topic relative to docs/help ("index.html" for the file alone).
std::string helpPagePath(std::string_view topic);
// The file:// URL of the topic's page, when the page exists.
std::optional<std::string> helpPageUrl(const HelpContext& context, std::string_view topic);

// Opens the help at the topic; nothing is shown when the page is missing.
void ShowHelp(const HelpContext& context, std::string_view topic);

}  // namespace qv::ui
