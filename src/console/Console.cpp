#include "console/Console.h"

#include "console/ConsoleRun.h"
#include "console/ConsoleText.h"
#include "console/ConsoleUndo.h"
#include "platform/FileName.h"
#include "run/ExitCode.h"

#include <QMutex>

#include <cstdio>

namespace {

QMutex& OutputLock() {
  static QMutex lock;
  return lock;
}

void WriteLines(const QStringList& lines) {
  for (const QString& line : lines) ConsoleWriteLine(line);
}

}  // namespace

void ConsoleWrite(const QString& text, bool lineEnd) {
  QByteArray bytes = EncodeFileName(text);
  if (lineEnd) bytes += '\n';
  const QMutexLocker locker(&OutputLock());
  // A closed or broken standard output must not stop a run: the write just fails.
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
  std::fflush(stdout);
}

void WaitIfOwnConsole() {}

ConsoleResult RunConsole(ConsoleContext& context) {
  ConsoleWriteLine();
  ConsoleWriteLine();
  WriteLines(BannerLines());

  ConsoleResult result;
  if (context.Options.ShowHelp) {
    WriteLines(HelpLines());
    WaitIfOwnConsole();
  } else if (context.Options.ListRuns) {
    result = RunConsoleListRuns(context);
  } else if (context.Options.Undo) {
    result = RunConsoleUndo(context);
  } else {
    result = RunConsoleBatchMode(context);
    // A fatal end prints no closing lines: the fatal message is the last word.
    if (result.Failure != RunFailure::None) return result;
  }
  WriteLines(ClosingLines());
  return result;
}
