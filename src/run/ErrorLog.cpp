#include "run/ErrorLog.h"

#include "app/ProductTitle.h"
#include "platform/FileName.h"
#include "texts/TextTables.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace {

constexpr char kLineEnd[] = "\r\n";
const QString kSeparator = QStringLiteral("----------------");

// Failure kinds in legend order, with the entries of their name and explanation.
struct FailureKind {
  int Status;
  int NameEntry;
  int ExplanationEntry;
};
constexpr std::array<FailureKind, 6> kFailureKinds{{
    {2, 328, 329},
    {3, 330, 331},
    {4, 332, 333},
    {5, 334, 335},
    {6, 336, 337},
    {8, 338, 339},
}};

const QString& Lang(int entry) {
  return LanguageTable[static_cast<size_t>(entry)];
}
const QString& Product(int entry) {
  return ProductTexts[static_cast<size_t>(entry)];
}

void AddLine(QByteArray& out, const QString& text) {
  out += text.toUtf8();
  out += kLineEnd;
}

// Paths go out as the file system's own bytes: the same as UTF-8 for every valid name, and
// for a name that is not UTF-8 the bytes that find the file again.
void AddPathLine(QByteArray& out, const QString& label, const QString& path) {
  out += (label + QStringLiteral(": ")).toUtf8();
  out += EncodeFileName(path);
  out += kLineEnd;
}

bool IsFailed(const FileEntry& entry) {
  return entry.Status != kStatusNotProcessed && entry.Status != kStatusDone;
}

// Writes all of `data` to `fd`; false on any short or failed write.
bool WriteAll(int fd, const QByteArray& data) {
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

QByteArray BuildErrorLog(const FileList& list) {
  QByteArray out("\xEF\xBB\xBF");

  const QString title = ErrorTitle();
  AddLine(out, title);
  AddLine(out, QString(title.size(), QLatin1Char('*')));
  AddLine(out, Product(13));
  AddLine(out, Product(14));
  AddLine(out, {});
  AddLine(out, {});
  AddLine(out, {});
  AddLine(out, kSeparator);
  AddLine(out, {});

  std::array<bool, kFailureKinds.size()> occurred{};
  bool anyFailed = false;
  for (const FileEntry& entry : list) {
    if (!IsFailed(entry)) continue;
    anyFailed = true;
    QString failureName;  // a status without a kind of its own is listed with an empty name
    for (size_t k = 0; k < kFailureKinds.size(); ++k) {
      if (kFailureKinds[k].Status != entry.Status) continue;
      occurred[k] = true;
      failureName = Lang(kFailureKinds[k].NameEntry);
    }
    AddPathLine(out, Lang(324), entry.Path);
    AddPathLine(out, Lang(325), entry.NewPath);
    AddLine(out, Lang(326) + QStringLiteral(": ") + failureName);
    AddLine(out, {});
  }
  AddLine(out, kSeparator);
  AddLine(out, {});

  if (anyFailed) {
    AddLine(out, {});
    AddLine(out, Lang(327));
    for (size_t k = 0; k < kFailureKinds.size(); ++k) {
      if (!occurred[k]) continue;
      AddLine(out, Lang(kFailureKinds[k].NameEntry));
      AddLine(out, Lang(kFailureKinds[k].ExplanationEntry));
      AddLine(out, {});
    }
  }
  return out;
}

int WriteErrorLog(const QString& path, const FileList& list) {
  if (path.isEmpty()) return 0;
  const QByteArray target = EncodeFileName(path);
  // Written into a fresh file beside the target and renamed over it, so that a report cut
  // short (a full disk) is never taken for a complete one and never replaces an earlier one.
  QByteArray temp = target + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return 0;
  ::fchmod(fd, 0644);
  const bool written = WriteAll(fd, BuildErrorLog(list));
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.constData(), target.constData()) != 0) {
    ::unlink(temp.constData());
    return 0;
  }
  return 1;
}

QString ErrorLogFileName() {
  return Product(2) + QStringLiteral("_Errorlog.txt");
}

QString WriteDefaultErrorLog(const FileList& list, const QString& programFolder,
                             const QString& settingsFolder) {
  for (const QString& folder : {programFolder, settingsFolder}) {
    if (folder.isEmpty()) continue;
    const QString path = folder + ErrorLogFileName();
    if (WriteErrorLog(path, list) == 1) return path;
  }
  return {};
}
