#include "filelist/StatusLine.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(StatusLine, FormatSizeTable) {
  struct Row {
    int64_t bytes;
    int decimals;
    const char* expected;
  };
  const Row rows[] = {
      {0, 1, "0 B"},
      {1023, 1, "1023 B"},
      {1024, 1, "1.0 KB"},
      {1536, 1, "1.5 KB"},
      {1048575, 1, "1024.0 KB"},  // single precision rounds up to the next unit's figure
      {1048576, 2, "1.00 MB"},
      {1572864, 0, "2 MB"},  // printf rounds 1.5 to even
      {2621440, 0, "2 MB"},  // 2.5 to even as well
      {(int64_t{3} << 30) + (int64_t{1} << 29), 1, "3.5 GB"},
      {int64_t{5} << 40, 1, "5120.0 GB"},  // no unit above GB
      {-1, 1, ""},
      {1126, 3, "1.100 KB"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FormatSize(row.bytes, row.decimals), QString::fromUtf8(row.expected)) << row.bytes;
}

TEST(StatusLine, FormatSizeIgnoresTheLocaleDecimalMark) {
  // A German user's locale writes "1,5"; the figure must not follow it.
  const char* before = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = before ? before : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
  EXPECT_EQ(FormatSize(1536, 1), QStringLiteral("1.5 KB"));
  std::setlocale(LC_NUMERIC, saved.c_str());
}

FileEntry Sized(int32_t id, int64_t size) {
  FileEntry e;
  e.Id = id;
  e.SetPath(QStringLiteral("/d/%1.txt").arg(id));
  e.Size = size;
  return e;
}

TEST(StatusLine, FiguresAndComposedLine) {
  const QString count = QStringLiteral("Files");
  const QString selected = QStringLiteral("Selected");
  FileList list;
  StatusFigures figures;
  EXPECT_EQ(UpdateStatusLine(figures, true, true, {}, list, {}, count, selected),
            QStringLiteral("Files: -   Selected: -"));

  list.Append(Sized(1, 0));
  EXPECT_EQ(UpdateStatusLine(figures, true, true, {}, list, {1}, count, selected),
            QStringLiteral("Files: 1 (0 B)   Selected: 1 (0 B)"));

  list.Append(Sized(2, 512));
  list.Append(Sized(3, 1024));
  // Only the count is recounted: the selected figure keeps its text.
  EXPECT_EQ(UpdateStatusLine(figures, true, false, {}, list, {2, 3}, count, selected),
            QStringLiteral("Files: 3 (1.5 KB)   Selected: 1 (0 B)"));
  // Ids that are no longer in the list do not count.
  list.RemoveById(1);
  EXPECT_EQ(UpdateStatusLine(figures, false, true, {}, list, {1, 3, 99}, count, selected),
            QStringLiteral("Files: 3 (1.5 KB)   Selected: 1 (1.0 KB)"));
  // A text of its own replaces the line but the figures are still updated.
  EXPECT_EQ(UpdateStatusLine(figures, true, false, QStringLiteral("Loading..."), list, {}, count,
                             selected),
            QStringLiteral("Loading..."));
  EXPECT_EQ(figures.CountText, QStringLiteral("2 (1.5 KB)"));
}

TEST(StatusLine, FigureTextTable) {
  struct Row {
    qsizetype count;
    int64_t total;
    const char* expected;
  };
  const Row rows[] = {
      {0, 0, "-"},
      {1, 0, "1 (0 B)"},
      {3, 1536, "3 (1.5 KB)"},
      {2, int64_t{6} << 30, "2 (6.0 GB)"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FigureText(row.count, row.total), QString::fromUtf8(row.expected)) << row.count;
}

}  // namespace
