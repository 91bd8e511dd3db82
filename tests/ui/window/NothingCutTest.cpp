// Every caption, button face, box, drop-down and column header of the main window (every page in
// turn) and of the windows it opens has at least the room it asks for: at the size the window
// opens at, at a wide size and at the smallest size the user can make, in both languages, with
// a light and a dark palette. ctest runs it once more at scale 2.

#include "records/RunFlags.h"
#include "run/RunProcedure.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "ui/list/FileListModel.h"
#include "ui/list/NewNamePreview.h"
#include "ui/presets/PresetDialog.h"
#include "ui/run/ProgressWindow.h"
#include "ui/run/PropertiesWindow.h"
#include "ui/run/ReplaceQuestion.h"
#include "ui/run/RunResultWindow.h"
#include "ui/widgets/CommandButton.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/AboutWindow.h"
#include "ui/window/MessageWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <memory>
#include <string>

namespace {

QString Describe(const QWidget* widget, const QString& text, const QSize& has, const QSize& needs) {
  return QStringLiteral("%1 \"%2\": %3x%4, needs %5x%6")
      .arg(QString::fromLatin1(widget->metaObject()->className()), text)
      .arg(has.width())
      .arg(has.height())
      .arg(needs.width())
      .arg(needs.height());
}

// The widgets under `root` that are shown smaller than their text needs.
QStringList CutWidgets(QWidget* root) {
  QStringList cut;
  const auto check = [&](QWidget* widget, const QString& text, const QSize& needs) {
    if (widget->width() < needs.width() || widget->height() < needs.height())
      cut << Describe(widget, text, widget->size(), needs);
  };
  for (QWidget* widget : root->findChildren<QWidget*>()) {
    if (!widget->isVisible()) continue;
    // Shortened on purpose, with the whole text as its tooltip (a path in a progress window).
    if (qobject_cast<ElidedLabel*>(widget) != nullptr) continue;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      if (label->text().isEmpty()) continue;
      if (label->wordWrap()) {
        // A wrapped text needs its longest word across and all its lines down.
        check(label, label->text().left(40),
              {label->minimumSizeHint().width(), label->heightForWidth(label->width())});
      } else {
        check(label, label->text(), label->sizeHint());
      }
    } else if (auto* command = qobject_cast<CommandButton*>(widget)) {
      // Wraps its caption: never so narrow that a word is cut.
      check(command, command->text(), command->minimumSizeHint());
    } else if (auto* push = qobject_cast<QPushButton*>(widget)) {
      // The style makes a face with words at least 80 wide; a small one ("...", "?") only
      // needs room for its caption.
      if (push->text().isEmpty()) continue;
      const int margins = 2 * (push->style()->pixelMetric(QStyle::PM_ButtonMargin) +
                               push->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
      const int caption = push->fontMetrics().horizontalAdvance(WithoutMnemonics(push->text()));
      check(push, push->text(),
            {std::min(caption + margins, push->sizeHint().width()), push->sizeHint().height()});
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      if (!button->text().isEmpty()) check(button, button->text(), button->sizeHint());
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      if (!combo->isEditable()) check(combo, combo->currentText(), combo->sizeHint());
    } else if (auto* header = qobject_cast<QHeaderView*>(widget)) {
      if (header->orientation() != Qt::Horizontal || header->model() == nullptr) continue;
      for (int section = 0; section < header->count(); ++section) {
        if (header->isSectionHidden(section)) continue;
        const int has = header->sectionSize(section);
        const int needs = header->sectionSizeHint(section);
        if (has < needs)
          cut << Describe(header, header->model()->headerData(section, Qt::Horizontal).toString(),
                          {has, header->height()}, {needs, header->height()});
      }
    }
  }
  return cut;
}

QPalette DarkPalette() {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  dark.setColor(QPalette::Button, QColor(55, 55, 58));
  dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
  return dark;
}

class NothingCutTest : public WindowFixture {
 protected:
  void TearDown() override {
    QApplication::setPalette(QApplication::style()->standardPalette());
    LoadUiResources(kLanguageEnglish);
  }

  // Each language with each palette; `body` gets a text naming the combination.
  template <typename Body>
  void ForEachLook(Body body) {
    for (const int language : {kLanguageGerman, kLanguageEnglish}) {
      for (const bool dark : {false, true}) {
        LoadUiResources(language);
        app_->LanguageIndex = language;
        QApplication::setPalette(dark ? DarkPalette() : QApplication::style()->standardPalette());
        body(std::string(language == kLanguageGerman ? "German" : "English") +
             (dark ? ", dark" : ", light"));
      }
    }
  }

  static void ExpectNothingCut(QWidget* root, const std::string& where) {
    const QStringList cut = CutWidgets(root);
    EXPECT_TRUE(cut.isEmpty()) << where << ":\n  "
                               << cut.join(QStringLiteral("\n  ")).toStdString();
  }
};

// The walk finds a squeezed caption, a squeezed wrapped text and a narrow column.
TEST_F(NothingCutTest, TheWalkFindsWhatIsCut) {
  QWidget root;
  auto* box = new QCheckBox(QStringLiteral("A caption far too long for its box"), &root);
  box->setGeometry(0, 0, 40, box->sizeHint().height());
  auto* text = new QLabel(QStringLiteral("Several words that need more than one line here"), &root);
  text->setWordWrap(true);
  text->setGeometry(0, 40, 120, text->fontMetrics().height());
  auto* fits = new QPushButton(QStringLiteral("OK"), &root);
  fits->setGeometry(0, 80, fits->sizeHint().width(), fits->sizeHint().height());
  root.resize(400, 200);
  root.show();
  ProcessEvents();
  const QStringList cut = CutWidgets(&root);
  ASSERT_EQ(cut.size(), 2) << cut.join(u'\n').toStdString();
  EXPECT_TRUE(cut[0].startsWith(QStringLiteral("QCheckBox"))) << cut[0].toStdString();
  EXPECT_TRUE(cut[1].startsWith(QStringLiteral("QLabel"))) << cut[1].toStdString();
}

TEST_F(NothingCutTest, MainWindowEveryPageAtEverySize) {
  TempDir photos;
  for (const char* name : {"IMG_0087.jpg", "IMG_0088.jpg", "Beach & sunset.png", "notes.txt",
                           "2011/IMG_0087.jpg", "2011/Trip report.pdf"})
    photos.WriteFile(name, "x");
  ForEachLook([&](const std::string& look) {
    // Every page's switch on, and a target folder, so that every control and column shows.
    app_->WorkingSettings = PresetOffDefaults();
    app_->WorkingSettings.TargetDirActive = 1;
    app_->Files.Clear();
    MainWindow window(*app_);
    window.SetDialogs(RecordingDialogs());
    window.RestoreShape(dir_.Path() + QStringLiteral("Window.ini"));
    window.show();
    ASSERT_TRUE(window.LoadPaths(photos.Path()));
    ASSERT_TRUE(ProcessUntil([&] {
      return !window.Files()->LoadBusy() && window.Files()->NewNames()->Idle() &&
             window.Files()->Model()->Plan() != nullptr;
    }));
    const QSize opening = window.size();
    for (const auto& [sizeName, size] :
         {std::pair{"opening", opening}, std::pair{"wide", QSize(1600, 1000)},
          std::pair{"smallest", QSize(1, 1)}}) {
      window.resize(size);
      ProcessEvents();
      EXPECT_GE(window.centralWidget()->width(), 520) << look;
      EXPECT_GE(window.centralWidget()->height(), 400) << look;
      for (int page = 0; page < kPageCount; ++page) {
        window.ShowPage(page);
        ProcessEvents();
        ExpectNothingCut(&window, look + ", " + sizeName + " size, page " + std::to_string(page));
      }
    }
  });
}

TEST_F(NothingCutTest, TheWindowsOfARunAndOfTheMenus) {
  TempDir files;
  const QString photo = QString::fromStdString(files.WriteFile("IMG_0087 & friends.jpg", "x"));
  ForEachLook([&](const std::string& look) {
    RunFlags flags;
    ProgressWindow progress(flags, {}, {100000, -1});
    progress.show();
    for (const int32_t phase : {kPhasePreparing, kPhaseProcessing, kPhaseFinished}) {
      progress.SetPhaseEntries(phase, 412);
      flags.RunPhase.store(phase);
      progress.Update();
      ProcessEvents();
      ExpectNothingCut(&progress, look + ", progress window, phase " + std::to_string(phase));
    }
    progress.Dismiss();

    ReplaceQuestion question(photo, 0);
    question.show();
    ProcessEvents();
    ExpectNothingCut(&question, look + ", replace question");
    question.close();

    RunResultWindow result(
        {{kStatusTargetExists, false, photo, files.Path() + QStringLiteral("x.jpg")},
         {kStatusNotProcessed, true, photo, QString()}},
        {});
    result.show();
    ProcessEvents();
    ExpectNothingCut(&result, look + ", result window");
    result.ShowExplanation();
    ProcessEvents();
    if (result.Explanation() != nullptr) {
      ExpectNothingCut(result.Explanation(), look + ", result explanation");
      result.Explanation()->accept();
    }
    result.accept();

    PropertiesWindow properties(photo);
    properties.show();
    ProcessEvents();
    ExpectNothingCut(&properties, look + ", properties window");
    properties.accept();

    MessageWindow about(AboutRequest(nullptr));
    about.show();
    ProcessEvents();
    ExpectNothingCut(&about, look + ", about window");
    about.accept();

    int32_t defaultIndex = 1;
    PresetDialog presets(nullptr, PresetDialog::Mode::kManage, app_->PresetList, defaultIndex,
                         app_->WorkingSettings, app_->PresetsFile, {});
    presets.show();
    ProcessEvents();
    ExpectNothingCut(&presets, look + ", preset dialog");
    presets.reject();
  });
}

}  // namespace
