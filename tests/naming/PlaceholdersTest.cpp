#include "naming/Placeholders.h"

#include "platform/LocalTime.h"
#include "support/TempDir.h"

#include "support/QtPrinters.h"
#include "support/Texts.h"

#include <gtest/gtest.h>

#include <QString>

#include <sys/stat.h>

namespace {

// Text with the counter's internal marker where "%ENUMNR%" is written.
QString M(const char* text) {
  return Q(text).replace(QStringLiteral("%ENUMNR%"), kCounterMarker);
}

FileEntry SampleEntry() {
  FileEntry entry;
  entry.SetName(Q("Holiday"));
  entry.Size = 5 * 1048576 + 3 * 1024 + 17;
  entry.Modified = DateFromParts({2007, 3, 5, 9, 4, 2});
  entry.Created = DateFromParts({1999, 12, 31, 23, 59, 58});
  entry.LastAccess = DateFromParts({2024, 11, 22, 10, 11, 12});
  entry.SetCrc32(Q("0A1B2C3D"));
  entry.SetMd5(QString(32, QLatin1Char('E')));
  entry.SetSha1(QString(40, QLatin1Char('F')));
  return entry;
}

TEST(NormalizePlaceholderCase, Table) {
  const std::pair<const char*, const char*> rows[] = {
      {"%fn%_%dy%", "%FN%_%DY%"},
      {"%Fsk%-%fSm%", "%FSK%-%FSM%"},
      {"%ds%%di%%dh%%dd%%dm%%dy%", "%DS%%DI%%DH%%DD%%DM%%DY%"},
      {"%cc%%Cm%%cS%", "%CC%%CM%%CS%"},
      {"%pd%out%001%", "%pd%out%001%"},  // path and counter placeholders stay
      {"fn dy %fnx% %fn%x%", "fn dy %fnx% %FN%x%"},
      {"100% %", "100% %"},
      {"", ""},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(NormalizePlaceholderCase(Q(in)), Q(out)) << in;
}

struct ExpandRow {
  const char* templateText;
  int source;
  bool noLeadingZeros;
  const char* expected;
};

TEST(ExpandFilePlaceholders, Table) {
  const ExpandRow rows[] = {
      {"%DY%%DM%%DD%-%DH%%DI%%DS%", 1, false, "20070305-090402"},
      {"%DY%%DM%%DD%-%DH%%DI%%DS%", 1, true, "200735-942"},
      {"%DY%-%DM%-%DD%", 2, false, "1999-12-31"},
      {"%DY%-%DM%-%DD% %DH%", 0, false, "2024-11-22 10"},
      {"%FN% (%FSK% KiB, %FSM% MiB)", 1, false, "Holiday (5123 KiB, 5 MiB)"},
      {"%CC%_%FN%", 1, false, "0A1B2C3D_Holiday"},
      {"%fn%", 1, false, "%fn%"},  // expansion is case-sensitive: normalise first
      {"no placeholders", 1, false, "no placeholders"},
      {"%FN%%FN%", 1, false, "HolidayHoliday"},
  };
  const FileEntry entry = SampleEntry();
  for (const ExpandRow& row : rows) {
    EXPECT_EQ(ExpandFilePlaceholders(Q(row.templateText), entry, row.source, row.noLeadingZeros),
              Q(row.expected))
        << row.templateText;
  }
  EXPECT_EQ(ExpandFilePlaceholders(Q("%CS%"), entry, 1, false), entry.Sha1());
  EXPECT_EQ(ExpandFilePlaceholders(Q("%CM%"), entry, 1, false), entry.Md5());
}

TEST(ExpandFilePlaceholders, ValuesFromEarlierStepsAreExpandedLater) {
  FileEntry entry = SampleEntry();
  entry.SetName(Q("report %DY% %FN% %CC%"));
  // The name brings "%DY%" and "%CC%" along; both are later steps and get expanded. "%FN%" is the
  // step that inserted the name, so it stays.
  EXPECT_EQ(ExpandFilePlaceholders(Q("%FN%"), entry, 1, false), Q("report 2007 %FN% 0A1B2C3D"));
}

TEST(ExpandFilePlaceholders, SizesUseIntegerDivision) {
  FileEntry entry;
  const std::pair<int64_t, const char*> rows[] = {
      {1023, "0/0"},
      {1024, "1/0"},
      {1048575, "1023/0"},
      {1048576, "1024/1"},
      {int64_t{5} << 32, "20971520/20480"},  // beyond 32 bits
  };
  for (const auto& [size, expected] : rows) {
    entry.Size = size;
    EXPECT_EQ(ExpandFilePlaceholders(Q("%FSK%/%FSM%"), entry, 1, false), Q(expected)) << size;
  }
}

TEST(ExpandFilePlaceholders, EmptyChecksumsExpandToNothing) {
  FileEntry entry;
  entry.SetName(Q("x"));
  EXPECT_EQ(ExpandFilePlaceholders(Q("%FN%[%CC%][%CM%][%CS%]"), entry, 1, false), Q("x[][][]"));
}

TEST(PathPlaceholders, LeadingAndStrip) {
  const std::tuple<const char*, const char*, const char*> rows[] = {
      {"%Pd%Out", "%PD%", "Out"}, {"%pp%\\Docs\\", "%PP%", "\\Docs\\"},
      {"%PC%", "%PC%", ""},       {"%pf%Sorted", "%PF%", "Sorted"},
      {"x%PD%", "", "x%PD%"},     {"%PX%", "", "%PX%"},
      {"%PD", "", "%PD"},         {"", "", ""},
  };
  for (const auto& [templateText, leading, stripped] : rows) {
    EXPECT_EQ(LeadingPathPlaceholder(Q(templateText)), Q(leading)) << templateText;
    EXPECT_EQ(StripPathPlaceholder(Q(templateText)), Q(stripped)) << templateText;
  }
}

TEST(ResolvePathPlaceholders, Forms) {
  const PathFolders folders{Q("/home/u/Desktop/"), Q("/home/u/Documents"), Q("/opt/mervane/")};
  const std::pair<const char*, const char*> rows[] = {
      {"%PD%\\Out", "/home/u/Desktop/Out/"},
      {"%PD%Out", "/home/u/Desktop/Out/"},
      {"%PD%/Out/", "/home/u/Desktop/Out/"},
      {"%pd%\\output\\", "/home/u/Desktop/output/"},
      {"%PP%", "/home/u/Documents/"},  // the missing final "/" is added
      {"%PC%logs", "/opt/mervane/logs/"},
      {"%PF%", "/"},
      {"%PF%\\", "/"},
      {"%PF%Sorted", "Sorted/"},
      {"%PF%\\a\\b", "a/b/"},
      {"%PD%%DY%\\%DM%\\", "/home/u/Desktop/%DY%/%DM%/"},
      {"/data/in\\out", "/data/in/out/"},
      {"", ""},
  };
  for (const auto& [templateText, expected] : rows) {
    EXPECT_EQ(ResolvePathPlaceholders(Q(templateText), folders), Q(expected)) << templateText;
  }
  // A folder the system cannot supply gives no target at all, never the root or a relative path.
  for (const char* templateText : {"%PD%", "%PD%\\Out", "%PP%x", "%PC%\\"}) {
    const QString resolved = ResolvePathPlaceholders(Q(templateText), PathFolders{});
    EXPECT_EQ(resolved, QString()) << templateText;
    EXPECT_FALSE(CheckDirectoryPath(resolved, false)) << templateText;
  }
  EXPECT_EQ(ResolvePathPlaceholders(Q("%PF%x"), PathFolders{}), Q("x/"));
  // A real folder name may hold "\"; only the template's own "\" is a separator.
  EXPECT_EQ(ResolvePathPlaceholders(Q("%PD%x\\y"), PathFolders{Q("/a\\b/"), {}, {}}),
            Q("/a\\b/x/y/"));
}

struct CounterRow {
  const char* templateText;
  int32_t start;
  int32_t width;
  const char* marked;
};

TEST(CounterScan, Table) {
  const CounterRow rows[] = {
      {"%FN%%001%", 1, 3, "%FN%%ENUMNR%"},
      {"(%001%) %FN%", 1, 3, "(%ENUMNR%) %FN%"},
      {"%12a%", -1, -1, "%12a%"},
      {"x%0%", 0, 1, "x%ENUMNR%"},
      {"%5%", 5, 1, "%ENUMNR%"},
      {"%01%-%001%", 1, 2, "%ENUMNR%-%001%"},  // only the first group counts
      {"%%007%", 7, 3, "%%ENUMNR%"},
      {"%FN%%", -1, -1, "%FN%%"},
      {"abc%123", -1, -1, "abc%123"},  // no closing "%"
      {"%%", -1, -1, "%%"},
      {"%99999999999%", 2147483647, 11, "%ENUMNR%"},
      {"", -1, -1, ""},
  };
  for (const CounterRow& row : rows) {
    EXPECT_EQ(CounterStart(Q(row.templateText)), row.start) << row.templateText;
    EXPECT_EQ(CounterWidth(Q(row.templateText)), row.width) << row.templateText;
    EXPECT_EQ(MarkCounter(Q(row.templateText)), M(row.marked)) << row.templateText;
    // The span is where the marker goes.
    const CounterGroupSpan span = FindCounterGroupSpan(Q(row.templateText));
    EXPECT_EQ(span.Start >= 0, row.start >= 0) << row.templateText;
    if (span.Start >= 0) {
      EXPECT_EQ(Q(row.templateText).replace(span.Start, span.Length, kCounterMarker), M(row.marked))
          << row.templateText;
    }
  }
  const PreparedCounter none = PrepareCounter(Q("%FN%"));
  EXPECT_EQ(none.Start, 1);
  EXPECT_EQ(none.Width, 3);
  EXPECT_EQ(none.Template, Q("%FN%"));
  const PreparedCounter some = PrepareCounter(Q("%FN% %0042%"));
  EXPECT_EQ(some.Start, 42);
  EXPECT_EQ(some.Width, 4);
  EXPECT_EQ(some.Template, M("%FN% %ENUMNR%"));
}

TEST(ZeroPad, Table) {
  EXPECT_EQ(ZeroPad(7, 3), Q("007"));
  EXPECT_EQ(ZeroPad(1234, 3), Q("1234"));
  EXPECT_EQ(ZeroPad(0, 1), Q("0"));
  EXPECT_EQ(ZeroPad(5, 0), Q("5"));
  EXPECT_EQ(ZeroPad(42, 6), Q("000042"));
}

TEST(NextFreeNumber, SkipsTakenNumbersOnDisk) {
  TempDir dir;
  dir.WriteFile("pic 001.jpg");
  dir.WriteFile("pic 002.jpg");
  dir.MakeDir("pic 003.jpg");  // a directory takes the number too
  ::symlink("/nonexistent/target", (dir.Bytes() + "pic 004.jpg").c_str());  // a dangling link
  dir.WriteFile("pic 006");
  EXPECT_EQ(NextFreeNumber(dir.Path(), M("pic %ENUMNR%"), Q("jpg"), 1, 3), 5);
  EXPECT_EQ(NextFreeNumber(dir.Path(), M("pic %ENUMNR%"), Q("jpg"), 6, 3), 6);
  EXPECT_EQ(NextFreeNumber(dir.Path(), M("pic %ENUMNR%"), QString(), 6, 3), 7);
  EXPECT_EQ(NextFreeNumber(dir.Path(), M("pic %ENUMNR%"), Q("jpg"), 1, 2), 1);  // "pic 01.jpg"
  EXPECT_EQ(NextFreeNumber(dir.Path(), Q("pic"), Q("jpg"), 1, 3), -1);
}

TEST(CounterMap, AMarkerWrittenInAFileNameStaysText) {
  TempDir dir;
  CounterMap counter(1, 1, false);
  FileEntry entry;
  entry.SetName(Q("report %ENUMNR%"));  // a name can hold what used to be the marker's text
  const QString name = ExpandFilePlaceholders(M("%FN% %ENUMNR%"), entry, 1, false);
  const CounterUse use = counter.Number(dir.Path(), name, Q("txt"));
  EXPECT_EQ(use.Name, Q("report %ENUMNR% 1"));
}

TEST(NextFreeNumber, ProbesEveryMarkerAsItWillBeWritten) {
  TempDir dir;
  dir.WriteFile("1-1.txt");
  EXPECT_EQ(NextFreeNumber(dir.Path(), M("%ENUMNR%-%ENUMNR%"), Q("txt"), 1, 1), 2);
}

TEST(CounterMap, NumbersAcrossTheRunAndSkipsExistingFiles) {
  TempDir dir;
  dir.WriteFile("(001) a.txt");
  CounterMap counter(1, 3, false);
  const CounterUse first = counter.Number(dir.Path(), M("(%ENUMNR%) a"), Q("txt"));
  EXPECT_EQ(first.Number, 2);
  EXPECT_EQ(first.Name, Q("(002) a"));
  const CounterUse second = counter.Number(dir.Path(), M("(%ENUMNR%) b"), Q("txt"));
  EXPECT_EQ(second.Number, 3);
  EXPECT_EQ(second.Name, Q("(003) b"));
  // Without a marker nothing is numbered and nothing is taken.
  const CounterUse plain = counter.Number(dir.Path(), Q("c"), Q("txt"));
  EXPECT_EQ(plain.Number, -1);
  EXPECT_EQ(plain.Name, Q("c"));
  EXPECT_EQ(counter.NextNumber(kCounterMarker), 4);
}

TEST(CounterMap, FailedFileGivesItsNumberBack) {
  TempDir dir;
  CounterMap counter(1, 2, false);
  const CounterUse a = counter.Number(dir.Path(), M("%ENUMNR%"), Q("x"));
  const CounterUse b = counter.Number(dir.Path(), M("%ENUMNR%"), Q("x"));
  ASSERT_EQ(b.Name, Q("02"));
  counter.GiveBack(b);  // the file failed, nothing was written
  const CounterUse c = counter.Number(dir.Path(), M("%ENUMNR%"), Q("x"));
  EXPECT_EQ(c.Name, Q("02"));
  EXPECT_EQ(a.Name, Q("01"));
  counter.GiveBack(CounterUse{});  // an unnumbered file gives nothing back
  EXPECT_EQ(counter.NextNumber(kCounterMarker), 3);
}

TEST(CounterMap, PerDirectoryKeysAreExact) {
  TempDir dir;
  const QString upper = QString::fromStdString(dir.MakeDir("Out"));
  const QString lower = QString::fromStdString(dir.MakeDir("out"));
  CounterMap counter(5, 1, true);
  EXPECT_EQ(counter.Number(upper, M("%ENUMNR%"), Q("t")).Name, Q("5"));
  EXPECT_EQ(counter.Number(upper, M("%ENUMNR%"), Q("t")).Name, Q("6"));
  EXPECT_EQ(counter.Number(lower, M("%ENUMNR%"), Q("t")).Name, Q("5"));
  EXPECT_EQ(counter.Number(upper, M("%ENUMNR%"), Q("t")).Name, Q("7"));
}

TEST(CheckDirectoryPath, Table) {
  const std::tuple<const char*, bool, bool> rows[] = {
      {"/data/", false, true},
      {"/data", false, false},  // no final "/"
      {"/", false, true},
      {"/home/u/Desktop/out/", false, true},
      {"/da?ta/", false, true},  // "?" is a valid Linux name character
      {"//server/share/", false, false},
      {"/a//b/", false, false},
      {"relative/dir/", false, false},
      {"", false, false},
      {"/a\tb/", false, false},
      {"\\data\\in\\", false, true},  // "\" reads as "/"
      {"/anything", true, true},
      {"relative", true, false},
      {"\\x", true, true},
      {"", true, false},
  };
  for (const auto& [path, driveOnly, expected] : rows) {
    EXPECT_EQ(CheckDirectoryPath(Q(path), driveOnly), expected) << path << " " << driveOnly;
  }
}

}  // namespace
