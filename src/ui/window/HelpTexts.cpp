#include "ui/window/HelpTexts.h"

#include "naming/PlaceholderTable.h"
#include "texts/LanguageEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"

#include <QStringList>

#include <initializer_list>

namespace {

// Entries one after another, each a paragraph of its own.
QStringList Paragraphs(int first, int last) {
  QStringList out;
  for (int entry = first; entry <= last; ++entry) out << PlainCaption(entry);
  return out;
}

// A menu or page path such as "File > Test run on selected file".
QString PathOf(std::initializer_list<int> entries) {
  QStringList parts;
  for (const int entry : entries) parts << PlainCaption(entry);
  return parts.join(QLatin1String(" > "));
}

// "%001% (Counter), %FN% (File name), ...": the placeholder table's rows of the path family, or
// of every other family, in table order.
QString PlaceholderLine(bool paths) {
  QStringList parts;
  for (const PlaceholderRow& row : PlaceholderTable()) {
    if ((row.Family == PlaceholderFamily::Path) != paths) continue;
    parts << row.Code.toString() + QLatin1String(" (") + WithoutMnemonics(row.Caption.Text()) +
                 QLatin1Char(')');
  }
  return parts.join(QLatin1String(", "));
}

QString GettingStarted() {
  QStringList steps;
  for (int step = 0; step < 4; ++step) {
    steps << QString::number(step + 1) + QLatin1String(") ") + PlainCaption(256 + 2 * step) +
                 QLatin1Char('\n') + PlainCaption(257 + 2 * step);
  }
  steps << PlainCaption(kTextHelpStartSave);
  return steps.join(QLatin1String("\n\n"));
}

// Menu options: each text under the menu path of the item it speaks of.
QString MenuOptions() {
  const QString testRun =
      PathOf({2, 4}) + QLatin1String(" (") + LanguageText(kTextKeyCtrl) + QLatin1String("+D)");
  return QStringList{testRun + QLatin1Char('\n') + PlainCaption(kTextHelpMenuTestRun),
                     PathOf({8, 16}) + QLatin1Char('\n') + PlainCaption(kTextHelpMenuFileDates),
                     PathOf({8, 19, 21}) + QLatin1Char('\n') + PlainCaption(kTextHelpMenuKeepSources)}
      .join(QLatin1String("\n\n"));
}

// Tips: each under the page, or the page and option, it belongs to.
QString Tips() {
  return QStringList{PlainCaption(kTextPageDateRules) + QLatin1Char('\n') + PlainCaption(kTextHelpTipsDateRules),
                     PlainCaption(kTextPageCorrectFilename) + QLatin1Char('\n') + PlainCaption(kTextHelpTipsReplaceRules),
                     PathOf({66, 167}) + QLatin1Char('\n') + PlainCaption(kTextHelpTipsCounterPerFolder),
                     PathOf({66, 168}) + QLatin1Char('\n') + PlainCaption(kTextHelpTipsNoLeadingZeros),
                     PathOf({67, 172}) + QLatin1Char('\n') + PlainCaption(kTextHelpTipsKeepSubfolders)}
      .join(QLatin1String("\n\n"));
}

QString DragAndDrop() {
  return QLatin1String("- ") + PlainCaption(kTextHelpDropLoad) + QLatin1String("\n- ") + PlainCaption(kTextHelpDropTarget);
}

QString Placeholders() {
  QStringList parts = Paragraphs(kTextHelpPlaceholdersIntro, kTextHelpPlaceholdersButton);
  parts << PlainCaption(kTextHelpPlaceholdersNameGroup) + QLatin1String(":\n") + PlaceholderLine(false);
  parts << PlainCaption(kTextHelpPlaceholdersFolderGroup) + QLatin1String(":\n") + PlaceholderLine(true);
  parts << Paragraphs(kTextHelpPlaceholdersRelative, kTextHelpPlaceholdersExample);
  return parts.join(QLatin1String("\n\n"));
}

QString Wildcards() {
  QStringList parts = Paragraphs(288, 289);
  QString list = PlainCaption(kTextHelpWildcardsSpecial);
  for (int entry = 291; entry <= 294; ++entry) list += QLatin1String("\n - ") + PlainCaption(entry);
  parts << list;
  parts << Paragraphs(295, 296);
  return parts.join(QLatin1String("\n\n"));
}

QString CommandLine() {
  return QLatin1String("- ") + PlainCaption(kTextHelpCommandLineConsole) + QLatin1String("\n- ") + PlainCaption(kTextHelpCommandLineIgnoreWarning) +
         QLatin1String("\n- ") + PlainCaption(kTextHelpCommandLinePortable);
}

}  // namespace

QString HelpTitle(int topic) {
  if (topic == kHelpGettingStarted) return PlainCaption(kTextMenuHelp) + QLatin1String(" - ") + PlainCaption(kTextMenuGettingStarted);
  if (topic < 1 || topic > kHelpTopicCount) return {};
  return PlainCaption(kTextMenuHelp) + QLatin1String(" - ") + PlainCaption(37 + topic);
}

QString HelpText(int topic) {
  switch (topic) {
    case kHelpGettingStarted:
      return GettingStarted();
    case 1:
      return Paragraphs(265, 268).join(QLatin1String("\n\n"));
    case 2:
      return MenuOptions();
    case 3:
      return Tips();
    case 4:
      return DragAndDrop();
    case 5:
      return Placeholders();
    case 6:
      return Wildcards();
    case 7:
      return CommandLine();
    default:
      return {};
  }
}

QString AboutText() {
  return QStringList{ProductTitle(true, false, false),
                     ProductText(kProductVersionLine),
                     ProductText(kProductMaker),
                     ProductText(kProductCopyright),
                     QString(),
                     QLatin1String("Website: ") + ProductText(kProductWebsite),
                     QLatin1String("Email: ") + ProductText(kProductEmail),
                     QString(),
                     PlainCaption(kTextThankYou)}
      .join(QLatin1Char('\n'));
}
