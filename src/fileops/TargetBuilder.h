#pragma once

#include "records/FileEntry.h"
#include "naming/NameRules.h"
#include "naming/Placeholders.h"
#include "records/Preset.h"

#include <QString>

#include <cstdint>
#include <memory>

// Building a file's target (folder, name, extension) touches no file: the only disk access is
// the existence probe of the counter, which skips numbers that are taken (and which a caller
// may answer itself). The folder to create is handed back instead of created, so that a
// preview and a dry run can use the same code as the run itself.

// What the whole run shares, prepared once before the first file.
struct TargetPlan {
  bool NameBuildingActive = false;  // a name template or a name transformation is on
  bool TransformName = false;       // removing, inserting, case or replace rules are on
  QString NameTemplate;             // normalised, its counter group marked; "%FN%" by default
  int32_t CounterStart = 1;
  int32_t CounterWidth = 3;
  bool TargetDirActive = false;
  QString TargetDir;  // path placeholders resolved, "/" separators
  bool TargetRelativeToSource = false;
  QString CommonBase;  // with final "/"; empty: subfolders are not recreated
  // The target folder template has placeholders, so some of its folder names come from the
  // file's data and must be checked per file.
  bool TargetDirFromData = false;
  // The replace and extension rules compiled once; null when neither list is switched on and
  // nothing is transliterated.
  std::shared_ptr<const NameRules> Rules;
  // A built name is written in the composed Unicode form unless the task keeps the form.
  bool KeepNameForm = false;
};

// `preparedNameTemplate` and `preparedTargetDir` are the run's prepared templates (placeholder
// case normalised, path placeholders resolved); `commonBase` is the folder below which source
// subfolders are recreated in the target folder, empty for none.
TargetPlan PlanTargets(const Preset& settings, const QString& preparedNameTemplate,
                       const QString& preparedTargetDir, bool targetRelativeToSource,
                       const QString& commonBase);

struct Target {
  QString Directory;  // with final "/"
  QString Name;
  QString Extension;             // without the dot; may be empty
  QString Path;                  // Directory + Name (+ "." + Extension when there is one)
  bool CreateDirectory = false;  // Directory is a target folder the caller must create
  // A folder name or the file name made from the file's data is no usable name: empty, "." or
  // ".." (which would put the file elsewhere than the template says), a name whose part before
  // the extension is empty (which would hide the file), a file name that begins with "." where
  // the old one did not (which would hide it as well), or a file name longer than 255 bytes.
  bool InvalidName = false;
  CounterUse Counter;  // the counter number taken (Number -1 when none)
  // A regular expression of a replace or extension rule gave up on this file's name: no name is
  // made, and the file fails with that reason.
  bool MatchGaveUp = false;
};

// The longest file name the file systems take, in bytes.
inline constexpr qsizetype kMaxFileNameBytes = 255;

// The extension of a path's file name: the text after its last ".", empty when there is none
// or when the only dot opens the name (".profile" has no extension, as its base name says).
QString TargetExtension(const QString& fileName);

// Builds the target of one entry and takes its counter number from `counters`; `taken` answers
// the counter's probes (by default the disk).
Target BuildTarget(const FileEntry& entry, const Preset& settings, const TargetPlan& plan,
                   CounterMap& counters, const PathTaken& taken = {});
