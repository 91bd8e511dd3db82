#pragma once

#include <QString>

// The program's title from the product texts: the plain name, or its file-name form, with
// " " + version and " - " + suffix appended on request. Window and message captions, the
// console banner, the single-instance name and every file-name prefix are made from it.
// The plain title has no switch set, the error title only the suffix, the file-name title only
// the file-name form.
QString ProductTitle(bool withVersion, bool withSuffix, bool fileNameForm);

inline QString PlainTitle() {
  return ProductTitle(false, false, false);
}
inline QString ErrorTitle() {
  return ProductTitle(false, true, false);
}
inline QString FileNameTitle() {
  return ProductTitle(false, false, true);
}
