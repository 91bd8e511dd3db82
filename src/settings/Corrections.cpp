#include "settings/Corrections.h"

namespace {

constexpr int32_t kOn = kItemChecked;
constexpr int32_t kOff = 0;

}  // namespace

QList<ExtensionCorrection> ExtensionCorrectionTable() {
  return {
      {kOn, QStringLiteral("asc|log|lst|nfo|readme|text|utxt|utf8|wtx"), QStringLiteral("txt")},
      {kOn, QStringLiteral("jif|jiff|jpe|jpeg|jps"), QStringLiteral("jpg")},
      {kOn, QStringLiteral("j2k|jpf|jpx"), QStringLiteral("jp2")},
      {kOn, QStringLiteral("htm|xhtm|xhtml"), QStringLiteral("html")},
      // The numbered parts of a split archive; off because r## also names other formats.
      {kOff, QStringLiteral("r##"), QStringLiteral("rar")},
  };
}

QList<TextReplacement> NameCorrectionTable() {
  return {
      // Articles and conjunctions with their following blank. Off by default: the patterns
      // also match at the end of longer words ("bathe tub" loses its "the ").
      {kOff, QStringLiteral("the |and |der |die |das |und |ein |eine "), QString()},
      {kOn, QStringLiteral("~|'|$|^|§|%|=|`|´|°"), QString()},
      {kOn, QStringLiteral(".| |_|!|&|@|+|;|,"), QStringLiteral("-")},
      // Runs of separators from the row above collapse again; the longer run goes first.
      {kOn, QStringLiteral("---|--"), QStringLiteral("-")},
      {kOn, QStringLiteral("à|á|â|ã|å"), QStringLiteral("a")},
      {kOn, QStringLiteral("ä|æ"), QStringLiteral("ae")},
      {kOn, QStringLiteral("ç"), QStringLiteral("c")},
      {kOn, QStringLiteral("è|é|ê|ë"), QStringLiteral("e")},
      {kOn, QStringLiteral("ì|í|î|ï"), QStringLiteral("i")},
      {kOn, QStringLiteral("ñ"), QStringLiteral("n")},
      {kOn, QStringLiteral("ò|ó|ô|õ|ø"), QStringLiteral("o")},
      {kOn, QStringLiteral("ö"), QStringLiteral("oe")},
      {kOn, QStringLiteral("ß"), QStringLiteral("ss")},
      {kOn, QStringLiteral("ù|ú|û"), QStringLiteral("u")},
      {kOn, QStringLiteral("ü"), QStringLiteral("ue")},
      {kOn, QStringLiteral("ý|ÿ"), QStringLiteral("y")},
  };
}
