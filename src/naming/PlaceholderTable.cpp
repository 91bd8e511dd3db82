#include "naming/PlaceholderTable.h"

#include "texts/TextTables.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace {

using F = PlaceholderFamily;
using G = PlaceholderGroup;
constexpr PlaceholderExpansion D = PlaceholderExpansion::Data;

QString NameValue(const PlaceholderContext& c) {
  return c.Entry().Name();
}
QString SizeKiBValue(const PlaceholderContext& c) {
  return QString::number(c.Entry().Size / 1024);
}
QString SizeMiBValue(const PlaceholderContext& c) {
  return QString::number(c.Entry().Size / 1048576);
}
QString SecondValue(const PlaceholderContext& c) {
  return c.DatePart(c.Date().Second, 2);
}
QString MinuteValue(const PlaceholderContext& c) {
  return c.DatePart(c.Date().Minute, 2);
}
QString HourValue(const PlaceholderContext& c) {
  return c.DatePart(c.Date().Hour, 2);
}
QString DayValue(const PlaceholderContext& c) {
  return c.DatePart(c.Date().Day, 2);
}
QString MonthValue(const PlaceholderContext& c) {
  return c.DatePart(c.Date().Month, 2);
}
QString YearValue(const PlaceholderContext& c) {
  return c.DatePart(c.Date().Year, 4);
}

QString TakenYearValue(const PlaceholderContext& c) {
  return c.DatePart(c.Taken().Year, 4);
}
QString TakenMonthValue(const PlaceholderContext& c) {
  return c.DatePart(c.Taken().Month, 2);
}
QString TakenDayValue(const PlaceholderContext& c) {
  return c.DatePart(c.Taken().Day, 2);
}
QString TakenHourValue(const PlaceholderContext& c) {
  return c.DatePart(c.Taken().Hour, 2);
}
QString TakenMinuteValue(const PlaceholderContext& c) {
  return c.DatePart(c.Taken().Minute, 2);
}
QString TakenSecondValue(const PlaceholderContext& c) {
  return c.DatePart(c.Taken().Second, 2);
}
// The track number, two digits unless no leading zeros; the read text when it is no number.
QString TrackValue(const PlaceholderContext& c) {
  const QString read = c.Entry().ContentValues().value(PlaceholderId(u"%AN%"));
  bool ok = false;
  const int track = read.toInt(&ok);
  return ok && track > 0 ? c.DatePart(track, 2) : read;
}
// The name of the folder that holds the file ("" for one at the root).
QString FolderNameValue(const PlaceholderContext& c) {
  QStringView folder = c.Entry().Directory();
  while (folder.endsWith(u'/') || folder.endsWith(u'\\')) folder.chop(1);
  const qsizetype slash = std::max(folder.lastIndexOf(u'/'), folder.lastIndexOf(u'\\'));
  return folder.mid(slash + 1).toString();
}

// Where the size and date placeholders stand; the checksums are not offered for a target
// folder, whose name would read every file for little use, but expand there all the same.
constexpr uint8_t kNameAndTarget = kFieldNameTemplate | kFieldTargetDir;
constexpr uint8_t kTextsAndName = kFieldInsertText | kFieldReplaceWith | kFieldNameTemplate;

// Expansion and case normalisation go through the file and content rows in this order; new
// rows go at the end, so that the segment kinds of the preview stay as they are. One
// placeholder to a few lines, so that the rows read as a table.
// clang-format off
constexpr std::array kRows = {
    PlaceholderRow{.Code = u"%001%", .Family = F::Counter, .Caption = kTextWordCounter,
                   .StandsIn = kFieldNameTemplate, .Listed = kFieldNameTemplate},
    PlaceholderRow{.Code = u"%FN%", .Family = F::File, .Caption = kTextWordFileName,
                   .Sample = u"IMG0087", .StandsIn = kNameAndTarget, .Listed = kNameAndTarget,
                   .Value = NameValue},
    PlaceholderRow{.Code = u"%FSK%", .Family = F::File, .Caption = kTextWordSizeKB,
                   .Sample = u"1394", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = SizeKiBValue},
    PlaceholderRow{.Code = u"%FSM%", .Family = F::File, .Caption = kTextWordSizeMB,
                   .Sample = u"1", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = SizeMiBValue},
    PlaceholderRow{.Code = u"%DS%", .Family = F::File, .Caption = kTextWordSecond,
                   .Sample = u"43", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = SecondValue},
    PlaceholderRow{.Code = u"%DI%", .Family = F::File, .Caption = kTextWordMinute,
                   .Sample = u"08", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = MinuteValue},
    PlaceholderRow{.Code = u"%DH%", .Family = F::File, .Caption = kTextWordHour,
                   .Sample = u"10", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = HourValue},
    PlaceholderRow{.Code = u"%DD%", .Family = F::File, .Caption = kTextWordDay,
                   .Sample = u"25", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = DayValue},
    PlaceholderRow{.Code = u"%DM%", .Family = F::File, .Caption = kTextWordMonth,
                   .Sample = u"06", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = MonthValue},
    PlaceholderRow{.Code = u"%DY%", .Family = F::File, .Caption = kTextWordYear,
                   .Sample = u"2011", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Value = YearValue},
    PlaceholderRow{.Code = u"%CC%", .Family = F::Content, .Caption = kTextWordCrc32,
                   .Sample = u"61EC39A5", .StandsIn = kFieldsAll, .Listed = kTextsAndName,
                   .Field = &FileEntry::Crc32,
                   .SetField = &FileEntry::SetCrc32},
    PlaceholderRow{.Code = u"%CM%", .Family = F::Content, .Caption = kTextWordMd5,
                   .Sample = u"A58C201697C54B3CA31A09081E451F0B", .StandsIn = kFieldsAll,
                   .Listed = kTextsAndName, .Field = &FileEntry::Md5,
                   .SetField = &FileEntry::SetMd5},
    PlaceholderRow{.Code = u"%CS%", .Family = F::Content, .Caption = kTextWordSha1,
                   .Sample = u"2DA642A8D91E5FDD41DA78073432D5544C6CAF07",
                   .StandsIn = kFieldsAll, .Listed = kTextsAndName, .Field = &FileEntry::Sha1,
                   .SetField = &FileEntry::SetSha1},
    PlaceholderRow{.Code = u"%PD%", .Family = F::Path, .Caption = kTextWordDesktopFolder,
                   .StandsIn = kFieldTargetDir, .Listed = kFieldTargetDir,
                   .Folder = &PathFolders::Desktop},
    PlaceholderRow{.Code = u"%PP%", .Family = F::Path, .Caption = kTextWordDocumentsFolder,
                   .StandsIn = kFieldTargetDir, .Listed = kFieldTargetDir,
                   .Folder = &PathFolders::Documents},
    PlaceholderRow{.Code = u"%PC%", .Family = F::Path, .Caption = kTextWordProgramFolder,
                   .StandsIn = kFieldTargetDir, .Listed = kFieldTargetDir,
                   .Folder = &PathFolders::Program},
    PlaceholderRow{.Code = u"%PF%", .Family = F::Path, .Caption = kTextWordFolderOfEachFile,
                   .Sample = u"/home/user/Pictures/", .StandsIn = kFieldTargetDir,
                   .Listed = kFieldTargetDir},
    // From inside the file and from its folder: data, never expanded again. "%TY%" holds the
    // date taken that its five siblings are made from.
    PlaceholderRow{.Code = u"%TY%", .Family = F::Content, .Caption = kAddWordTakenYear,
                   .Sample = u"2023", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TakenYearValue, .Group = G::DateTaken},
    PlaceholderRow{.Code = u"%TM%", .Family = F::Content, .Caption = kAddWordTakenMonth,
                   .Sample = u"07", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TakenMonthValue, .ReadFrom = u"%TY%",
                   .Group = G::DateTaken},
    PlaceholderRow{.Code = u"%TD%", .Family = F::Content, .Caption = kAddWordTakenDay,
                   .Sample = u"14", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TakenDayValue, .ReadFrom = u"%TY%",
                   .Group = G::DateTaken},
    PlaceholderRow{.Code = u"%TH%", .Family = F::Content, .Caption = kAddWordTakenHour,
                   .Sample = u"09", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TakenHourValue, .ReadFrom = u"%TY%",
                   .Group = G::DateTaken},
    PlaceholderRow{.Code = u"%TI%", .Family = F::Content, .Caption = kAddWordTakenMinute,
                   .Sample = u"30", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TakenMinuteValue, .ReadFrom = u"%TY%",
                   .Group = G::DateTaken},
    PlaceholderRow{.Code = u"%TS%", .Family = F::Content, .Caption = kAddWordTakenSecond,
                   .Sample = u"05", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TakenSecondValue, .ReadFrom = u"%TY%",
                   .Group = G::DateTaken},
    PlaceholderRow{.Code = u"%IK%", .Family = F::Content, .Caption = kAddWordCameraMake,
                   .Sample = u"Canon", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Camera},
    PlaceholderRow{.Code = u"%IC%", .Family = F::Content, .Caption = kAddWordCameraModel,
                   .Sample = u"EOS 80D", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Camera},
    PlaceholderRow{.Code = u"%IL%", .Family = F::Content, .Caption = kAddWordLens,
                   .Sample = u"EF-S18-135mm", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Camera},
    PlaceholderRow{.Code = u"%IW%", .Family = F::Content, .Caption = kAddWordPixelWidth,
                   .Sample = u"6000", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Camera},
    PlaceholderRow{.Code = u"%IH%", .Family = F::Content, .Caption = kAddWordPixelHeight,
                   .Sample = u"4000", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Camera},
    PlaceholderRow{.Code = u"%AA%", .Family = F::Content, .Caption = kAddWordArtist,
                   .Sample = u"Nina Simone", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Audio},
    PlaceholderRow{.Code = u"%AB%", .Family = F::Content, .Caption = kAddWordAlbum,
                   .Sample = u"Pastel Blues", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Audio},
    PlaceholderRow{.Code = u"%AT%", .Family = F::Content, .Caption = kAddWordTitle,
                   .Sample = u"Sinnerman", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Audio},
    PlaceholderRow{.Code = u"%AN%", .Family = F::Content, .Caption = kAddWordTrackNumber,
                   .Sample = u"09", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = TrackValue, .Group = G::Audio},
    PlaceholderRow{.Code = u"%AY%", .Family = F::Content, .Caption = kAddWordAudioYear,
                   .Sample = u"1965", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Audio},
    PlaceholderRow{.Code = u"%AG%", .Family = F::Content, .Caption = kAddWordGenre,
                   .Sample = u"Jazz", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Group = G::Audio},
    PlaceholderRow{.Code = u"%FO%", .Family = F::File, .Caption = kAddWordFolderName,
                   .Sample = u"Holidays", .StandsIn = kFieldsAll, .Listed = kFieldsAll,
                   .Expansion = D, .Value = FolderNameValue},
};
// clang-format on

static_assert(kRows.size() <= PlaceholderSet::kCapacity, "a PlaceholderSet holds every row");

}  // namespace

QString PlaceholderGroupCaption(PlaceholderGroup group) {
  switch (group) {
    case PlaceholderGroup::DateTaken:
      return AdditionText(kAddGroupDateTaken);
    case PlaceholderGroup::Camera:
      return AdditionText(kAddGroupCamera);
    case PlaceholderGroup::Audio:
      return AdditionText(kAddGroupAudio);
    case PlaceholderGroup::None:
      break;
  }
  return {};
}

QString CaptionEntry::Text() const {
  return addition_ ? AdditionText(entry_) : LanguageText(entry_);
}

const CalendarParts& PlaceholderContext::Date() const {
  if (!date_) {
    date_ =
        dateSource_ == kDateSourceTaken ? Taken() : PartsOfDate(ChosenDate(entry_, dateSource_));
  }
  return *date_;
}

const CalendarParts& PlaceholderContext::Taken() const {
  if (!taken_) taken_ = PartsOfDate(DateTakenOrModified(entry_));
  return *taken_;
}

QString PlaceholderContext::DatePart(int value, int width) const {
  return noLeadingZeros_ ? QString::number(value) : ZeroPad(value, width);
}

std::span<const PlaceholderRow> PlaceholderTable() {
  return kRows;
}

const PlaceholderRow& PlaceholderById(int id) {
  return kRows[static_cast<size_t>(id)];
}

int PlaceholderId(QStringView code) {
  // Looked up for every file a run reads the content of: by hash, not along the table.
  static const QHash<QStringView, int> ids = [] {
    QHash<QStringView, int> made;
    for (size_t i = 0; i < kRows.size(); ++i) {
      if (!made.contains(kRows[i].Code)) made.insert(kRows[i].Code, static_cast<int>(i));
    }
    return made;
  }();
  return ids.value(code, -1);
}

int ReadIdOf(int id) {
  if (id < 0 || id >= static_cast<int>(kRows.size())) return id;
  const PlaceholderRow& row = PlaceholderById(id);
  return row.ReadFrom.isEmpty() ? id : PlaceholderId(row.ReadFrom);
}

int DateTakenId() {
  static const int id = PlaceholderId(u"%TY%");
  return id;
}

int64_t DateTaken(const FileEntry& entry) {
  const auto it = entry.ContentValues().constFind(DateTakenId());
  if (it == entry.ContentValues().constEnd() || it->isEmpty()) return kInvalidDate;
  bool ok = false;
  const int64_t value = it->toLongLong(&ok);
  return ok ? value : kInvalidDate;
}

int64_t DateTakenOrModified(const FileEntry& entry) {
  const int64_t taken = DateTaken(entry);
  return taken != kInvalidDate ? taken : entry.Modified;
}

QString ContentValue(const FileEntry& entry, int id) {
  const PlaceholderRow& row = PlaceholderById(id);
  return row.Field != nullptr ? (entry.*row.Field)() : entry.ContentValues().value(id);
}

void SetContentValue(FileEntry& entry, int id, const QString& value) {
  const PlaceholderRow& row = PlaceholderById(id);
  if (row.Field != nullptr)
    (entry.*row.SetField)(value);
  else
    entry.SetContentValue(id, value);
}
