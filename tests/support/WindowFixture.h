#pragma once

// A main window under test: the program's state with every file it writes in a temporary
// folder, and message boxes that record what they would have said instead of blocking.

#include "support/UiTestSupport.h"
#include "app/AppState.h"
#include "settings/BuiltinPresets.h"
#include "support/TempDir.h"
#include "ui/list/LoadedFiles.h"
#include "ui/presets/PresetCommands.h"
#include "ui/run/RunCommands.h"
#include "ui/run/RunController.h"
#include "ui/window/MainWindow.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

class WindowFixture : public testing::Test {
 protected:
  void SetUp() override {
    LoadUiResources();
    app_ = std::make_unique<AppState>();
    app_->LanguageIndex = kLanguageEnglish;
    app_->DesktopFolder = dir_.Path();
    app_->PreviewFolder = dir_.Path() + QStringLiteral("preview/");
    app_->LanguageFile = dir_.Path() + QStringLiteral("Language");
    app_->PresetsFile = dir_.Path() + QStringLiteral("Presets");
    app_->JournalFolder = dir_.Path() + QStringLiteral("journal/");
    app_->PresetList = {WorkingPreset()};
    app_->PresetList += BuiltinPresets();
    app_->WorkingSettings = app_->PresetList[0];
  }

  // Questions are answered with answer_; both they and the notices are recorded as
  // "title|text".
  WindowDialogs RecordingDialogs() {
    WindowDialogs dialogs;
    dialogs.Ask = [this](const QString& title, const QString& text) {
      questions_ << title + u'|' + text;
      return answer_;
    };
    dialogs.Tell = [this](MessageIcon, const QString& title, const QString& text) {
      notices_ << title + u'|' + text;
    };
    return dialogs;
  }

  // A run's waits for the eye are no part of a test.
  static RunTimings NoWaits() {
    RunTimings timings;
    timings.MinPreparation = timings.MinProcessing = timings.FinishedDisplay =
        std::chrono::milliseconds(0);
    return timings;
  }

  std::unique_ptr<AppState> app_;
  TempDir dir_;
  bool answer_ = true;
  QStringList questions_;
  QStringList notices_;
};
