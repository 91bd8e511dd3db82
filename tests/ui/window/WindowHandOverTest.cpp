// Paths handed to the window over a session bus of the test's own: the window's service and
// a second start's call meet on a real dbus-daemon, and the files end up in the real list.

#include "ui/window/WindowHandOver.h"

#include "platform/FileName.h"
#include "support/PrivateBus.h"
#include "support/WindowFixture.h"

#include <QDBusConnection>
#include <QDialog>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct UriCase {
  const char* path;  // bytes; empty: the URI is refused
  const char* uri;
};

TEST(WindowHandOverUris, FileUrisCarryEveryByteAndRefuseWhatIsNoLocalFile) {
  // Both ways where a path is given, URI to path only where it is not.
  const UriCase cases[] = {
      {"/home/ana/a.txt", "file:///home/ana/a.txt"},
      {"/home/ana/two words & more.txt", "file:///home/ana/two%20words%20%26%20more.txt"},
      {"/media/old/caf\xe9 \xff.txt", "file:///media/old/caf%E9%20%FF.txt"},
      {"/home/ana/100%.txt", "file:///home/ana/100%25.txt"},
      {"/home/ana/Übung.txt", "file:///home/ana/%C3%9Cbung.txt"},
  };
  for (const UriCase& c : cases) {
    const QString path = DecodeFileName(QByteArray(c.path));
    EXPECT_EQ(PathsToFileUris({path}), QStringList{QString::fromLatin1(c.uri)}) << c.path;
    int refused = -1;
    const QStringList back = FileUrisToPaths({QString::fromLatin1(c.uri)}, &refused);
    ASSERT_EQ(back.size(), 1) << c.uri;
    EXPECT_EQ(EncodeFileName(back.first()).toStdString(), std::string(c.path));
    EXPECT_EQ(refused, 0);
  }

  const UriCase oneWay[] = {
      {"/srv/x.txt", "file://localhost/srv/x.txt"},
      {"", "file://fileserver/srv/x.txt"},  // another machine
      {"", "http://example.org/x.txt"},     // not a file
      {"", "file:///home/ana/a%0Ab.txt"},   // a line break would split the path in two
      {"", "file:///home/ana/a%00b.txt"},   // no byte of a name is zero
      {"", "file:///home/ana/a.txt?x=1"},   // a query: not sent by anyone we know
      {"", "relative/a.txt"},
  };
  for (const UriCase& c : oneWay) {
    int refused = -1;
    const QStringList paths = FileUrisToPaths({QString::fromLatin1(c.uri)}, &refused);
    if (*c.path == '\0') {
      EXPECT_TRUE(paths.isEmpty()) << c.uri;
      EXPECT_EQ(refused, 1) << c.uri;
    } else {
      EXPECT_EQ(paths, QStringList{QString::fromLatin1(c.path)}) << c.uri;
    }
  }
}

class WindowHandOverTest : public WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    ASSERT_FALSE(bus_.Address().isEmpty()) << "dbus-daemon could not be started";
    windowSide_ = Connect("window side");
    ASSERT_TRUE(windowSide_.isConnected());
  }
  void TearDown() override {
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
  }

  QDBusConnection Connect(const QString& name) {
    names_ << name;
    return QDBusConnection::connectToBus(bus_.Address(), name);
  }

  // A second start's call, made on a thread of its own as from another process: the window's
  // event loop must keep running to answer it.
  HandOverResult HandOver(const QStringList& paths, int waitMs = 2000) {
    const QDBusConnection starter = Connect(QStringLiteral("starter %1").arg(names_.size()));
    std::atomic<bool> done{false};
    HandOverResult result = HandOverResult::kNoSessionBus;
    std::thread call([&] {
      result = HandPathsOver(starter, paths, waitMs);
      done = true;
    });
    const bool answered = ProcessUntil([&] { return done.load(); });
    call.join();
    EXPECT_TRUE(answered);
    return result;
  }

  std::unique_ptr<MainWindow> MakeWindow() {
    auto window = std::make_unique<MainWindow>(*app_);
    window->SetDialogs(RecordingDialogs());
    window->show();
    return window;
  }

  PrivateBus bus_;
  QDBusConnection windowSide_{QString()};
  QStringList names_;
};

TEST_F(WindowHandOverTest, HandedOverPathsAreLoadedAsADropLoadsThem) {
  const std::string odd = dir_.WriteFile("in/caf\xe9 \xff.txt", "x");  // not UTF-8
  const std::string plain = dir_.WriteFile("in/plain.txt", "x");
  dir_.WriteFile("in/folder/inside.txt", "x");
  const auto window = MakeWindow();
  const std::unique_ptr<WindowHandOverService> service = OfferWindowOnBus(*window, windowSide_);
  ASSERT_NE(service, nullptr);

  EXPECT_EQ(HandOver({DecodeFileName(odd), DecodeFileName(plain),
                      dir_.Path() + QStringLiteral("in/folder")}),
            HandOverResult::kHandedOver);
  ASSERT_TRUE(
      ProcessUntil([&] { return app_->Files.Count() == 3 && !window->Files()->LoadBusy(); }));
  EXPECT_TRUE(app_->Files.ContainsPath(DecodeFileName(odd)));
  EXPECT_TRUE(app_->Files.ContainsPath(DecodeFileName(plain)));
  EXPECT_TRUE(app_->Files.ContainsPath(dir_.Path() + QStringLiteral("in/folder/inside.txt")));

  // A start without paths only brings the window forward; the list stays as it is.
  EXPECT_EQ(HandOver({}), HandOverResult::kHandedOver);
  ProcessEvents();
  EXPECT_EQ(app_->Files.Count(), 3);
  EXPECT_TRUE(service->Waiting().isEmpty());
}

TEST_F(WindowHandOverTest, PathsWaitWhileTheWindowIsBusyAndAreLoadedAfterwards) {
  const std::string first = dir_.WriteFile("in/first.txt", "x");
  const std::string second = dir_.WriteFile("in/second.txt", "x");
  const auto window = MakeWindow();
  const std::unique_ptr<WindowHandOverService> service = OfferWindowOnBus(*window, windowSide_);
  ASSERT_NE(service, nullptr);

  // Locked commands (a dialog, a run) refuse a drop; handed-over paths must not be lost.
  window->SetCommandsLocked(true);
  EXPECT_EQ(HandOver({DecodeFileName(first)}), HandOverResult::kHandedOver);
  EXPECT_EQ(HandOver({DecodeFileName(second)}), HandOverResult::kHandedOver);
  ProcessEvents();
  EXPECT_EQ(app_->Files.Count(), 0);
  EXPECT_EQ(service->Waiting().size(), 2);

  // A dialog in front of the window keeps them waiting too.
  QDialog dialog(window.get());
  dialog.setModal(true);
  dialog.show();
  window->SetCommandsLocked(false);
  ProcessUntil([] { return false; }, 600);
  EXPECT_EQ(app_->Files.Count(), 0);
  EXPECT_EQ(service->Waiting().size(), 2);

  dialog.hide();
  ASSERT_TRUE(
      ProcessUntil([&] { return app_->Files.Count() == 2 && !window->Files()->LoadBusy(); }));
  EXPECT_TRUE(service->Waiting().isEmpty());
  EXPECT_TRUE(app_->Files.ContainsPath(DecodeFileName(first)));
  EXPECT_TRUE(app_->Files.ContainsPath(DecodeFileName(second)));
}

TEST_F(WindowHandOverTest, OnlyOneWindowOwnsTheNameAndItIsGivenBackAtTheEnd) {
  const auto window = MakeWindow();
  auto service = OfferWindowOnBus(*window, windowSide_);
  ASSERT_NE(service, nullptr);
  const QDBusConnection other = Connect(QStringLiteral("other window"));
  EXPECT_EQ(OfferWindowOnBus(*window, other), nullptr);

  // With the first window's service gone, nobody answers; a start says so after its wait.
  service.reset();
  EXPECT_EQ(HandOver({}, 300), HandOverResult::kNoWindowAnswered);
  // And the next window takes the name.
  const auto next = OfferWindowOnBus(*window, other);
  EXPECT_NE(next, nullptr);
  EXPECT_EQ(HandOver({}), HandOverResult::kHandedOver);
}

TEST(WindowHandOverBus, WithoutABusNothingIsHandedOver) {
  const QDBusConnection none = QDBusConnection::connectToBus(
      QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no bus"));
  EXPECT_EQ(HandPathsOver(none, {QStringLiteral("/tmp/a.txt")}, 100),
            HandOverResult::kNoSessionBus);
  QDBusConnection::disconnectFromBus(QStringLiteral("no bus"));
}

}  // namespace
