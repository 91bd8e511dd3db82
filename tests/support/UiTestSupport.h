#pragma once

#include "app/ImageStore.h"
#include "settings/BuiltinPresets.h"
#include "records/Preset.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <ostream>

// The real texts and pictures, as the program carries them; English unless a test switches.
inline void LoadUiResources(int language = kLanguageEnglish) {
  ASSERT_TRUE(LoadProductTexts());
  ASSERT_TRUE(LoadLanguageTable(language));
  ASSERT_TRUE(DecodeEmbeddedImages());
}

// Lets queued events and deferred deletions run.
inline void ProcessEvents(int rounds = 3) {
  for (int i = 0; i < rounds; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

// Waits until `done` holds, processing events; false after `timeoutMs`.
template <typename Done>
bool ProcessUntil(Done done, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A preset with every setting away from its default (and rules in every list), for
// round trips through the pages.
inline Preset PresetOffDefaults() {
  Preset p = WorkingPreset();
  p.SelectedPage = 7;
  p.FilterActive = 1;
  p.FilterConditions = {{kItemChecked, 9, 2, QStringLiteral("2011"), 1},
                        {kItemSelected, 2, 5, QStringLiteral("jpg|png"), 2},
                        {0, 3, 3, QStringLiteral("500"), 1}};
  p.ChangeDates = 1;
  p.DateMode = 1;
  p.FixedDate = 1300000000;
  p.DateCopySource = 2;
  p.DateRulesActive = 1;
  p.DateAdjustments = {{kItemChecked | kItemSelected, 17, 0, 2005}, {0, 2, 2, 3}};
  p.HiddenChange = 1;
  p.HiddenClear = 1;
  p.ReadOnlyChange = 1;
  p.ArchiveChange = 1;
  p.ArchiveClear = 1;
  p.NotIndexedChange = 1;
  p.RemoveActive = 1;
  p.RemoveFromEnd = 1;
  p.RemovePosition = 7;
  p.RemoveCount = 999;
  p.InsertActive = 1;
  p.InsertFromEnd = 1;
  p.InsertPosition = 12;
  p.InsertText = QStringLiteral(" - %DY%");
  p.CaseActive = 1;
  p.CaseMode = 5;
  p.ReplaceActive = 1;
  p.TextReplacements = {{kItemChecked, QStringLiteral("IMG_|DSC_"), QStringLiteral("Photo ")},
                        {0, QStringLiteral("  "), QString()}};
  p.ExtCaseActive = 1;
  p.ExtCaseMode = 1;
  p.ExtRulesActive = 1;
  p.ExtensionCorrections = {{kItemChecked, QStringLiteral("jpeg|jpe"), QStringLiteral("jpg")}};
  p.SortActive = 1;
  p.SortKey = 6;
  p.SortDirection = 0;
  p.RemoveZoneMark = 1;
  p.NameTemplateActive = 1;
  p.NameTemplate = QStringLiteral("%DY%-%DM% %FN% [%01%]");
  p.CounterPerDirectory = 0;
  p.NoLeadingZeros = 1;
  p.TargetDirActive = 0;
  p.TargetDirTemplate = QStringLiteral("%PF%sorted\\");
  p.KeepSubfolders = 1;
  p.TargetMove = 1;
  return p;
}

// Readable failures for presets.
inline void PrintTo(const Preset& p, std::ostream* out) {
  *out << "Preset " << static_cast<int>(p.PresetNumber) << " \"" << p.PresetName.toStdString()
       << "\"";
}
