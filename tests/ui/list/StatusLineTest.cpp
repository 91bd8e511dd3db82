#include "ui/list/FileListPanel.h"

#include "filelist/FileList.h"
#include "support/UiTestSupport.h"
#include "ui/list/FileListModel.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QTextLayout>
#include <QToolButton>

#include <algorithm>

namespace {

// Where the list is narrow the status line wraps between its parts, never inside one, and
// nothing of it runs under "Only problems".
TEST(StatusLine, WrapsBetweenItsPartsOnly) {
  LoadUiResources();
  const QStringList cases[] = {
      {QStringLiteral("Files: 13 (78 B)"), QStringLiteral("Selected: 1 (6 B)"),
       QStringLiteral("Problems: 3")},
      {QStringLiteral("Files: 100000 (12.5 GB)"), QStringLiteral("Selected: -"),
       QStringLiteral("Planning the new names: 45 %"), QStringLiteral("Problems: 12")},
  };
  for (const QStringList& parts : cases) {
    FileList files;
    FileListModel model(files);
    FileListPanel panel(model);
    const QString text = parts.join(QStringLiteral("   "));
    panel.SetStatusText(text);
    QLabel* line = panel.StatusLine();
    EXPECT_EQ(line->toolTip(), text);
    const QFontMetrics metrics(line->font());
    // The word before a colon and all after it are one: "Files: 13 (78 B)" and "Selected: -"
    // are never broken.
    int widestFigure = 0;
    for (const QString& part : parts) {
      const qsizetype colon = part.indexOf(u':');
      const qsizetype word = part.lastIndexOf(u' ', colon) + 1;
      widestFigure = std::max(widestFigure, metrics.horizontalAdvance(part.mid(word)));
    }
    EXPECT_GE(line->minimumSizeHint().width(), widestFigure) << text.toStdString();
    // Laid out as narrow as it goes, each line is a word or a whole "label: figure".
    QTextLayout layout(line->text(), line->font());
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(wrap);
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine())
      row.setLineWidth(1);
    layout.endLayout();
    for (int i = 0; i < layout.lineCount(); ++i) {
      const QString piece =
          line->text().mid(layout.lineAt(i).textStart(), layout.lineAt(i).textLength()).trimmed();
      EXPECT_FALSE(piece.endsWith(u':')) << piece.toStdString();
      EXPECT_FALSE(piece.front().isDigit() || piece.front() == u'(' || piece.front() == u'-' ||
                   piece.front() == u'%')
          << piece.toStdString();
    }
    // The line as a whole may break.
    EXPECT_LT(line->minimumSizeHint().width(), metrics.horizontalAdvance(text))
        << text.toStdString();

    panel.resize(
        line->minimumSizeHint().width() + panel.OnlyProblemsButton()->sizeHint().width() + 20, 400);
    panel.show();
    ProcessEvents();
    EXPECT_GE(line->height(), 2 * metrics.lineSpacing()) << text.toStdString();
    EXPECT_GE(line->height(), line->heightForWidth(line->width())) << text.toStdString();
    EXPECT_LE(line->geometry().right(), panel.OnlyProblemsButton()->geometry().left())
        << text.toStdString();
  }
}

}  // namespace
