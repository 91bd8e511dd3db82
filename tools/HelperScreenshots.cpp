// Renders the window's helpers to PNG files, in English and German, so that their layout and
// texts can be looked at without a desktop: the placeholder list and the preview over their
// fields, the help text and every topic, the about window, the information box and both modes
// of the preset dialog. Usage: helper_screenshots OUTPUT_FOLDER (run with
// QT_QPA_PLATFORM=offscreen, or under Xvfb).

#include "settings/BuiltinPresets.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"
#include "ui/widgets/UiTexts.h"
#include "ui/window/AboutWindow.h"
#include "ui/window/HelpTexts.h"
#include "ui/window/MessageWindow.h"
#include "ui/placeholders/PlaceholderListWindow.h"
#include "ui/placeholders/PlaceholderPopups.h"
#include "ui/placeholders/PlaceholderPreviewWindow.h"
#include "ui/presets/PresetDialog.h"

#include <QApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

namespace {

QString g_folder;
int g_failures = 0;

void Save(const QImage& image, const QString& name) {
  const QString path = g_folder + name + QStringLiteral(".png");
  if (!image.save(path)) {
    std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    ++g_failures;
  }
}

void Save(QWidget* widget, const QString& name) {
  QApplication::processEvents();
  Save(widget->grab().toImage(), name);
}

// A top-level window with other top-level windows over it (pop-ups, boxes), painted where they
// are on the screen.
QImage Composite(QWidget* base, const QList<QWidget*>& over) {
  QApplication::processEvents();
  const QPoint origin = base->mapToGlobal(QPoint(0, 0));
  QRect bounds(QPoint(0, 0), base->size());
  for (QWidget* w : over) bounds |= QRect(w->mapToGlobal(QPoint(0, 0)) - origin, w->size());
  QImage image(bounds.size(), QImage::Format_ARGB32);
  image.fill(QColor(0x80, 0x80, 0x80));
  QPainter painter(&image);
  painter.drawPixmap(-bounds.topLeft(), base->grab());
  for (QWidget* w : over)
    painter.drawPixmap(w->mapToGlobal(QPoint(0, 0)) - origin - bounds.topLeft(), w->grab());
  return image;
}

// A stand-in for an option page: a caption, the template fields and their "<" buttons.
struct Page {
  QWidget window;
  QLineEdit* name = nullptr;
  QPushButton* nameButton = nullptr;
  QLineEdit* target = nullptr;
  QPushButton* targetButton = nullptr;
  QLineEdit* find = nullptr;
  QPushButton* findButton = nullptr;

  Page() {
    auto* layout = new QVBoxLayout(&window);
    auto row = [&](int caption, QLineEdit*& field, QPushButton*& button) {
      layout->addWidget(new QLabel(WithoutMnemonics(LanguageText(caption))));
      auto* line = new QHBoxLayout;
      field = new QLineEdit;
      button = new QPushButton(QStringLiteral("<"));
      button->setFixedWidth(24);
      line->addWidget(field, 1);
      line->addWidget(button);
      layout->addLayout(line);
    };
    row(166, name, nameButton);
    row(171, target, targetButton);
    row(143, find, findButton);
    layout->addStretch(1);
    window.resize(380, 260);
    window.move(60, 40);
  }
};

void ShootPopups(const QString& suffix) {
  Page page;
  PlaceholderPopups popups(&page.window, true);
  popups.AttachListButton(page.nameButton, page.name, PlaceholderField::kNameTemplate);
  popups.AttachListButton(page.targetButton, page.target, PlaceholderField::kTargetDir);
  popups.AttachListButton(page.findButton, page.find, PlaceholderField::kPattern);
  popups.AttachPreviewField(page.name, PlaceholderField::kNameTemplate);
  popups.AttachPreviewField(page.target, PlaceholderField::kTargetDir);
  page.name->setText(QStringLiteral("(%001%) %FN% %DY%-%DM%-%DD%"));
  page.target->setText(QStringLiteral("%PD%\\output\\%DY%\\"));
  page.window.show();
  page.window.activateWindow();
  QApplication::processEvents();

  page.name->setFocus();
  QApplication::processEvents();
  Save(Composite(&page.window, {popups.PreviewWindow()}), QStringLiteral("preview-name-") + suffix);
  page.target->setFocus();
  QApplication::processEvents();
  Save(Composite(&page.window, {popups.PreviewWindow()}),
       QStringLiteral("preview-target-") + suffix);

  page.name->setFocus();
  popups.OpenList(page.name, PlaceholderField::kNameTemplate);
  popups.ListWindow()->List()->setCurrentRow(3);
  Save(Composite(&page.window, {popups.ListWindow()}), QStringLiteral("list-name-") + suffix);
  popups.CloseAll();
  QApplication::processEvents();
  // The next list opens only 500 ms after one closed; the tool does not wait, it starts anew.
  PlaceholderPopups second(&page.window, true);
  second.OpenList(page.target, PlaceholderField::kTargetDir);
  Save(Composite(&page.window, {second.ListWindow()}), QStringLiteral("list-target-") + suffix);
  second.CloseAll();
  PlaceholderPopups third(&page.window, true);
  third.OpenList(page.find, PlaceholderField::kPattern);
  Save(Composite(&page.window, {third.ListWindow()}), QStringLiteral("list-wildcards-") + suffix);
  third.CloseAll();
}

void ShootTexts(const QString& suffix) {
  for (int topic = 0; topic <= kHelpTopicCount; ++topic) {
    MessageWindow window(HelpRequest(nullptr, topic));
    window.show();
    Save(&window, QStringLiteral("help-%1-").arg(topic) + suffix);
  }
  MessageWindow about(AboutRequest(nullptr));
  about.show();
  Save(&about, QStringLiteral("about-") + suffix);
  std::unique_ptr<QMessageBox> info = MakeInformationBox(nullptr);
  info->show();
  Save(info.get(), QStringLiteral("information-") + suffix);
}

void ShootPresetDialog(const QString& suffix) {
  QList<Preset> presets{WorkingPreset()};
  presets.append(BuiltinPresets());
  int32_t defaultIndex = 2;
  Preset working;
  PresetDialogHooks hooks;
  hooks.AskText = [](QWidget*, const QString&, const QString&) { return std::nullopt; };
  {
    PresetDialog dialog(nullptr, PresetDialog::Mode::kManage, presets, defaultIndex, working,
                        QString(), hooks);
    dialog.List()->item(1)->setSelected(true);
    dialog.show();
    Save(&dialog, QStringLiteral("presets-manage-") + suffix);
  }
  {
    // Save-as-new: the dialog with the name box over it, as the user sees it.
    PresetDialog dialog(nullptr, PresetDialog::Mode::kManage, presets, defaultIndex, working,
                        QString(), hooks);
    dialog.move(80, 80);
    dialog.show();
    const std::unique_ptr<QInputDialog> box = MakeInputBox(&dialog, QString(), LanguageText(250));
    box->setTextValue(QStringLiteral("Holiday photos"));
    box->show();
    QApplication::processEvents();
    box->move(dialog.mapToGlobal(QPoint((dialog.width() - box->width()) / 2, 60)));
    Save(Composite(&dialog, {box.get()}), QStringLiteral("presets-save-as-new-") + suffix);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: helper_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  g_folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
  if (!QDir().mkpath(g_folder) || !LoadProductTexts()) return 1;
  for (const int language : {kLanguageEnglish, kLanguageGerman}) {
    if (!LoadLanguageTable(language)) return 1;
    const QString suffix =
        language == kLanguageEnglish ? QStringLiteral("en") : QStringLiteral("de");
    ShootPopups(suffix);
    ShootTexts(suffix);
    ShootPresetDialog(suffix);
  }
  std::printf("screenshots in %s\n", qPrintable(g_folder));
  return g_failures == 0 ? 0 : 1;
}
