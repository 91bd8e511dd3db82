#include "console/ConsoleText.h"

#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

namespace {

const QString kRule = QStringLiteral("----------------");

}  // namespace

QStringList BannerLines() {
  const QString title = ProductTitle(false, true, false);
  return {title,
          QString(title.size(), QLatin1Char('*')),
          ProductTexts[kProductBannerLine1],
          ProductTexts[kProductBannerLine2],
          QString(),
          QString(),
          QString(),
          kRule,
          QString()};
}

QStringList HelpLines() {
  return {
      QStringLiteral("Description of supported commands:"),
      QString(),
      QStringLiteral(" Any file path"),
      QStringLiteral("One or more paths of files and/or directories that should be loaded. Each "
                     "must be embraced by double quotes."),
      QString(),
      QStringLiteral(" -Console"),
      QStringLiteral("Enables this command-line mode for processing instead of the default user "
                     "interface. Can be useful in combination with \"Any file path\" and "
                     "\"-Preset=[0-9]\" for quick and easy batch processings."),
      QString(),
      QStringLiteral(" -Preset=[0-9]"),
      QStringLiteral("Set the specified preset at program start-up. If this isn't set the default "
                     "will be used. See main window for more information."),
      QString(),
      QStringLiteral(" -IgnoreWarning"),
      QStringLiteral("Ignore warning messages (like \"Really replace files?\") that could "
                     "interrupt starting the process."),
      QString(),
      QStringLiteral(" -Portable"),
      QStringLiteral("Save all settings in the current program directory instead of the "
                     "recommended \"APPDATA\" directory. You don't have to use this command "
                     "multiple times because existent setting files will be detected "
                     "automatically."),
      QString(),
      QStringLiteral(" -Uninstall"),
      QStringLiteral("\"Uninstall\" the program by deleting all possible remaining setting "
                     "files."),
      QString(),
      QStringLiteral(" --dry-run"),
      QStringLiteral("With -Console: load, check and plan the run without changing anything, and "
                     "print one line per file: the status the run would give, the file's path and "
                     "its new path, separated by tabs. Names are written as UTF-8, a backslash as "
                     "\\\\, a tab, line feed or carriage return as \\t, \\n or \\r, and "
                     "any other control character or byte that is not UTF-8 as \\xHH. Exit code "
                     "0: every file would be processed; 1: any would fail or be left; 2: the "
                     "checks stop the run."),
      QString(),
      AdditionText(kAddHelpUndoOption),
      AdditionText(kAddHelpUndoText),
      QString(),
      AdditionText(kAddHelpListRunsOption),
      AdditionText(kAddHelpListRunsText),
  };
}

QStringList ClosingLines() {
  return {QString(), kRule, QString()};
}
