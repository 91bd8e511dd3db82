#include "platform/Process.h"

#include "platform/FileName.h"

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

QString ReadLink(const char* path) {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink(path, buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size())
      return DecodeFileName(std::string_view(buffer.data(), static_cast<size_t>(n)));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

QString WithFinalSlash(QString folder) {
  if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

QString EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return {};
  return DecodeFileName(std::string_view(value, std::strlen(value)));
}

QString ProgramFolderPath() {
  const QString exe = ReadLink("/proc/self/exe");
  const qsizetype slash = exe.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {};
  return exe.left(slash + 1);
}

QString CurrentFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr)
      return WithFinalSlash(
          DecodeFileName(std::string_view(buffer.data(), std::strlen(buffer.data()))));
    if (errno != ERANGE) return {};  // e.g. the directory was removed
    buffer.resize(buffer.size() * 2);
  }
}

bool SetCurrentFolder(const QString& folder) {
  return !folder.isEmpty() && ::chdir(EncodeFileName(folder).constData()) == 0;
}

void LowerThreadPriority() {
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 5);
}

mode_t ProcessUmask() {
  mode_t value = 07777;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      unsigned octal = 0;
      if (std::sscanf(line, "Umask: %o", &octal) == 1) {
        value = static_cast<mode_t>(octal & 0777);
        break;
      }
    }
    std::fclose(status);
  }
  return value;
}

bool StandardOutputIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

void KillThisProcess() {
  ::kill(::getpid(), SIGKILL);
  ::_exit(137);
}

void StopThisProcess() {
  ::kill(::getpid(), SIGSTOP);
}

QString AccountName(uint32_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_name == nullptr)
    return QString::number(uid);
  return DecodeFileName(std::string_view(found->pw_name, std::strlen(found->pw_name))) +
         QStringLiteral(", uid ") + QString::number(uid);
}

uint32_t ProcessId() {
  return static_cast<uint32_t>(::getpid());
}

QString SystemErrorText(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not live in the buffer.
  const char* text = ::strerror_r(error, buffer, sizeof buffer);
  return QString::fromLocal8Bit(text);
}
