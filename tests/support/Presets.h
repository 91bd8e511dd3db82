#pragma once

#include "records/Preset.h"

#include <QString>

// Settings that rename in place with a name template.
inline Preset InPlace(const char* nameTemplate) {
  Preset s;
  s.TargetDirActive = 0;
  s.NameTemplateActive = 1;
  s.NameTemplate = QString::fromUtf8(nameTemplate);
  return s;
}

// Copies (or with `move` moves) into `folder`.
inline void Into(Preset& s, const QString& folder, bool move) {
  s.TargetDirActive = 1;
  s.TargetMove = move;
  s.TargetDirTemplate = folder;
}
