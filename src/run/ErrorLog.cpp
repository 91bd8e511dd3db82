#include "run/ErrorLog.h"

#include "platform/FileName.h"
#include "platform/FileOps.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"

#include <array>

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

bool IsFailed(const FileEntry& entry) {
  return entry.Status != kStatusNotProcessed && entry.Status != kStatusDone;
}

}  // namespace

QByteArray BuildErrorLog(const FileList& list) {
  QByteArray out("\xEF\xBB\xBF");

  const QString title = ErrorTitle();
  AddLine(out, title);
  AddLine(out, QString(title.size(), QLatin1Char('*')));
  AddLine(out, ProductText(13));
  AddLine(out, ProductText(14));
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
      failureName = LanguageText(kFailureKinds[k].NameEntry);
    }
    AddPathLine(out, LanguageText(324), entry.Path);
    AddPathLine(out, LanguageText(325), entry.NewPath);
    AddLine(out, LanguageText(326) + QStringLiteral(": ") + failureName);
    AddLine(out, {});
  }
  AddLine(out, kSeparator);
  AddLine(out, {});

  if (anyFailed) {
    AddLine(out, {});
    AddLine(out, LanguageText(327));
    for (size_t k = 0; k < kFailureKinds.size(); ++k) {
      if (!occurred[k]) continue;
      AddLine(out, LanguageText(kFailureKinds[k].NameEntry));
      AddLine(out, LanguageText(kFailureKinds[k].ExplanationEntry));
      AddLine(out, {});
    }
  }
  return out;
}

int WriteErrorLog(const QString& path, const FileList& list) {
  // Written beside the target and renamed over it, so that a report cut short (a full disk) is
  // never taken for a complete one and never replaces an earlier one. A link at the report's
  // name is replaced as a link: following it would let whoever placed it choose which file a
  // failing run overwrites (any file at all, for a run as root).
  return !path.isEmpty() &&
                 WriteFileAtomically(path, BuildErrorLog(list), LinkAtName::ReplaceTheLink) == 0
             ? 1
             : 0;
}

QString ErrorLogFileName() {
  return ProductText(2) + QStringLiteral("_Errorlog.txt");
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
