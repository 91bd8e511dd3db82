#pragma once

#include <QString>

// The texts of the help window, its topics and the about window, put together from the loaded
// language table and the product texts. QtCore only.

// Topic 0 is the help text of F1 ("Getting started"); topics 1 to 7 are the entries of the help
// menu's topics submenu: loading files, menu options, tips, drag and drop, placeholders,
// wildcards, command line.
inline constexpr int kHelpGettingStarted = 0;
inline constexpr int kHelpTopicCount = 7;

// "Help - Getting started", "Help - Placeholders", ... (without access-key marks); empty for a
// topic that does not exist.
QString HelpTitle(int topic);

// The text of a topic, lines separated by "\n"; empty for a topic that does not exist.
QString HelpText(int topic);

// The about text: the title with its version, the version and maker lines, the web and e-mail
// addresses and the thanks.
QString AboutText();
