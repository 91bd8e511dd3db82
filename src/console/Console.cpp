#include "console/Console.h"

#include "app/AppState.h"
#include "app/ExitCode.h"
#include "console/ConsoleRun.h"
#include "console/ConsoleText.h"
#include "platform/FileName.h"

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

int RunConsole(AppState& app) {
  app.ConsoleAttached = true;
  ConsoleWriteLine();
  ConsoleWriteLine();
  WriteLines(BannerLines());

  int exitCode = kExitOk;
  if (app.Options.ShowHelp) {
    WriteLines(HelpLines());
    WaitIfOwnConsole();
  } else {
    exitCode = RunConsoleBatchMode(app);
  }
  WriteLines(ClosingLines());
  return exitCode;
}
