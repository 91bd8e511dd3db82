#include "ui/placeholders/PlaceholderListItems.h"
#include "ui/presets/PresetDialog.h"
#include "ui/presets/PresetDialogModel.h"

#include "app/AppState.h"
#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"
#include "support/TempDir.h"

#include "support/HelperTestSupport.h"
#include "ui/widgets/UiTexts.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <optional>

using namespace helpers_test;

namespace {

enum class Action { kSaveNew, kDelete, kMoveUp, kMoveDown, kRestore, kChooseDefault };

struct DialogRow {
  const char* what;
  const char* names;  // the saved presets before, comma-separated
  int defaultIndex;   // before
  int selectRow;      // the list's selected row before (-1: none)
  Action action;
  const char* typed;     // the name typed for save-as-new; nullptr: the box was cancelled
  bool answer;           // the answer to any Yes/No question
  const char* expected;  // the saved presets after
  int expectedDefault;
  int expectedSelected;
  int questions;  // Yes/No questions asked
};

QList<Preset> MakePresets(const QString& names) {
  QList<Preset> presets{WorkingPreset()};
  if (names.isEmpty()) return presets;
  for (const QString& name : names.split(QLatin1Char(','))) {
    Preset preset;
    preset.PresetName = name;
    preset.PresetNumber = static_cast<int8_t>(presets.size());
    preset.NameTemplate = QStringLiteral("template of ") + name;
    presets.append(preset);
  }
  return presets;
}

QString SavedNames(const QList<Preset>& presets) {
  QStringList names;
  for (qsizetype i = 1; i < presets.size(); ++i) names << presets[i].PresetName;
  return names.join(QLatin1Char(','));
}

// The dialog over a preset list, with every question answered by the test.
struct DialogHarness {
  explicit DialogHarness(const QString& names, int defaultIdx,
                         PresetDialog::Mode mode = PresetDialog::Mode::kManage,
                         QString file = QString())
      : presets(MakePresets(names)), defaultIndex(defaultIdx) {
    working.NameTemplate = QStringLiteral("typed on the page");
    PresetDialogHooks hooks;
    hooks.StorePageControls = [this] {
      ++stores;
      working.NameTemplate = QStringLiteral("stored from the page");
    };
    hooks.AskYesNo = [this](QWidget*, const QString& title, const QString& text) {
      ++questions;
      lastQuestion = title + QLatin1Char('|') + text;
      return answer;
    };
    hooks.AskText = [this](QWidget*, const QString&, const QString& prompt) {
      ++nameAsks;
      lastPrompt = prompt;
      return typed;
    };
    hooks.Warn = [this](QWidget*, const QString&, const QString& text) { warnings << text; };
    if (file.isEmpty()) file = dir.Path() + QStringLiteral("Presets");
    path = file;
    dialog.emplace(nullptr, mode, presets, defaultIndex, working, file, hooks);
    QObject::connect(&*dialog, &PresetDialog::PresetsChanged, [this] { ++changedSignals; });
  }

  void Select(int row) {
    if (row >= 0) dialog->List()->item(row)->setSelected(true);
  }

  int Selected() const {
    const QList<QListWidgetItem*> items = dialog->List()->selectedItems();
    return items.isEmpty() ? -1 : dialog->List()->row(items.first());
  }

  TempDir dir;
  QString path;
  QList<Preset> presets;
  int32_t defaultIndex;
  Preset working;
  std::optional<QString> typed;
  bool answer = false;
  int questions = 0;
  int nameAsks = 0;
  int stores = 0;
  int changedSignals = 0;
  QString lastQuestion;
  QString lastPrompt;
  QStringList warnings;
  std::optional<PresetDialog> dialog;
};

TEST(PresetDialog, RulesTable) {
  UseLanguage(kLanguageEnglish);
  using A = Action;
  const DialogRow rows[] = {
      {"save as new", "P1,P2,P3,P4,P5,P6,P7,P8", 0, -1, A::kSaveNew, "New", false,
       "P1,P2,P3,P4,P5,P6,P7,P8,New", 9, 8, 0},
      {"nine presets: nothing is asked or added", "P1,P2,P3,P4,P5,P6,P7,P8,P9", 2, -1, A::kSaveNew,
       "New", false, "P1,P2,P3,P4,P5,P6,P7,P8,P9", 2, -1, 0},
      {"same name in another case, Yes replaces it", "P1,P2,P3", 0, -1, A::kSaveNew, "p2", true,
       "P1,P2,P3", 2, 1, 1},
      {"same name in another case, No appends 2", "P1,P2,P3", 0, -1, A::kSaveNew, "p2", false,
       "P1,P2,P3,p2 2", 4, 3, 1},
      {"No when the name with 2 is taken too", "P1,P2,P2 2", 0, -1, A::kSaveNew, "p2", false,
       "P1,P2,P2 2,p2 3", 4, 3, 1},
      {"the working preset's name is never replaced", "P1", 0, -1, A::kSaveNew, "default SETTINGS",
       true, "P1,default SETTINGS 2", 2, 1, 0},
      {"a blank name adds nothing", "P1", 1, -1, A::kSaveNew, "   ", true, "P1", 1, -1, 0},
      {"a cancelled box adds nothing", "P1", 1, -1, A::kSaveNew, nullptr, true, "P1", 1, -1, 0},
      {"line breaks in a name become blanks", "P1", 0, -1, A::kSaveNew, " a\nb ", false, "P1,a b",
       2, 1, 0},
      {"move up on the first row does nothing", "P1,P2,P3", 2, 0, A::kMoveUp, nullptr, false,
       "P1,P2,P3", 2, 0, 0},
      {"move down on the last row does nothing", "P1,P2,P3", 2, 2, A::kMoveDown, nullptr, false,
       "P1,P2,P3", 2, 2, 0},
      {"move up", "P1,P2,P3", 2, 2, A::kMoveUp, nullptr, false, "P1,P3,P2", 0, 1, 0},
      {"move down", "P1,P2,P3", 3, 0, A::kMoveDown, nullptr, false, "P2,P1,P3", 0, 1, 0},
      {"delete, Yes: the working preset becomes the default", "P1,P2,P3", 3, 1, A::kDelete, nullptr,
       true, "P1,P3", 0, -1, 1},
      {"delete, No", "P1,P2,P3", 3, 1, A::kDelete, nullptr, false, "P1,P2,P3", 3, 1, 1},
      {"delete without a selection does nothing", "P1,P2", 2, -1, A::kDelete, nullptr, true,
       "P1,P2", 2, -1, 0},
      {"restore, No changes nothing", "A,B,C,D,E", 5, 4, A::kRestore, nullptr, false, "A,B,C,D,E",
       5, 4, 1},
      {"restore, Yes keeps a default that still names a preset", "A,B,C,D,E", 2, -1, A::kRestore,
       nullptr, true, "Tidy up documents and downloads,Sort photos by date,Correct file names", 2,
       -1, 1},
      {"restore, Yes with a default past the built-ins", "A,B,C,D,E", 5, -1, A::kRestore, nullptr,
       true, "Tidy up documents and downloads,Sort photos by date,Correct file names", 0, -1, 1},
      {"choosing the default in the combo", "P1,P2,P3", 0, -1, A::kChooseDefault, nullptr, false,
       "P1,P2,P3", 3, -1, 0},
  };
  for (const DialogRow& row : rows) {
    SCOPED_TRACE(row.what);
    DialogHarness h(Q(row.names), row.defaultIndex);
    if (row.typed != nullptr) h.typed = Q(row.typed);
    h.answer = row.answer;
    h.Select(row.selectRow);
    switch (row.action) {
      case A::kSaveNew:
        h.dialog->SaveNewButton()->click();
        break;
      case A::kDelete:
        h.dialog->DeleteButton()->click();
        break;
      case A::kMoveUp:
        h.dialog->UpButton()->click();
        break;
      case A::kMoveDown:
        h.dialog->DownButton()->click();
        break;
      case A::kRestore:
        h.dialog->RestoreButton()->click();
        break;
      case A::kChooseDefault: {
        QComboBox* combo = h.dialog->DefaultCombo();
        combo->setCurrentIndex(3);
        emit combo->activated(3);
        break;
      }
    }
    EXPECT_EQ(SavedNames(h.presets), Q(row.expected));
    EXPECT_EQ(h.defaultIndex, row.expectedDefault);
    EXPECT_EQ(h.Selected(), row.expectedSelected);
    EXPECT_EQ(h.questions, row.questions);
    // Numbers follow the list order; the list and the combo show them.
    for (qsizetype i = 0; i < h.presets.size(); ++i) EXPECT_EQ(h.presets[i].PresetNumber, i);
    ASSERT_EQ(h.dialog->List()->count(), h.presets.size() - 1);
    ASSERT_EQ(h.dialog->DefaultCombo()->count(), h.presets.size());
    for (qsizetype i = 1; i < h.presets.size(); ++i)
      EXPECT_EQ(h.dialog->List()->item(static_cast<int>(i - 1))->text(),
                QString::number(i) + Q(")  ") + h.presets[i].PresetName);
    EXPECT_EQ(h.dialog->DefaultCombo()->currentIndex(), row.expectedDefault);
    // Button states follow the selection and the count.
    const int selected = h.Selected();
    const int saved = static_cast<int>(h.presets.size()) - 1;
    EXPECT_EQ(h.dialog->SaveNewButton()->isEnabled(), saved < 9);
    EXPECT_EQ(h.dialog->DeleteButton()->isEnabled(), selected >= 0);
    EXPECT_EQ(h.dialog->UpButton()->isEnabled(), selected > 0);
    EXPECT_EQ(h.dialog->DownButton()->isEnabled(), selected >= 0 && selected < saved - 1);
  }
}

TEST(PresetDialog, SaveAsNewStoresThePageSettingsIntoThePreset) {
  UseLanguage(kLanguageEnglish);
  DialogHarness h(Q("P1,P2"), 0);
  h.typed = Q("Holiday");
  ASSERT_TRUE(h.dialog->SaveAsNew());
  EXPECT_EQ(h.lastPrompt, Q("Name of the new preset:"));
  EXPECT_EQ(h.stores, 1);
  ASSERT_EQ(h.presets.size(), 4);
  EXPECT_EQ(h.presets[3].PresetName, Q("Holiday"));
  EXPECT_EQ(h.presets[3].PresetNumber, 3);
  EXPECT_EQ(h.presets[3].NameTemplate, Q("stored from the page"));

  // Replacing keeps the preset's place, number and name, and takes the page settings.
  h.typed = Q("p1");
  h.answer = true;
  ASSERT_TRUE(h.dialog->SaveAsNew());
  EXPECT_EQ(h.lastQuestion, Q("Question|A preset of this name already exists. Do you want "
                              "to replace it?"));
  EXPECT_EQ(h.presets[1].PresetName, Q("P1"));
  EXPECT_EQ(h.presets[1].NameTemplate, Q("stored from the page"));
  EXPECT_EQ(h.presets[2].NameTemplate, Q("template of P2"));
}

TEST(PresetDialog, ButtonStatesAtTheEndsOfTheList) {
  UseLanguage(kLanguageEnglish);
  DialogHarness h(Q("P1,P2,P3"), 0);
  const struct {
    int row;
    bool up;
    bool down;
  } rows[] = {{-1, false, false}, {0, false, true}, {1, true, true}, {2, true, false}};
  for (const auto& row : rows) {
    h.dialog->List()->clearSelection();
    h.Select(row.row);
    EXPECT_EQ(h.dialog->DeleteButton()->isEnabled(), row.row >= 0) << row.row;
    EXPECT_EQ(h.dialog->UpButton()->isEnabled(), row.up) << row.row;
    EXPECT_EQ(h.dialog->DownButton()->isEnabled(), row.down) << row.row;
  }
}

TEST(PresetDialog, ClosingAfterAChangeWritesAFileThatReadsBackEqual) {
  UseLanguage(kLanguageEnglish);
  DialogHarness h(Q("P1,P2,P3"), 0);
  h.typed = Q("Fotos");
  ASSERT_TRUE(h.dialog->SaveAsNew());
  h.Select(0);
  h.dialog->DownButton()->click();
  h.dialog->DefaultCombo()->setCurrentIndex(4);
  emit h.dialog->DefaultCombo()->activated(4);
  ShowAndActivate(*h.dialog);
  h.dialog->OkButton()->click();
  EXPECT_FALSE(h.dialog->isVisible());
  EXPECT_EQ(h.changedSignals, 1);
  EXPECT_TRUE(h.warnings.isEmpty());

  QList<Preset> loaded;
  int32_t loadedDefault = -1;
  LoadPresets(h.path, loaded, loadedDefault);
  EXPECT_EQ(loadedDefault, 4);
  EXPECT_EQ(loaded, h.presets);
  EXPECT_EQ(SavedNames(loaded), Q("P2,P1,P3,Fotos"));
}

TEST(PresetDialog, ClosingWithoutAChangeWritesNothing) {
  UseLanguage(kLanguageEnglish);
  DialogHarness h(Q("P1,P2"), 1);
  // Moving down and up again leaves the list as it was, but the default is now the working
  // preset: that is a change.
  h.Select(0);
  h.dialog->DownButton()->click();
  h.dialog->UpButton()->click();
  EXPECT_TRUE(h.dialog->Changed());
  h.dialog->DefaultCombo()->setCurrentIndex(1);
  emit h.dialog->DefaultCombo()->activated(1);
  EXPECT_FALSE(h.dialog->Changed());
  ShowAndActivate(*h.dialog);
  SendKey(h.dialog->List(), Qt::Key_Escape);
  EXPECT_FALSE(h.dialog->isVisible());
  EXPECT_EQ(h.changedSignals, 0);
  EXPECT_FALSE(PathExists(h.path.toStdString()));
}

TEST(PresetDialog, AFileThatCannotBeWrittenIsReported) {
  UseLanguage(kLanguageEnglish);
  TempDir dir;
  DialogHarness h(Q("P1"), 0, PresetDialog::Mode::kManage,
                  dir.Path() + QStringLiteral("missing/folder/Presets"));
  h.Select(0);
  h.answer = true;
  h.dialog->DeleteButton()->click();
  h.dialog->accept();
  EXPECT_EQ(h.warnings, QStringList{Q("The settings could not be saved.")});
  // The menus still follow the list in memory.
  EXPECT_EQ(h.changedSignals, 1);
}

TEST(PresetDialog, SaveAsNewModeAsksAtOnceAndCloses) {
  UseLanguage(kLanguageEnglish);
  DialogHarness h(Q("P1"), 0, PresetDialog::Mode::kSaveAsNew);
  h.typed = Q("Quick");
  ShowAndActivate(*h.dialog);
  QApplication::processEvents();
  EXPECT_EQ(h.nameAsks, 1);
  EXPECT_FALSE(h.dialog->isVisible());
  EXPECT_EQ(SavedNames(h.presets), Q("P1,Quick"));
  EXPECT_EQ(h.defaultIndex, 2);
  EXPECT_EQ(h.changedSignals, 1);

  // With nine presets nothing is asked, nothing added, and the dialog closes at once.
  DialogHarness full(Q("1,2,3,4,5,6,7,8,9"), 0, PresetDialog::Mode::kSaveAsNew);
  full.typed = Q("Ten");
  ShowAndActivate(*full.dialog);
  QApplication::processEvents();
  EXPECT_EQ(full.nameAsks, 0);
  EXPECT_FALSE(full.dialog->isVisible());
  EXPECT_EQ(full.presets.size(), 10);
  EXPECT_EQ(full.changedSignals, 0);
}

TEST(RunPresetDialog, SavesThePageSettingsOfTheProgramAndTellsTheWindow) {
  UseLanguage(kLanguageEnglish);
  AppState& app = App();
  const QList<Preset> previousList = app.PresetList;
  const int32_t previousDefault = app.DefaultPresetIndex;
  const QString previousFile = app.PresetsFile;
  const Preset previousWorking = app.WorkingSettings;
  TempDir dir;
  app.PresetList = MakePresets(Q("P1"));
  app.DefaultPresetIndex = 0;
  app.PresetsFile = dir.Path() + Q("Presets");

  PresetDialogHooks hooks;
  hooks.StorePageControls = [&app] { app.WorkingSettings.InsertText = Q("from the page"); };
  hooks.AskText = [](QWidget*, const QString&, const QString&) { return Q("Via menu"); };
  int rebuilds = 0;
  // The save-as-new mode closes by itself once the name is in: nothing blocks here.
  RunPresetDialog(nullptr, PresetDialog::Mode::kSaveAsNew, app, hooks, [&rebuilds] { ++rebuilds; });
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(app.DefaultPresetIndex, 2);
  ASSERT_EQ(app.PresetList.size(), 3);
  EXPECT_EQ(app.PresetList[2].InsertText, Q("from the page"));
  QList<Preset> loaded;
  int32_t loadedDefault = -1;
  LoadPresets(app.PresetsFile, loaded, loadedDefault);
  EXPECT_EQ(loaded, app.PresetList);
  EXPECT_EQ(loadedDefault, 2);

  app.PresetList = previousList;
  app.DefaultPresetIndex = previousDefault;
  app.PresetsFile = previousFile;
  app.WorkingSettings = previousWorking;
}

TEST(PresetDialog, TheDeleteKeyAsksLikeTheButton) {
  UseLanguage(kLanguageEnglish);
  DialogHarness h(Q("P1,P2"), 0);
  ShowAndActivate(*h.dialog);
  h.dialog->List()->setFocus();
  h.Select(1);
  h.answer = true;
  SendKey(h.dialog->List(), Qt::Key_Delete);
  EXPECT_EQ(h.questions, 1);
  EXPECT_EQ(h.lastQuestion, Q("Question|Delete the selected preset?"));
  EXPECT_EQ(SavedNames(h.presets), Q("P1"));
}

TEST(PresetDialog, ALongNameIsCutOffWithItsTooltip) {
  UseLanguage(kLanguageEnglish);
  const QString longName(200, QLatin1Char('x'));
  DialogHarness h(longName, 0);
  EXPECT_LE(h.dialog->List()->minimumWidth(), 360);
  EXPECT_EQ(h.dialog->List()->item(0)->toolTip(), Q("1)  ") + longName);
  EXPECT_EQ(h.dialog->List()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(PresetDialog, QuestionsAndTheNameBoxSpeakTheProgramsLanguage) {
  UseLanguage(kLanguageGerman);
  const std::unique_ptr<QMessageBox> question =
      MakeQuestionBox(nullptr, LanguageText(349), LanguageText(352));
  EXPECT_EQ(question->button(QMessageBox::Yes)->text(), Q("Ja"));
  EXPECT_EQ(question->button(QMessageBox::No)->text(), Q("Nein"));
  EXPECT_EQ(question->defaultButton(), question->button(QMessageBox::No));
  const std::unique_ptr<QInputDialog> box = MakeInputBox(nullptr, QString(), LanguageText(250));
  EXPECT_EQ(box->okButtonText(), Q("OK"));
  EXPECT_EQ(box->cancelButtonText(), Q("Abbrechen"));
  EXPECT_EQ(box->labelText(), Q("Name der neuen Voreinstellung:"));
}

TEST(PresetDialog, EveryControlIsAccessibleInBothLanguages) {
  for (const int language : {kLanguageEnglish, kLanguageGerman}) {
    UseLanguage(language);
    DialogHarness h(Q("P1,P2"), 0);
    ShowAndActivate(*h.dialog);
    EXPECT_EQ(h.dialog->windowTitle(), WithoutMnemonics(LanguageText(243)));
    ExpectAccessible(&*h.dialog);
    // The opening size is the smallest.
    EXPECT_EQ(h.dialog->minimumSize(), h.dialog->size());
  }
}

}  // namespace
