#include "cli/CommandLine.h"

#include "platform/FileName.h"

#include <cstring>

namespace {

// Per-unit lower case: length-preserving, unlike QString::toLower().
QString LowerUnits(const QString& text) {
  QString lower = text;
  for (QChar& c : lower) c = c.toLower();
  return lower;
}

void AppendPath(StartupOptions& options, QString path) {
  if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
    options.RejectedPaths.append(path);
    return;
  }
  // A "\" is an ordinary character of a Linux file name: a downloaded file may well be called
  // "\home\ana\secret.txt", and reading it as "/" would name another file.
  options.PendingPaths += path;
  options.PendingPaths += QLatin1Char('\n');
}

// N of "--undo=N" (decimal digits only, at most nine); 0 for anything else.
int64_t UndoRunNumber(const QString& lower) {
  static const QString kPrefix = QStringLiteral("--undo=");
  if (!lower.startsWith(kPrefix)) return 0;
  const QStringView digits = QStringView(lower).mid(kPrefix.size());
  if (digits.isEmpty() || digits.size() > 9) return 0;
  int64_t number = 0;
  for (const QChar c : digits) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
    number = number * 10 + (c.unicode() - u'0');
  }
  return number;
}

}  // namespace

StartupOptions ParseCommandLine(const QStringList& args) {
  static const QString kPresetPrefix = QStringLiteral("-preset=");
  StartupOptions options;
  bool onlyPaths = false;
  for (const QString& arg : args) {
    if (arg.isEmpty()) continue;
    if (onlyPaths || arg.front() != QLatin1Char('-')) {
      AppendPath(options, arg);
      continue;
    }
    const QString lower = LowerUnits(arg);
    if (lower == QLatin1String("-console")) {
      options.ConsoleMode = true;
    } else if (lower == QLatin1String("-help") || lower == QLatin1String("-?") ||
               lower == QLatin1String("--help") || lower == QLatin1String("-h")) {
      options.ShowHelp = true;
      options.Portable = true;
    } else if (lower == QLatin1String("-ignorewarning")) {
      options.IgnoreWarnings = true;
    } else if (lower == QLatin1String("-portable")) {
      options.Portable = true;
    } else if (lower == QLatin1String("-uninstall")) {
      options.Uninstall = true;
    } else if (lower == QLatin1String("--version")) {
      options.ShowVersion = true;
    } else if (lower == QLatin1String("--dry-run")) {
      options.DryRun = true;
    } else if (lower == QLatin1String("--undo")) {
      options.Undo = true;
      options.UndoRun = 0;
    } else if (lower.startsWith(QLatin1String("--undo="))) {
      // Run numbers start at 1; anything else names no run, and guessing one could take back
      // the wrong run (or, ignored, start a run instead).
      const int64_t run = UndoRunNumber(lower);
      if (run > 0) {
        options.Undo = true;
        options.UndoRun = run;
      } else {
        // Not an option as given: reported like any unknown one, and it stops the start.
        options.UnknownOptions.append(arg);
        options.InvalidOptions.append(arg);
      }
    } else if (lower == QLatin1String("--list-runs")) {
      options.ListRuns = true;
    } else if (lower == QLatin1String("--")) {
      onlyPaths = true;
    } else if (lower.size() == kPresetPrefix.size() + 1 && lower.startsWith(kPresetPrefix)) {
      const QChar digit = arg.back();
      options.PresetIndex =
          (digit >= QLatin1Char('0') && digit <= QLatin1Char('9')) ? digit.unicode() - u'0' : 0;
    } else {
      // Ignored as before, but never silently: "-draft.txt" from a shell glob is a file the
      // user meant to load, and "-Preset=12" a preset that does not exist.
      options.UnknownOptions.append(arg);
    }
  }
  return options;
}

QStringList DecodeArguments(int argc, const char* const* argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args.append(DecodeFileName(std::string_view(argv[i], std::strlen(argv[i]))));
  return args;
}

QString MakePathsAbsolute(const QString& pendingPaths, const QString& baseFolder) {
  if (pendingPaths.isEmpty() || baseFolder.isEmpty()) return pendingPaths;
  QString result;
  result.reserve(pendingPaths.size());
  qsizetype start = 0;
  while (start < pendingPaths.size()) {
    qsizetype end = pendingPaths.indexOf(QLatin1Char('\n'), start);
    if (end < 0) end = pendingPaths.size();
    QString path = pendingPaths.mid(start, end - start);
    if (!path.isEmpty() && !path.startsWith(QLatin1Char('/'))) {
      while (path.startsWith(QLatin1String("./"))) {
        path.remove(0, 2);
        while (path.startsWith(QLatin1Char('/'))) path.remove(0, 1);
      }
      if (path == QLatin1String(".")) path.clear();
      path.prepend(baseFolder);
      // "." or "./" named the base folder itself: no final "/" for a folder given by name.
      if (path.size() > 1 && path == baseFolder) path.chop(1);
    }
    result += path;
    if (end < pendingPaths.size()) result += QLatin1Char('\n');
    start = end + 1;
  }
  return result;
}

QString DropRelativePaths(const QString& pendingPaths, QStringList& dropped) {
  QString result;
  for (const QStringView path : QStringView(pendingPaths).split(QLatin1Char('\n'))) {
    if (path.isEmpty()) continue;
    if (path.startsWith(QLatin1Char('/'))) {
      result += path;
      result += QLatin1Char('\n');
    } else {
      dropped.append(path.toString());
    }
  }
  return result;
}
