#pragma once

#include <QStringList>

// The fixed lines of the console: the banner before everything, the help text and the closing
// lines after everything. An empty text stands for an empty line.

// The title with its suffix, a row of "*" exactly as long, the two information lines of the
// product texts, three empty lines, a rule and one empty line.
QStringList BannerLines();

// The description of the command-line options.
QStringList HelpLines();

// An empty line, a rule and an empty line.
QStringList ClosingLines();
