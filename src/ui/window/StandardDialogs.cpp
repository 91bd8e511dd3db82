#include "ui/window/StandardDialogs.h"

#include "app/Startup.h"
#include "run/ExitCode.h"
#include "texts/LanguageEntries.h"
#include "ui/run/PropertiesWindow.h"
#include "ui/widgets/FileManager.h"
#include "ui/widgets/FilePaths.h"
#include "ui/widgets/UiTexts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

// The open-file dialog's patterns: caption entry, the short list shown after it, the full list.
struct FilePattern {
  int Entry;
  const char* Shown;
  const char* Patterns;
};
constexpr FilePattern kFilePatterns[] = {
    {kTextTypeAllFiles, "*.*", "*.*"},
    {kTextTypeDocuments, "*.doc, *.pdf, *.txt, ...",
     "*.abw *.doc *.docx *.log *.odt *.pdf *.rtf *.txt *.wpd"},
    {kTextTypeImages, "*.jpg, *.png, *.gif, ...",
     "*.bmp *.dds *.dib *.gif *.jp2 *.jpeg *.jpg *.jpx *.png *.svg *.tga *.tif *.tiff"},
    {kTextTypeVideos, "*.mpg, *.avi, *.wmv, ...",
     "*.3g2 *.3gp *.asf *.avi *.divx *.f4v *.flv *.m4v *.mkv *.mov *.mp4 *.mpa *.mpeg *.mpg *.ogv "
     "*.rm *.wmv *.xvid"},
    {kTextTypeAudio, "*.mp3, *.wma, *.ogg, ...",
     "*.aif *.flac *.ogg *.m4a *.mid *.mp2 *.mp3 *.mpa *.ra *.wav *.wma"},
    {kTextTypeProgramsScripts, "*.exe, *.bat, *.vbs, ...",
     "*.ahk *.bat *.cmd *.com *.exe *.jar *.scr *.vb *.vbs *.wsf"},
    {kTextTypeArchives, "*.zip, *.rar, *.7z, ...",
     "*.7z *.alz *.arc *.bz *.bz2 *.gz *.rar *.sfx *.sit *.sitx *.tgz *.zip *.zipx"},
    {kTextTypeWebFiles, "*.html, *.php, *.css, ...",
     "*.asp *.aspx *.atom *.cer *.csr *.css *.htm *.html *.js *.jsp *.php *.rss *.wml *.xhtm "
     "*.xhtml *.xml"},
    {kTextTypeSourceCode, "*.cpp, *.vb, *.pas, ...",
     "*.bas *.bat *.c *.class *.cpp *.cs *.fla *.fs *.fsx *.h *.hpp *.java *.js *.jspf *.lua *.m "
     "*.mm *.ocx *.pas *.pb *.php *.pl *.py *.rb *.sh *.src *.vb *.vbs"},
};

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    default:
      return QMessageBox::Information;
  }
}

}  // namespace

WindowDialogs StandardDialogs(QWidget* owner) {
  WindowDialogs dialogs;
  dialogs.Ask = [owner](const QString& title, const QString& text) {
    return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  dialogs.Tell = [owner](MessageIcon icon, const QString& title, const QString& text) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, owner);
    box.exec();
  };
  dialogs.ChooseFiles = [owner] {
    const QStringList filters = OpenFileFilters();
    // The file URLs keep every byte of a name that is not UTF-8.
    const QList<QUrl> urls = QFileDialog::getOpenFileUrls(
        owner, QString(), QUrl(), filters.join(QStringLiteral(";;")), nullptr,
        QFileDialog::HideNameFilterDetails);
    QStringList paths;
    for (const QUrl& url : urls) {
      const QString path = LocalPathFromUrl(url);
      if (!path.isEmpty()) paths << path;
    }
    return paths;
  };
  dialogs.ChooseFolder = [owner](const QString& title, const QString& start) {
    const QUrl url = QFileDialog::getExistingDirectoryUrl(
        owner, title, start.isEmpty() ? QUrl() : QUrl(FileUrlOfPath(start)));
    return url.isEmpty() ? QString() : LocalPathFromUrl(url);
  };
  dialogs.ShowFile = [](const QString& path) { return ShowInFileManager(path); };
  dialogs.ShowProperties = [owner](const QString& path) { return ShowFileProperties(path, owner); };
  dialogs.AskLater = [](QWidget* parent, const QString& title, const QString& text,
                        std::function<void(bool)> done) {
    auto* box = new QMessageBox(QMessageBox::Question, title, text,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)] {
      done(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
    });
    // Modal over its window only, and without a loop of its own: the run goes on meanwhile.
    box->open();
  };
  dialogs.EndProgram = [] { QCoreApplication::exit(kExitOk); };
  dialogs.Fatal = [](const QString& reason) { FatalExit(reason); };
  return dialogs;
}

QStringList OpenFileFilters() {
  QStringList filters;
  for (const FilePattern& pattern : kFilePatterns)
    filters << Caption(pattern.Entry) + QStringLiteral("  (") + QString::fromLatin1(pattern.Shown) +
                   QStringLiteral(") (") + QString::fromLatin1(pattern.Patterns) + u')';
  return filters;
}
