#pragma once

#include <functional>

struct AppState;
struct WindowDialogs;

// What the preset commands ask of the window.
struct PresetCommandHooks {
  std::function<void()> StorePages;  // the page controls into the working settings
  std::function<void()> FillPages;   // the working settings into the page controls
  // The window is built anew from the working settings, which the pages must not overwrite
  // (the "<" buttons came or went with the preset).
  std::function<void()> RebuildFromSettings;
};

// The commands of menu 3 and "Save preset": a preset of the list becomes the working settings,
// and the working settings are saved into the default preset.
class PresetCommands {
 public:
  PresetCommands(AppState& app, const WindowDialogs& dialogs, PresetCommandHooks hooks);

  // A key for a preset that does not exist, or one pressed while the commands are locked, does
  // nothing: it must not throw away the settings on the pages for the defaults.
  void ActivateAt(int position);
  // Stores the pages into the default preset and writes the presets file; a save that did not
  // reach the disk is said, so that the user does not rely on it.
  void Save();
  void SetLocked(bool locked) { locked_ = locked; }

 private:
  AppState& app_;
  const WindowDialogs& dialogs_;
  PresetCommandHooks hooks_;
  bool locked_ = false;
};
