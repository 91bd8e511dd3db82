#include "platform/Messages.h"

#include "platform/FileName.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<MessageBoxHandler> boxHandler{nullptr};

bool NonEmptyEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

void WriteLine(std::FILE* stream, QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text += QLatin1Char('\n');
  const QByteArray bytes = EncodeFileName(text);
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
  std::fflush(stream);
}

}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
  boxHandler.store(handler);
}

bool DisplayAvailable() {
  return NonEmptyEnvironment("DISPLAY") || NonEmptyEnvironment("WAYLAND_DISPLAY");
}

void ShowStartupMessage(const QString& caption, const QString& text, MessageIcon icon,
                        bool consoleMode) {
  const MessageBoxHandler handler = boxHandler.load();
  if (handler != nullptr && !consoleMode && DisplayAvailable() && handler(caption, text, icon))
    return;
  // Notices too: standard output belongs to what a console run reports.
  WriteStandardError(text);
}

void WriteStandardError(const QString& text) {
  WriteLine(stderr, text);
}
void WriteStandardOutput(const QString& text) {
  WriteLine(stdout, text);
}
