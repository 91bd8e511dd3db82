#pragma once

#include "records/Preset.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// The rules of the preset dialog over the preset list: position 0 is the working preset, which
// is never listed as a saved preset and never changed here; positions 1 to n are the saved
// presets, numbered 1 to n in list order. Rows of the dialog's list are saved presets: row r is
// position r + 1. QtCore only.
class PresetDialogModel {
 public:
  static constexpr int kMaxSaved = 9;

  PresetDialogModel(QList<Preset>& presets, int32_t& defaultIndex);

  int SavedCount() const { return static_cast<int>(presets_.size()) - 1; }
  QStringList ListRows() const;   // the saved presets
  QStringList ComboRows() const;  // every preset, the working preset first
  // "3)  Holiday photos": the number, ")  " and the name.
  static QString RowText(const Preset& preset);

  bool CanSaveNew() const { return SavedCount() < kMaxSaved; }
  bool CanDelete(int row) const { return row >= 0 && row < SavedCount(); }
  bool CanMoveUp(int row) const { return CanDelete(row) && row > 0; }
  bool CanMoveDown(int row) const { return CanDelete(row) && row < SavedCount() - 1; }

  // A typed name made fit for the presets file: line breaks become blanks, blanks around it go.
  static QString CleanName(const QString& typed);
  // The position of a preset with this name in any letter case, -1 when there is none.
  int FindName(const QString& name) const;
  // `name` + " 2", or " 3" and so on when that is taken too.
  QString FreeName(const QString& name) const;

  // Appends a saved preset with `settings` and `name`, makes it the default; returns its row.
  // Nothing happens (-1) when nine presets are saved already.
  int Add(const QString& name, const Preset& settings);
  // Copies `settings` into the saved preset at `position` (keeping its number and name) and
  // makes it the default; returns its row.
  int Replace(int position, const Preset& settings);
  // Removes the preset of `row`; the others are numbered again and the working preset becomes
  // the default.
  void Delete(int row);
  // Swaps the preset of `row` with its neighbour; returns the row it moved to. The working
  // preset becomes the default, since numbers now name other presets.
  int MoveUp(int row);
  int MoveDown(int row);
  // Puts the built-in presets in place of all saved ones; the default stays while it still
  // names a preset, else it becomes the working preset.
  void RestoreBuiltins();
  // The combo's choice: the default preset is the one at `position`.
  void SetDefault(int position);
  int32_t DefaultIndex() const { return defaultIndex_; }

 private:
  void Renumber();

  QList<Preset>& presets_;
  int32_t& defaultIndex_;
};
