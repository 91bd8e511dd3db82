#include "ui/window/WindowProgram.h"

#include "app/AppState.h"
#include "platform/Messages.h"
#include "platform/Signals.h"
#include "run/ExitCode.h"
#include "run/RunControl.h"
#include "settings/Locations.h"
#include "texts/AdditionEntries.h"
#include "texts/ProductTitle.h"
#include "texts/TextTables.h"
#include "ui/presets/PresetDialog.h"
#include "ui/widgets/Icons.h"
#include "ui/window/AboutWindow.h"
#include "ui/window/MainWindow.h"
#include "ui/window/WindowHandOver.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

// One QApplication for the life of the process, made when the first window or box needs it.
// It is never destroyed: the process ends through Shutdown, not by unwinding main.
QApplication& Application() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static int argc = 1;
  static char name[] = "mervane";
  static char* argv[] = {name, nullptr};
  auto* application = new QApplication(argc, argv);
  QApplication::setApplicationName(PlainTitle());
  QApplication::setApplicationDisplayName(PlainTitle());
  QApplication::setDesktopFileName(kApplicationId);
  return *application;
}

bool ShowStartupBox(const QString& caption, const QString& text, MessageIcon icon) {
  Application();
  QMessageBox box(icon == MessageIcon::kError ? QMessageBox::Critical : QMessageBox::Information,
                  caption, text, QMessageBox::Ok);
  box.exec();
  return true;
}

}  // namespace

void InstallWindowMessageBoxes() {
  SetMessageBoxHandler(&ShowStartupBox);
}

int RunMainWindow(AppState& app) {
  QApplication& application = Application();
  // The installed icon theme has the program's icon in every size; a copy run from its own
  // folder shows the picture it carries.
  const QIcon programIcon = QIcon::fromTheme(kApplicationId, StoreIcon(kImageProgram));
  QApplication::setWindowIcon(programIcon);
  MainWindow window(app);
  window.setWindowIcon(programIcon);
  window.AttachHelpWindow([&window](int topic) { ShowHelpWindow(&window, topic); });
  window.AttachAboutWindow([&window] { ShowAboutWindow(&window); });
  window.AttachPresetDialog([&window, &app](int mode) {
    PresetDialogHooks hooks;
    hooks.StorePageControls = [&window] { window.StorePages(); };
    RunPresetDialog(&window,
                    mode == 1 ? PresetDialog::Mode::kSaveAsNew : PresetDialog::Mode::kManage, app,
                    std::move(hooks), [&window] { window.PresetsChanged(); });
  });
  // As the user left it on these screens; the first time large, in the middle of the screen.
  window.RestoreShape(app.SettingsFolder.isEmpty() ? QString()
                                                   : app.SettingsFolder + WindowFileName());
  // SIGINT and SIGTERM (a logout, "kill") do not cut a copy or move short: the run ends after
  // the file in hand, a load stops, and the program ends through its shut-down.
  InstallStopSignalHandlers();
  WatchStopSignal(app.Load.LoadStop);
  RunControl(app.Run).WatchStopSignal();
  QTimer signalWatch;
  signalWatch.setInterval(100);
  QObject::connect(&signalWatch, &QTimer::timeout, [&window, &signalWatch] {
    if (StopSignalReceived() == 0) return;
    signalWatch.stop();
    window.RequestQuit();
  });
  signalWatch.start();
  window.show();
  // What start-up found that the user must know (a presets file that cannot be used), told
  // once over the window as soon as it is on screen.
  for (const QString& notice : std::exchange(app.StartupNotices, {})) {
    QTimer::singleShot(0, &window, [&window, notice] {
      QMessageBox::warning(&window, AdditionText(kAddPresetsCaption), notice);
    });
  }
  if (!app.Options.PendingPaths.isEmpty()) {
    window.LoadPaths(app.Options.PendingPaths);
    app.Options.PendingPaths.clear();
  }
  // Later starts hand their paths over the session bus; they are loaded as a drop is.
  const std::unique_ptr<WindowHandOverService> handOver =
      OfferWindowOnBus(window, QDBusConnection::sessionBus());
  application.exec();
  return kExitOk;
}
