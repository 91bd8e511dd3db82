#include "ui/presets/PresetDialogModel.h"

#include "settings/BuiltinPresets.h"
#include "settings/PresetsFile.h"

PresetDialogModel::PresetDialogModel(QList<Preset>& presets, int32_t& defaultIndex)
    : presets_(presets), defaultIndex_(defaultIndex) {
  // Position 0 is always there once presets are loaded; a list without it would shift every row.
  if (presets_.isEmpty()) presets_.append(WorkingPreset());
}

QString PresetDialogModel::RowText(const Preset& preset) {
  return QString::number(preset.PresetNumber) + QLatin1String(")  ") + preset.PresetName;
}

QStringList PresetDialogModel::ListRows() const {
  QStringList rows;
  for (qsizetype i = 1; i < presets_.size(); ++i) rows << RowText(presets_[i]);
  return rows;
}

QStringList PresetDialogModel::ComboRows() const {
  QStringList rows;
  for (const Preset& preset : presets_) rows << RowText(preset);
  return rows;
}

QString PresetDialogModel::CleanName(const QString& typed) {
  QString name = typed;
  // The presets file ends every text at a line end.
  for (QChar& c : name) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
  }
  return name.trimmed();
}

int PresetDialogModel::FindName(const QString& name) const {
  for (qsizetype i = 0; i < presets_.size(); ++i) {
    if (presets_[i].PresetName.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
  }
  return -1;
}

QString PresetDialogModel::FreeName(const QString& name) const {
  for (int n = 2;; ++n) {
    const QString candidate = name + QLatin1Char(' ') + QString::number(n);
    if (FindName(candidate) < 0) return candidate;
  }
}

int PresetDialogModel::Add(const QString& name, const Preset& settings) {
  if (!CanSaveNew()) return -1;
  Preset preset;
  preset.PresetName = name;
  presets_.append(preset);
  Renumber();
  const int position = static_cast<int>(presets_.size()) - 1;
  StorePreset(position, presets_, settings);
  defaultIndex_ = position;
  return position - 1;
}

int PresetDialogModel::Replace(int position, const Preset& settings) {
  if (position < 1 || position >= presets_.size()) return -1;
  StorePreset(position, presets_, settings);
  defaultIndex_ = position;
  return position - 1;
}

void PresetDialogModel::Delete(int row) {
  if (!CanDelete(row)) return;
  presets_.removeAt(row + 1);
  Renumber();
  defaultIndex_ = 0;
}

int PresetDialogModel::MoveUp(int row) {
  if (!CanMoveUp(row)) return row;
  presets_.swapItemsAt(row + 1, row);
  Renumber();
  defaultIndex_ = 0;
  return row - 1;
}

int PresetDialogModel::MoveDown(int row) {
  if (!CanMoveDown(row)) return row;
  presets_.swapItemsAt(row + 1, row + 2);
  Renumber();
  defaultIndex_ = 0;
  return row + 1;
}

void PresetDialogModel::RestoreBuiltins() {
  // The working preset stays as it is: only saved presets are replaced.
  presets_.resize(1);
  presets_.append(BuiltinPresets());
  Renumber();
  if (defaultIndex_ < 0 || defaultIndex_ >= presets_.size()) defaultIndex_ = 0;
}

void PresetDialogModel::SetDefault(int position) {
  if (position >= 0 && position < presets_.size()) defaultIndex_ = position;
}

void PresetDialogModel::Renumber() {
  for (qsizetype i = 1; i < presets_.size(); ++i) presets_[i].PresetNumber = static_cast<int8_t>(i);
}
