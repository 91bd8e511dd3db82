#include "run/ErrorLog.h"

#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/Locations.h"
#include "settings/Locations.h"
#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <array>
#include <cerrno>

namespace {

constexpr char kLineEnd[] = "\r\n";
const QString kSeparator = QStringLiteral("----------------");

// Language-table entries of the log's labels.
constexpr int kEntrySourceLabel = 324;
constexpr int kEntryTargetLabel = 325;
constexpr int kEntryFailureLabel = 326;
constexpr int kEntryLegendTitle = 327;

// Failure kinds in legend order, with the texts of their name and explanation: language-table
// entries, or, for Mervane's own kinds, entries of the additions table.
struct FailureKind {
  int Status;
  int NameEntry;
  int ExplanationEntry;
  bool Addition;
  QString Name() const { return Addition ? AdditionText(NameEntry) : LanguageText(NameEntry); }
  QString Explanation() const {
    return Addition ? AdditionText(ExplanationEntry) : LanguageText(ExplanationEntry);
  }
};
constexpr std::array<FailureKind, 8> kFailureKinds{{
    {kStatusSourceMissing, 328, 329, false},
    {kStatusTargetExists, 330, 331, false},
    {kStatusTargetIsSource, 332, 333, false},
    {kStatusReadError, 334, 335, false},
    {kStatusAttributesFailed, 336, 337, false},
    {kStatusInvalidName, kAddStatusInvalidName, kAddStatusInvalidNameExplanation, true},
    {kStatusCopyMoveFailed, 338, 339, false},
    {kStatusMatchGaveUp, kAddStatusMatchGaveUp, kAddStatusMatchGaveUpExplanation, true},
}};

// The entries a full disk kept the run from reaching, listed after the failed ones.
constexpr FailureKind kNotReached{kStatusNotProcessed, kAddNotReachedDiskFull,
                                  kAddNotReachedDiskFullExplanation, true};

void AddLine(QByteArray& out, const QString& text) {
  out += text.toUtf8();
  out += kLineEnd;
}

// A file name may hold any byte but "/" and NUL: a line feed in it could forge an entry of the
// report, and bytes that are not UTF-8 would make the whole report invalid UTF-8. Paths go out
// escaped, one line each, in a form that still names exactly one file.
void AddPathLine(QByteArray& out, const QString& label, const QString& path) {
  out += (label + QStringLiteral(": ") + EscapedFileName(path)).toUtf8();
  out += kLineEnd;
}

// Source, target and failure name of one entry, and an empty line.
void AddEntryBlock(QByteArray& out, const FileEntry& entry, const QString& failureName) {
  AddPathLine(out, LanguageText(kEntrySourceLabel), entry.Path());
  AddPathLine(out, LanguageText(kEntryTargetLabel), entry.NewPath());
  AddLine(out, LanguageText(kEntryFailureLabel) + QStringLiteral(": ") + failureName);
  AddLine(out, {});
}

bool IsFailed(const FileEntry& entry) {
  return entry.Status != kStatusNotProcessed && entry.Status != kStatusDone;
}

}  // namespace

QByteArray BuildErrorLog(const FileList& list, bool stoppedByFullDisk) {
  QByteArray out("\xEF\xBB\xBF");

  const QString title = ErrorTitle();
  AddLine(out, title);
  AddLine(out, QString(title.size(), QLatin1Char('*')));
  AddLine(out, ProductText(kProductBannerLine1));
  AddLine(out, ProductText(kProductBannerLine2));
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
      failureName = kFailureKinds[k].Name();
    }
    AddEntryBlock(out, entry, failureName);
  }
  // After a full disk stopped the run, the entries it never reached are named as well.
  bool notReached = false;
  if (stoppedByFullDisk) {
    for (const FileEntry& entry : list) {
      if (entry.Status != kStatusNotProcessed) continue;
      notReached = anyFailed = true;
      AddEntryBlock(out, entry, kNotReached.Name());
    }
  }
  AddLine(out, kSeparator);
  AddLine(out, {});

  if (anyFailed) {
    AddLine(out, {});
    AddLine(out, LanguageText(kEntryLegendTitle));
    for (size_t k = 0; k < kFailureKinds.size(); ++k) {
      if (!occurred[k]) continue;
      AddLine(out, kFailureKinds[k].Name());
      AddLine(out, kFailureKinds[k].Explanation());
      AddLine(out, {});
    }
    if (notReached) {
      AddLine(out, kNotReached.Name());
      AddLine(out, kNotReached.Explanation());
      AddLine(out, {});
    }
  }
  return out;
}

int WriteErrorLog(const QString& path, const FileList& list, bool stoppedByFullDisk) {
  // Written beside the target and renamed over it, so that a report cut short (a full disk) is
  // never taken for a complete one and never replaces an earlier one. A link at the report's
  // name is replaced as a link: following it would let whoever placed it choose which file a
  // failing run overwrites (any file at all, for a run as root).
  return !path.isEmpty() && WriteFileAtomically(path, BuildErrorLog(list, stoppedByFullDisk),
                                                LinkAtName::ReplaceTheLink) == 0
             ? 1
             : 0;
}

QString ErrorLogFileName() {
  return ProductText(kProductFileName) + QStringLiteral("_Errorlog.txt");
}

QString WriteDefaultErrorLog(const FileList& list, const QString& firstFolder,
                             const QString& fallbackFolder, bool stoppedByFullDisk) {
  if (!firstFolder.isEmpty()) {
    const QString path = firstFolder + ErrorLogFileName();
    if (WriteErrorLog(path, list, stoppedByFullDisk) == 1) return path;
  }
  if (fallbackFolder.isEmpty()) return {};
  // The state folder may not exist yet on a fresh account; it holds nobody else's files.
  if (!IsDirectory(fallbackFolder)) MakePrivateFolderPath(fallbackFolder);
  const QString path = fallbackFolder + ErrorLogFileName();
  return WriteErrorLog(path, list, stoppedByFullDisk) == 1 ? path : QString();
}

QString ErrorLogStateFolder() {
  return PerUserStateFolderPath();
}

int RemoveStateErrorLog() {
  const QString folder = ErrorLogStateFolder();
  if (folder.isEmpty()) return 0;
  const int error = DeleteFile(folder + ErrorLogFileName());
  return error == ENOENT ? 0 : error;
}

QString FailureName(int status) {
  for (const FailureKind& kind : kFailureKinds)
    if (kind.Status == status) return kind.Name();
  return {};
}

QString FailureExplanation(int status) {
  for (const FailureKind& kind : kFailureKinds)
    if (kind.Status == status) return kind.Explanation();
  return {};
}

QList<int> FailureStatuses() {
  QList<int> statuses;
  for (const FailureKind& kind : kFailureKinds) statuses << kind.Status;
  return statuses;
}

QString NotReachedName() {
  return kNotReached.Name();
}

QString NotReachedExplanation() {
  return kNotReached.Explanation();
}
