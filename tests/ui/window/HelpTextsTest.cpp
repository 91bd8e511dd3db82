#include "ui/window/AboutWindow.h"
#include "ui/window/HelpTexts.h"
#include "ui/window/MessageWindow.h"

#include "support/HelperTestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

#include <cstdlib>
#include <vector>

using namespace helpers_test;

namespace {

QString Entry(int entry) {
  QString text = LanguageText(entry);
  text.remove(QLatin1Char('&'));
  return text;
}

// The pieces each topic must show, in this order: entries of the language table (numbers) and
// literal texts.
struct Piece {
  int entry = -1;
  const char* literal = nullptr;
};

struct TopicRow {
  int topic;
  int titleEntry;
  std::vector<Piece> pieces;
};

std::vector<TopicRow> Topics() {
  auto entries = [](int first, int last) {
    std::vector<Piece> out;
    for (int e = first; e <= last; ++e) out.push_back({e});
    return out;
  };
  auto join = [](std::vector<Piece> a, const std::vector<Piece>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  return {
      {kHelpGettingStarted,
       36,
       {{-1, "1) "},
        {256},
        {257},
        {-1, "2) "},
        {258},
        {259},
        {-1, "3) "},
        {260},
        {261},
        {-1, "4) "},
        {262},
        {263},
        {264}}},
      {1, 38, entries(265, 268)},
      // Menu options: each text under the menu path of its item.
      {2, 39, {{2}, {4}, {269}, {8}, {16}, {270}, {8}, {19}, {21}, {271}}},
      // Tips: under the pages and options they belong to.
      {3,
       40,
       {{57}, {272}, {60}, {273}, {66}, {167}, {274}, {66}, {168}, {275}, {67}, {172}, {276}}},
      {4, 41, {{-1, "- "}, {277}, {-1, "- "}, {278}}},
      {5, 42,
       join(entries(279, 283), join({{-1, "%001% ("},
                                     {195},
                                     {-1, "), %FN% ("},
                                     {199},
                                     {-1, "), %FSK% ("},
                                     {202},
                                     {-1, "%CS% ("},
                                     {216},
                                     {284},
                                     {-1, "%PD% ("},
                                     {217},
                                     {-1, "%PF% ("},
                                     {220}},
                                    entries(285, 287)))},
      {6, 43,
       join(entries(288, 290), {{-1, " - "},
                                {291},
                                {-1, " - "},
                                {292},
                                {-1, " - "},
                                {293},
                                {-1, " - "},
                                {294},
                                {295},
                                {296}})},
      {7, 44, {{-1, "- "}, {297}, {-1, "- "}, {298}, {-1, "- "}, {299}}},
  };
}

void ExpectTopicsAssembled(int language) {
  UseLanguage(language);
  for (const TopicRow& row : Topics()) {
    EXPECT_EQ(HelpTitle(row.topic), Entry(35) + Q(" - ") + Entry(row.titleEntry)) << row.topic;
    const QString text = HelpText(row.topic);
    qsizetype at = 0;
    for (const Piece& piece : row.pieces) {
      const QString wanted = piece.entry >= 0 ? Entry(piece.entry) : Q(piece.literal);
      ASSERT_FALSE(wanted.isEmpty());
      const qsizetype found = text.indexOf(wanted, at);
      EXPECT_GE(found, 0) << "topic " << row.topic
                          << " lacks, or has out of order: " << wanted.toStdString();
      if (found >= 0) at = found + wanted.size();
    }
    EXPECT_FALSE(text.contains(QLatin1Char('&'))) << row.topic;
    EXPECT_FALSE(text.contains(QLatin1Char('\r'))) << row.topic;
  }
  EXPECT_TRUE(HelpTitle(8).isEmpty());
  EXPECT_TRUE(HelpText(-1).isEmpty());
}

TEST(HelpTexts, EveryTopicAssembledInEnglish) {
  ExpectTopicsAssembled(kLanguageEnglish);
}

TEST(HelpTexts, EveryTopicAssembledInGerman) {
  ExpectTopicsAssembled(kLanguageGerman);
}

TEST(HelpTexts, ExactShapeOfTheShortTopics) {
  UseLanguage(kLanguageEnglish);
  EXPECT_EQ(HelpText(4), Q("- ") + Entry(277) + Q("\n- ") + Entry(278));
  EXPECT_EQ(HelpText(7), Q("- ") + Entry(297) + Q("\n- ") + Entry(298) + Q("\n- ") + Entry(299));
  EXPECT_EQ(HelpTitle(kHelpGettingStarted), Q("Help - Getting started"));
  // The menu path of topic 2 names the shortcut with the table's word for Ctrl.
  EXPECT_TRUE(HelpText(2).startsWith(Q("File > Test run on selected file (Ctrl+D)\n")));
  UseLanguage(kLanguageGerman);
  EXPECT_TRUE(HelpText(2).startsWith(Q("Datei > Testlauf mit markierter Datei (Strg+D)\n")));
  EXPECT_EQ(HelpTitle(5), Q("Hilfe - Platzhalter"));
}

TEST(AboutText, TitleVersionMakerAddressesAndThanks) {
  UseLanguage(kLanguageGerman);
  const QStringList lines = AboutText().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 9);
  EXPECT_EQ(lines[0], ProductText(kProductName) + Q(" ") + ProductText(kProductVersion));
  EXPECT_EQ(lines[1], ProductText(kProductVersionLine));
  EXPECT_EQ(lines[2], ProductText(kProductMaker));
  EXPECT_EQ(lines[3], ProductText(kProductCopyright));
  EXPECT_EQ(lines[4], QString());
  EXPECT_EQ(lines[5], Q("Website: ") + ProductText(kProductWebsite));
  EXPECT_EQ(lines[6], Q("Email: ") + ProductText(kProductEmail));
  EXPECT_EQ(lines[7], QString());
  EXPECT_EQ(lines[8], Entry(241));
}

TEST(MessageWindow, OpensAsTallAsItsTextAndGrowsButNeverShrinks) {
  UseLanguage(kLanguageEnglish);
  MessageWindow window(HelpRequest(nullptr, 5));
  ShowAndActivate(window);
  EXPECT_EQ(window.windowTitle(), Q("Help - Placeholders"));
  EXPECT_EQ(window.TextLabel()->text(), HelpText(5));
  EXPECT_EQ(window.TextLabel()->textFormat(), Qt::PlainText);
  EXPECT_TRUE(window.TextLabel()->wordWrap());
  const QSize opening = window.size();
  EXPECT_EQ(window.minimumSize(), opening);
  EXPECT_GT(window.maximumWidth(), opening.width());  // sizable
  // The whole text is visible: its area is at least as tall as the wrapped text needs.
  QScrollArea* scroll = window.findChild<QScrollArea*>();
  ASSERT_NE(scroll, nullptr);
  EXPECT_GE(scroll->viewport()->height(),
            window.TextLabel()->heightForWidth(scroll->viewport()->width()));
  // The button sits below the text, centred, with the focus.
  QPushButton* ok = window.OkButton();
  EXPECT_EQ(ok->text(), Q("OK"));
  EXPECT_GE(ok->width(), 140);
  EXPECT_LE(std::abs(ok->geometry().center().x() - window.width() / 2), 1);
  EXPECT_GT(ok->geometry().top(), scroll->geometry().bottom());
  EXPECT_TRUE(ok->hasFocus());
  ExpectAccessible(&window);

  // A wider window keeps the text word-wrapped to the new width.
  window.resize(opening.width() + 200, opening.height());
  QApplication::processEvents();
  EXPECT_GT(window.TextLabel()->width(), opening.width());
  window.resize(opening.width() - 50, opening.height() - 50);
  EXPECT_EQ(window.size().width(), opening.width());
  EXPECT_EQ(window.size().height(), opening.height());
}

TEST(MessageWindow, EscAndOkEndIt) {
  UseLanguage(kLanguageEnglish);
  MessageWindow escaped(HelpRequest(nullptr, 1));
  ShowAndActivate(escaped);
  SendKey(escaped.OkButton(), Qt::Key_Escape);
  EXPECT_FALSE(escaped.isVisible());

  MessageWindow confirmed(HelpRequest(nullptr, 1));
  ShowAndActivate(confirmed);
  confirmed.OkButton()->click();
  EXPECT_FALSE(confirmed.isVisible());
  EXPECT_EQ(confirmed.result(), QDialog::Accepted);
}

TEST(KeepOptionsWhole, JoinsTheHyphenOfAnOptionToItsName) {
  const QString j(QChar(0x2060));
  const std::pair<const char*, QString> rows[] = {
      {"-Portable keeps", Q("-") + j + Q("Portable keeps")},
      {"settings, -Uninstall", Q("settings, -") + j + Q("Uninstall")},
      {"mervane -Console \"-Help\"", Q("mervane -") + j + Q("Console \"-") + j + Q("Help\"")},
      {"- a bullet", Q("- a bullet")},
      {" - * stands", Q(" - * stands")},
      {"%DY%-%DM%", Q("%DY%-%DM%")},
      {"IMG-0087 and 0-9", Q("IMG-0087 and 0-9")},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(KeepOptionsWhole(Q(in)), out) << in;
}

TEST(MessageWindow, TextCopiedFromItPastesAsTyped) {
  UseLanguage(kLanguageEnglish);
  MessageWindow window(HelpRequest(nullptr, 7));
  ShowAndActivate(window);
  EXPECT_TRUE(window.TextLabel()->text().contains(QChar(0x2060)));
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(KeepOptionsWhole(Q("mervane -Console -Preset=1")));
  QApplication::processEvents();
  EXPECT_EQ(clipboard->text(), Q("mervane -Console -Preset=1"));
}

TEST(MessageWindow, ATextlessRequestUsesTheGivenHeight) {
  MessageRequest request;
  request.Width = 200;
  request.Height = 77;
  MessageWindow window(request);
  EXPECT_GE(window.height(), 77 + 20);
}

TEST(MessageWindow, ATallTextOnASmallScreenScrollsInsideTheScreen) {
  MessageRequest request;
  request.Text = QStringList(400, Q("line")).join(QLatin1Char('\n'));
  MessageWindow window(request);
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  EXPECT_LE(window.height(), screen->availableGeometry().height());
  EXPECT_EQ(window.findChild<QScrollArea*>()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

TEST(AboutWindow, CentredFixedAndTitled) {
  UseLanguage(kLanguageEnglish);
  MessageWindow window(AboutRequest(nullptr));
  EXPECT_EQ(window.windowTitle(), Q("About"));
  EXPECT_EQ(window.TextLabel()->text(), AboutText());
  EXPECT_TRUE(window.TextLabel()->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  UseLanguage(kLanguageGerman);
  EXPECT_EQ(AboutRequest(nullptr).Title, Q("Über"));
}

TEST(InformationBox, TitleTextIconAndOk) {
  UseLanguage(kLanguageGerman);
  const std::unique_ptr<QMessageBox> box = MakeInformationBox(nullptr);
  EXPECT_EQ(box->windowTitle(), Entry(359));
  EXPECT_EQ(box->text(), LanguageText(370));
  EXPECT_EQ(box->icon(), QMessageBox::Information);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
}

}  // namespace
