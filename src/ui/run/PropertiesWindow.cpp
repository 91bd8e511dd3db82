#include "ui/run/PropertiesWindow.h"

#include "filelist/StatusLine.h"
#include "fileops/ZoneMark.h"
#include "platform/Attributes.h"
#include "platform/FileInfo.h"
#include "platform/FileName.h"
#include "texts/AdditionEntries.h"
#include "texts/LanguageEntries.h"
#include "texts/TextTables.h"
#include "ui/widgets/FileManager.h"
#include "ui/widgets/Mnemonics.h"
#include "ui/widgets/UiTexts.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kMinimumWidth = 380;

QString DateText(const FileTime& time) {
  return QDateTime::fromSecsSinceEpoch(time.Seconds)
      .toString(QStringLiteral("dd.MM.yyyy, HH:mm:ss"));
}

QString SizeText(int64_t size) {
  const QString exact =
      QLocale().toString(static_cast<qlonglong>(size)) + u' ' + AdditionText(kAddBytes);
  return size < 1024 ? exact : FormatSize(size, 1) + QStringLiteral("  (") + exact + u')';
}

QString YesNo(bool yes) {
  return PlainCaption(yes ? kTextYes : kTextNo);
}

}  // namespace

FileProperties ReadFileProperties(const QString& path) {
  FileProperties properties;
  const qsizetype slash = path.lastIndexOf(u'/');
  properties.Name = path.mid(slash + 1);
  properties.Folder = slash < 0 ? QString() : path.left(slash + 1);
  FileFacts facts;
  if (path.isEmpty() || !ReadFileFacts(EncodeFileName(path).constData(), facts) ||
      facts.Kind != FileKind::Regular)
    return properties;
  properties.Readable = true;
  properties.Size = facts.Size;
  properties.Created = facts.Created;
  properties.Modified = facts.Modified;
  properties.Accessed = facts.Accessed;
  properties.Mode = static_cast<int32_t>(facts.Stat.st_mode & 07777);
  properties.Attributes = std::max(0, ReadAttributes(path));
  properties.ZoneMark = HasZoneMark(path);
  return properties;
}

QString PermissionText(int32_t mode) {
  static constexpr char kLetters[] = "rwxrwxrwx";
  QString text;
  for (int bit = 0; bit < 9; ++bit)
    text += (mode & (0400 >> bit)) != 0 ? QLatin1Char(kLetters[bit]) : QLatin1Char('-');
  // The set-id and sticky bits, as "ls" shows them in the execute places.
  const auto mark = [&text, mode](int position, int32_t special, char withExecute, char without) {
    if ((mode & special) == 0) return;
    text[position] = QLatin1Char(text[position] == u'x' ? withExecute : without);
  };
  mark(2, 04000, 's', 'S');
  mark(5, 02000, 's', 'S');
  mark(8, 01000, 't', 'T');
  return text + QStringLiteral(" (") + QString::number(mode & 07777, 8) + u')';
}

PropertiesWindow::PropertiesWindow(const QString& path, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PropertiesWindow"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  const FileProperties p = ReadFileProperties(path);
  readable_ = p.Readable;
  setWindowTitle(PlainCaption(kTextPropertiesTestCopy) + QStringLiteral(" - ") + p.Name);
  setAccessibleName(windowTitle());

  const auto addRow = [this](QFormLayout* form, Row row, int captionEntry, const QString& caption,
                             const QString& value) {
    auto* field = new QLineEdit(value);
    field->setReadOnly(true);
    field->setCursorPosition(0);
    field->setAccessibleName(caption.isEmpty() ? PlainCaption(captionEntry) : caption);
    field->setToolTip(value);
    auto* label = new QLabel((caption.isEmpty() ? PlainCaption(captionEntry) : caption) + u':');
    label->setBuddy(field);
    form->addRow(label, field);
    fields_[row] = field;
  };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  if (!readable_) {
    auto* problem = new QLabel(AdditionText(kAddPropertiesUnreadable));
    problem->setTextFormat(Qt::PlainText);
    problem->setWordWrap(true);
    layout->addWidget(problem);
  }

  auto* general = new QFormLayout;
  addRow(general, kNameRow, kTextListName, {}, p.Name);
  addRow(general, kFolderRow, kTextListFolder, {}, p.Folder);
  addRow(general, kSizeRow, kTextWordSize, {}, p.Readable ? SizeText(p.Size) : QString());
  addRow(general, kCreatedRow, kTextWordCreated, {}, p.Readable ? DateText(p.Created) : QString());
  addRow(general, kModifiedRow, kTextWordModified, {},
         p.Readable ? DateText(p.Modified) : QString());
  addRow(general, kAccessedRow, kTextWordLastAccess, {},
         p.Readable ? DateText(p.Accessed) : QString());
  addRow(general, kPermissionsRow, 0, AdditionText(kAddPermissions),
         p.Readable ? PermissionText(p.Mode) : QString());
  addRow(general, kZoneMarkRow, kTextPageDownloadMark, {},
         p.Readable ? YesNo(p.ZoneMark) : QString());

  // The attributes in the same form, under a heading of their own, so that every field starts
  // in one column.
  auto* heading = new QLabel(PlainCaption(kTextPageAttributes));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  heading->setContentsMargins(0, 8, 0, 0);
  general->addRow(heading);
  const auto attribute = [&](Row row, int entry, int32_t bit) {
    addRow(general, row, entry, {}, p.Readable ? YesNo((p.Attributes & bit) != 0) : QString());
  };
  attribute(kHiddenRow, kTextAttributesHidden, kAttrHidden);
  attribute(kReadOnlyRow, kTextAttributesReadOnly, kAttrReadOnly);
  attribute(kArchiveRow, kTextAttributesArchive, kAttrArchive);
  attribute(kNotIndexedRow, kTextAttributesNotIndexed, kAttrNotIndexed);
  layout->addLayout(general);

  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  ok->setMinimumWidth(140);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addStretch(1);
  layout->addStretch(1);
  layout->addLayout(buttons);

  AssignMnemonics(this, QString());
  setMinimumWidth(std::max(kMinimumWidth, layout->minimumSize().width()));
  // Wide enough for the whole folder where the screen allows, so that the path reads at once.
  const QLineEdit* folder = fields_[kFolderRow];
  const int folderWidth = folder->fontMetrics().horizontalAdvance(p.Folder) + 24;
  const int wanted = layout->sizeHint().width() - folder->sizeHint().width() + folderWidth;
  const QScreen* screen = parent != nullptr && parent->screen() != nullptr
                              ? parent->screen()
                              : QGuiApplication::primaryScreen();
  const int widest = screen != nullptr ? screen->availableGeometry().width() * 3 / 4 : 900;
  resize(std::clamp(std::max(wanted, layout->sizeHint().width() * 5 / 4), minimumWidth(),
                    std::max(minimumWidth(), widest)),
         layout->sizeHint().height());
  ok->setFocus(Qt::OtherFocusReason);
}

bool ShowFileProperties(const QString& path, QWidget* owner) {
  if (ShowPropertiesInFileManager(path)) return true;
  auto* window = new PropertiesWindow(path, owner);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  window->raise();
  window->activateWindow();
  return true;
}
