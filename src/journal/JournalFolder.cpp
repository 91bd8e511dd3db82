#include "journal/JournalFolder.h"

#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "platform/FileSystem.h"
#include "platform/Locations.h"
#include "platform/Process.h"
#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"

#include <fcntl.h>

#include <cerrno>

namespace {

const QString kSuffix = QStringLiteral(".journal");
constexpr int kDigits = 8;

// A journal's number from its file name, or 0 for a name that is no journal's.
uint32_t NumberOf(QStringView name) {
  if (name.size() != kDigits + kSuffix.size() || !name.endsWith(kSuffix)) return 0;
  uint64_t number = 0;
  for (const QChar c : name.left(kDigits)) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
    number = number * 10 + static_cast<uint64_t>(c.unicode() - u'0');
  }
  return number > UINT32_MAX ? 0 : static_cast<uint32_t>(number);
}

}  // namespace

QString JournalFolderPath(bool portable, const QString& portablePrefix) {
  if (portable)
    return portablePrefix.isEmpty() ? QString() : portablePrefix + QLatin1String("Journal/");
  const QString state = StateHomeFolder();
  const QString title = PlainTitle();
  // A title that would not name exactly one folder cannot hold the journals.
  if (state.isEmpty() || title.isEmpty() || title.contains(QLatin1Char('/')) ||
      title == QLatin1String(".") || title == QLatin1String(".."))
    return {};
  return state + title + QLatin1String("/journal/");
}

QString JournalTrustedFrom(const QString& folder) {
  const QString perUser = JournalFolderPath(false, {});
  if (!perUser.isEmpty() && folder == perUser)
    return folder.left(folder.lastIndexOf(QLatin1Char('/'), folder.size() - 2) + 1);
  return folder;
}

TrustCheck OpenJournalFolder(const QString& folder, bool create, PrivateFolder& opened) {
  if (folder.isEmpty()) return {ENOENT, TrustProblem::None, folder, 0};
  return opened.Open(JournalTrustedFrom(folder), folder, create);
}

TrustCheck ProbeJournalFolder(const QString& folder) {
  if (folder.isEmpty()) return {ENOENT, TrustProblem::None, folder, 0};
  return PrivateFolder::Probe(JournalTrustedFrom(folder), folder);
}

TrustCheck OpenJournal(const QString& path, bool writable, PrivateFolder& folder,
                       AppendFile& file) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return {ENOENT, TrustProblem::None, path, 0};
  if (const TrustCheck check = OpenJournalFolder(path.left(slash + 1), false, folder); !check.Ok())
    return check;
  return file.Open(folder, path.mid(slash + 1), writable);
}

QString TrustCheckText(const TrustCheck& check) {
  const QString path = EscapedFileName(check.Path);
  switch (check.Problem) {
    case TrustProblem::OtherOwner:
      return AdditionText(kAddTrustOtherOwner).arg(path, AccountName(check.Owner));
    case TrustProblem::WritableByOthers:
      return AdditionText(kAddTrustWritable).arg(path);
    case TrustProblem::NotAFile:
      return AdditionText(kAddTrustNotAFile).arg(path);
    case TrustProblem::NotAFolder:
      return AdditionText(kAddTrustNotAFolder).arg(path);
    case TrustProblem::None:
      break;
  }
  return path.isEmpty() ? SystemErrorText(check.Error)
                        : path + QStringLiteral(": ") + SystemErrorText(check.Error);
}

QString JournalFileName(uint32_t number) {
  return QStringLiteral("%1").arg(number, kDigits, 10, QLatin1Char('0')) + kSuffix;
}

std::vector<JournalFile> ListJournalFiles(const QString& folder, int* error) {
  std::vector<JournalFile> files;
  DirectoryReader reader;
  const int err =
      folder.isEmpty() ? ENOENT : reader.Open(AT_FDCWD, EncodeFileName(folder).constData());
  if (error != nullptr) *error = err;
  if (err != 0) return files;
  DirectoryReader::Item item;
  while (reader.Next(item)) {
    const QString name = DecodeFileName(item.Name);
    const uint32_t number = NumberOf(name);
    if (number != 0) files.push_back({number, folder + name});
  }
  std::sort(files.begin(), files.end(),
            [](const JournalFile& a, const JournalFile& b) { return a.Number < b.Number; });
  return files;
}

int PruneJournals(const PrivateFolder& folder, int keep) {
  const std::vector<JournalFile> files = ListJournalFiles(folder.Path());
  int removed = 0;
  for (size_t i = 0; i + static_cast<size_t>(keep) < files.size(); ++i) {
    const QString name = files[i].Path.mid(folder.Path().size());
    // An undo of that run in another session keeps it: it stays until a later run.
    AppendFile file;
    if (!file.Open(folder, name, false).Ok() || file.TryLock(AppendFile::LockKind::Exclusive) != 0)
      continue;
    if (folder.Remove(name) == 0) ++removed;
  }
  return removed;
}

int PruneJournals(const QString& folder, int keep) {
  PrivateFolder opened;
  if (!OpenJournalFolder(folder, false, opened).Ok()) return 0;
  return PruneJournals(opened, keep);
}

QStringList RemoveAllJournals(const QString& portablePrefix) {
  QStringList remaining;
  for (const bool portable : {false, true}) {
    // Without the program's folder the portable journals cannot be named; never guess a folder.
    if (portable && !portablePrefix.startsWith(QLatin1Char('/'))) continue;
    const QString folder = JournalFolderPath(portable, portablePrefix);
    if (folder.isEmpty()) continue;
    QStringList names;
    for (const JournalFile& file : ListJournalFiles(folder))
      names.append(file.Path.mid(folder.size()));
    if (RemoveNamedFilesAndEmptyFolder(folder, names) != 0) {
      remaining.append(folder);
      continue;
    }
    // The per-user journals live in a folder of the program's own below the state folder.
    if (!portable) RemoveDirectory(folder.left(folder.size() - 1).section(QLatin1Char('/'), 0, -2));
  }
  return remaining;
}
