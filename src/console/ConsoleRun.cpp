#include "console/ConsoleRun.h"

#include "checks/RunChecks.h"
#include "filelist/Loader.h"
#include "platform/FileName.h"
#include "platform/LocalTime.h"
#include "platform/Locations.h"
#include "platform/Process.h"
#include "run/ErrorLog.h"
#include "run/ExitCode.h"

#include <chrono>
#include <thread>

namespace {

// How long "Processed successfully" stays on screen before the program ends, when a person
// is reading.
constexpr std::chrono::milliseconds kSuccessPause{1500};

PathFolders TemplateFolders(const ConsoleContext& context) {
  PathFolders folders;
  folders.Desktop = context.DesktopFolder;
  folders.Documents = DocumentsFolder();
  folders.Program = context.ProgramFolder;
  return folders;
}

bool IsUtf8Continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `bytes[i]`, 0 when none starts there.
int Utf8SequenceLength(const QByteArray& bytes, qsizetype i) {
  const auto b = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = b(i);
  int length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  for (int k = 1; k < length; ++k) {
    if (!IsUtf8Continuation(b(i + k))) return 0;
    code = (code << 6) | (b(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  // Control characters that a reader might take for a line end stay escaped.
  if ((code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029) return 0;
  return length;
}

}  // namespace

QString EscapedForLine(const QString& path) {
  static const char kHex[] = "0123456789ABCDEF";
  const QByteArray bytes = EncodeFileName(path);
  QByteArray out;
  out.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += static_cast<char>(byte);
    } else if (const int length = byte >= 0x80 ? Utf8SequenceLength(bytes, i) : 0; length > 0) {
      out += bytes.mid(i, length);
      i += length;
      continue;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
    ++i;
  }
  return QString::fromUtf8(out);
}

ConsoleResult RunConsoleBatchMode(ConsoleContext& context) {
  const Preset& active = context.ActivePreset;
  ConsoleWriteLine(QStringLiteral("Preset: ") + QString::number(active.PresetNumber) +
                   QStringLiteral(" -> \"") + active.PresetName + QLatin1Char('"'));
  ConsoleWriteLine();

  const bool dryRun = context.Options.DryRun;
  RunRequest request{context.Files, context.FollowUp, context.Settings, context.Run, context.Load};
  // Relative paths name files below the caller's working directory, as a shell expands them.
  request.PathsToLoad = ResolveRelativePaths(context.Options.PendingPaths, context.StartFolder);
  request.Folders = TemplateFolders(context);
  request.DateFieldValue = NowAsLocalDate();

  // Nobody can answer a question here: existing targets are left, a full disk stops the run,
  // and nothing is kept for a later list.
  request.Policy.ReplaceMemory = kAnswerLeaveAll;
  request.Policy.KeepNothingForLater = true;
  request.Policy.DryRun = dryRun;

  request.Events.Loaded = [](qsizetype count) {
    if (count == 0) return;
    ConsoleWriteLine(QStringLiteral("Loaded files: ") + QString::number(count));
    ConsoleWriteLine();
  };
  const bool ignoreWarnings = context.Options.IgnoreWarnings;
  request.Events.Check = [&context, ignoreWarnings, dryRun](const RunValues& values) {
    const ConsoleCheckResult checks =
        CheckBeforeConsoleRun(context.Files, context.Settings, values, ignoreWarnings);
    for (const CheckProblem& problem : checks.Problems)
      ConsoleWrite(ConsoleProblemText(problem), false);
    if (checks.RunStarts && !dryRun) {
      ConsoleWriteLine();
      ConsoleWriteLine(QStringLiteral("Processing, please wait..."));
    }
    return checks.RunStarts;
  };
  if (dryRun) {
    // One line per entry, in list order: the status the run would give, the source and the
    // target, tab-separated.
    request.Events.Entries.EntryFinished = [](qsizetype, const FileEntry& entry,
                                              const EntryOutcome& outcome) {
      ConsoleWriteLine(QString::number(outcome.Status) + QLatin1Char('\t') +
                       EscapedForLine(entry.Path) + QLatin1Char('\t') +
                       EscapedForLine(outcome.NewPath));
    };
  }

  const RunResult run = RunProcedure(request);
  ConsoleResult result;
  if (run.Failure != RunFailure::None) {
    result.Failure = run.Failure;
    result.ExitCode = kExitFailed;
    return result;
  }
  if (!run.Started) {
    WaitIfOwnConsole();
    result.ExitCode = kExitChecksStopped;
    return result;
  }
  if (dryRun) {
    result.ExitCode = run.Succeeded ? kExitOk : kExitFailed;
    return result;
  }

  const bool quitAfterRun = context.Settings.QuitAfterRun != 0;
  ConsoleWriteLine();
  ConsoleWriteLine();
  if (quitAfterRun) {
    ConsoleWriteLine(QStringLiteral("Result: Finished"));
  } else if (run.Succeeded) {
    ConsoleWriteLine(QStringLiteral("Result: Processed successfully"));
    // A person at a terminal gets a moment to read it; a script goes on at once.
    if (StandardOutputIsTerminal()) std::this_thread::sleep_for(kSuccessPause);
  }

  if (!run.Succeeded && !quitAfterRun &&
      context.Run.QuitRequested.load(std::memory_order_relaxed) == 0) {
    ConsoleWriteLine(QStringLiteral("Result: Error(s) occured!"));
    if (run.Batch.StoppedByFullDisk)
      ConsoleWriteLine(QStringLiteral("The disk is full: ") + QString::number(run.Batch.Unreached) +
                       QStringLiteral(" file(s) not processed."));
    const QString logPath = WriteDefaultErrorLog(
        context.Files, context.ProgramFolder, context.SettingsFolder, run.Batch.StoppedByFullDisk);
    if (!logPath.isEmpty()) {
      ConsoleWriteLine(QStringLiteral("Take a look at \"Errorlog.txt\" for more information."));
      ConsoleWriteLine(logPath);
    } else {
      ConsoleWriteLine(QStringLiteral("\"Errorlog.txt\" couldn't be created."));
    }
    WaitIfOwnConsole();
  }
  result.ExitCode = run.Succeeded ? kExitOk : kExitFailed;
  return result;
}
