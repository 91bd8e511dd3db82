#include "ui/window/HelpTexts.h"

#include "naming/PlaceholderTable.h"
#include "texts/LanguageEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"

#include <QStringList>

#include <initializer_list>
#include <iterator>

namespace {

// The captions of topics 1 to 7, as the help menu lists them.
constexpr int kTopicCaptions[] = {kTextMenuTopicLoading,      kTextMenuTopicMenu,
                                  kTextMenuTopicTips,         kTextMenuTopicDragDrop,
                                  kTextMenuTopicPlaceholders, kTextMenuTopicWildcards,
                                  kTextMenuTopicCommandLine};
static_assert(std::size(kTopicCaptions) == kHelpTopicCount);

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
  struct Step {
    LanguageEntry Title;
    LanguageEntry Text;
  };
  static constexpr Step kSteps[] = {{kTextHelpStartLoadTitle, kTextHelpStartLoad},
                                    {kTextHelpStartChooseTitle, kTextHelpStartChoose},
                                    {kTextHelpStartTryTitle, kTextHelpStartTry},
                                    {kTextHelpStartStartTitle, kTextHelpStartStart}};
  QStringList steps;
  int number = 0;
  for (const Step& step : kSteps) {
    steps << QString::number(++number) + QLatin1String(") ") + PlainCaption(step.Title) +
                 QLatin1Char('\n') + PlainCaption(step.Text);
  }
  steps << PlainCaption(kTextHelpStartSave);
  return steps.join(QLatin1String("\n\n"));
}

// Menu options: each text under the menu path of the item it speaks of.
QString MenuOptions() {
  const QString testRun = PathOf({kTextMenuFile, kTextMenuTestRun}) + QLatin1String(" (") +
                          LanguageText(kTextKeyCtrl) + QLatin1String("+D)");
  return QStringList{testRun + QLatin1Char('\n') + PlainCaption(kTextHelpMenuTestRun),
                     PathOf({kTextMenuSettings, kTextMenuFileDates}) + QLatin1Char('\n') +
                         PlainCaption(kTextHelpMenuFileDates),
                     PathOf({kTextMenuSettings, kTextMenuAfterProcessing, kTextMenuKeepSources}) +
                         QLatin1Char('\n') + PlainCaption(kTextHelpMenuKeepSources)}
      .join(QLatin1String("\n\n"));
}

// Tips: each under the page, or the page and option, it belongs to.
QString Tips() {
  return QStringList{
      PlainCaption(kTextPageDateRules) + QLatin1Char('\n') + PlainCaption(kTextHelpTipsDateRules),
      PlainCaption(kTextPageCorrectFilename) + QLatin1Char('\n') +
          PlainCaption(kTextHelpTipsReplaceRules),
      PathOf({kTextPageNewName, kTextNewNameCounterPerFolder}) + QLatin1Char('\n') +
          PlainCaption(kTextHelpTipsCounterPerFolder),
      PathOf({kTextPageNewName, kTextNewNameNoLeadingZeros}) + QLatin1Char('\n') +
          PlainCaption(kTextHelpTipsNoLeadingZeros),
      PathOf({kTextPageTargetFolder, kTextTargetKeepSubfolders}) + QLatin1Char('\n') +
          PlainCaption(kTextHelpTipsKeepSubfolders)}
      .join(QLatin1String("\n\n"));
}

QString DragAndDrop() {
  return QLatin1String("- ") + PlainCaption(kTextHelpDropLoad) + QLatin1String("\n- ") +
         PlainCaption(kTextHelpDropTarget);
}

QString Placeholders() {
  QStringList parts = Paragraphs(kTextHelpPlaceholdersIntro, kTextHelpPlaceholdersButton);
  parts << PlainCaption(kTextHelpPlaceholdersNameGroup) + QLatin1String(":\n") +
               PlaceholderLine(false);
  parts << PlainCaption(kTextHelpPlaceholdersFolderGroup) + QLatin1String(":\n") +
               PlaceholderLine(true);
  parts << Paragraphs(kTextHelpPlaceholdersRelative, kTextHelpPlaceholdersExample);
  return parts.join(QLatin1String("\n\n"));
}

QString Wildcards() {
  QStringList parts = Paragraphs(kTextHelpWildcardsIntro, kTextHelpWildcardsCase);
  QString list = PlainCaption(kTextHelpWildcardsSpecial);
  for (int entry = kTextHelpWildcardsStar; entry <= kTextHelpWildcardsBar; ++entry)
    list += QLatin1String("\n - ") + PlainCaption(entry);
  parts << list;
  parts << Paragraphs(kTextHelpWildcardsExample, kTextHelpWildcardsButton);
  return parts.join(QLatin1String("\n\n"));
}

QString CommandLine() {
  return QLatin1String("- ") + PlainCaption(kTextHelpCommandLineConsole) + QLatin1String("\n- ") +
         PlainCaption(kTextHelpCommandLineIgnoreWarning) + QLatin1String("\n- ") +
         PlainCaption(kTextHelpCommandLinePortable);
}

}  // namespace

QString HelpTitle(int topic) {
  if (topic == kHelpGettingStarted)
    return PlainCaption(kTextMenuHelp) + QLatin1String(" - ") +
           PlainCaption(kTextMenuGettingStarted);
  if (topic < 1 || topic > kHelpTopicCount) return {};
  return PlainCaption(kTextMenuHelp) + QLatin1String(" - ") +
         PlainCaption(kTopicCaptions[static_cast<size_t>(topic - 1)]);
}

QString HelpText(int topic) {
  switch (topic) {
    case kHelpGettingStarted:
      return GettingStarted();
    case 1:
      return Paragraphs(kTextHelpLoadingAdding, kTextHelpLoadingStop).join(QLatin1String("\n\n"));
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
