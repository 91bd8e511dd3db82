#include "ui/presets/PresetCommands.h"

#include "app/AppState.h"
#include "app/Startup.h"
#include "settings/PresetsFile.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/WindowDialogs.h"

PresetCommands::PresetCommands(AppState& app, const WindowDialogs& dialogs,
                               PresetCommandHooks hooks)
    : app_(app), dialogs_(dialogs), hooks_(std::move(hooks)) {}

void PresetCommands::ActivateAt(int position) {
  if (locked_ || position < 0 || position >= app_.PresetList.size()) return;
  const int8_t templateButtons = app_.WorkingSettings.TemplateButtons;
  const int8_t patternButtons = app_.WorkingSettings.PatternButtons;
  const int32_t activated = ActivatePreset(position, app_.PresetList, app_.WorkingSettings);
  if (activated == kActivateFailed) {
    dialogs_.Fatal(InitializeFailureReason());
    return;
  }
  app_.ActivePresetIndex = activated;
  if (app_.WorkingSettings.TemplateButtons != templateButtons ||
      app_.WorkingSettings.PatternButtons != patternButtons) {
    hooks_.RebuildFromSettings();
    return;
  }
  hooks_.FillPages();
}

void PresetCommands::Save() {
  const int32_t position = app_.DefaultPresetIndex;
  if (position <= 0 || position >= app_.PresetList.size()) return;
  hooks_.StorePages();
  StorePreset(position, app_.PresetList, app_.WorkingSettings);
  if (!SavePresets(app_.PresetsFile, app_.PresetList, app_.DefaultPresetIndex))
    dialogs_.TellTitled(MessageIcon::kWarning, kTextWarning, LanguageText(kTextSettingsNotSaved));
}
