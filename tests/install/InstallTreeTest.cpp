// What `cmake --install` puts where, and that the installed program runs from there with
// nothing of its own beside it.

#include "install/InstallSupport.h"

#include "app/ImageStore.h"
#include "support/Lines.h"

#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <set>
#include <string>

namespace {

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
    ::closedir(d);
  }
  return names;
}

const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

std::string IconPath(int size) {
  return "share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/" +
         kAppId + ".png";
}

TEST(InstallTree, EveryFileGoesToWhereTheDesktopLooksForIt) {
  const InstalledTree& tree = InstalledTree::Get();
  ASSERT_EQ(tree.InstallResult().exitCode, 0) << tree.InstallResult().err;
  const std::string app = kAppId;
  struct Expected {
    std::string path;
    mode_t mode;
  };
  std::vector<Expected> expected = {
      {"bin/mervane", 0755},
      {"share/applications/" + app + ".desktop", 0644},
      {"share/metainfo/" + app + ".metainfo.xml", 0644},
      {"share/icons/hicolor/scalable/apps/" + app + ".svg", 0644},
      {"share/man/man1/mervane.1.gz", 0644},
      {"share/bash-completion/completions/mervane", 0644},
      {"share/zsh/vendor-completions/_mervane", 0644},
      {"share/fish/vendor_completions.d/mervane.fish", 0644},
      {"share/kio/servicemenus/" + app + ".rename.desktop", 0644},
      {"share/nemo/actions/" + app + ".rename.nemo_action", 0644},
      {"share/nautilus-python/extensions/" + app + ".rename.py", 0644},
      {"share/doc/mervane/copyright", 0644},
  };
  for (int size : kIconSizes) expected.push_back({IconPath(size), 0644});
  for (const Expected& e : expected) {
    struct stat st {};
    ASSERT_EQ(::stat(tree.Path(e.path).c_str(), &st), 0) << e.path;
    EXPECT_TRUE(S_ISREG(st.st_mode)) << e.path;
    EXPECT_EQ(st.st_mode & 07777, e.mode) << e.path;
  }
  // The program needs nothing beside itself: texts and pictures are inside it.
  EXPECT_EQ(FolderNames(tree.Path("bin")), std::set<std::string>{"mervane"});
  EXPECT_EQ(FolderNames(tree.Prefix()), (std::set<std::string>{"bin", "share"}));
}

TEST(InstallTree, InstalledProgramRunsFromThePrefixAndWritesNothingThere) {
  const InstalledTree& tree = InstalledTree::Get();
  ASSERT_EQ(tree.InstallResult().exitCode, 0) << tree.InstallResult().err;
  TempDir home;
  home.WriteFile("work/photo one.jpg", "jpeg");
  home.MakeDir("runtime");
  const std::vector<std::string> env = EnvironmentWith(
      {"LANG=C.UTF-8", "HOME=" + home.Bytes(), "XDG_CONFIG_HOME=" + home.Bytes() + "config",
       "XDG_STATE_HOME=" + home.Bytes() + "state", "XDG_RUNTIME_DIR=" + home.Bytes() + "runtime",
       "TMPDIR=" + home.Bytes()},
      {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "LC_ALL", "LC_MESSAGES"});
  const std::string program = tree.Path("bin/mervane");

  const ChildResult version = RunChild({program, "--version"}, env, home.Bytes());
  EXPECT_EQ(version.exitCode, 0) << version.err;
  EXPECT_EQ(version.out, "Mervane 2.0\n");

  const ChildResult help = RunChild({program, "-Console", "--help"}, env, home.Bytes());
  EXPECT_EQ(help.exitCode, 0) << help.err;
  EXPECT_NE(help.out.find("Description of supported commands:"), std::string::npos) << help.out;

  // The default preset copies into "output" on the desktop.
  const ChildResult run =
      RunChild({program, "-Console", "work/photo one.jpg"}, env, home.Bytes());
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(ReadFileBytes(home.Bytes() + "Desktop/output/photo one.jpg"), "jpeg");
  EXPECT_EQ(ReadFileBytes(home.Bytes() + "work/photo one.jpg"), "jpeg");
  // Settings went to the user's folder, not beside the program.
  EXPECT_TRUE(PathExists(home.Bytes() + "config/Mervane"));
  EXPECT_EQ(FolderNames(tree.Path("bin")), std::set<std::string>{"mervane"});
}

TEST(InstallTree, EveryIconSizeIsThePictureItsFolderNames) {
  const InstalledTree& tree = InstalledTree::Get();
  ASSERT_EQ(tree.InstallResult().exitCode, 0) << tree.InstallResult().err;
  for (int size : kIconSizes) {
    const std::string data = ReadFileBytes(tree.Path(IconPath(size)));
    Image image;
    ASSERT_TRUE(DecodePng(reinterpret_cast<const uint8_t*>(data.data()), data.size(), &image))
        << size;
    EXPECT_EQ(image.Width, size);
    EXPECT_EQ(image.Height, size);
    // A tile with transparent corners and an opaque middle, at every size.
    const auto alpha = [&image](int x, int y) {
      return static_cast<uint8_t>(image.Rgba[(y * image.Width + x) * 4 + 3]);
    };
    EXPECT_EQ(alpha(0, 0), 0) << size;
    EXPECT_EQ(alpha(size / 2, size / 2), 255) << size;
  }
  // The 16 x 16 icon is the very picture the window shows.
  EXPECT_EQ(ReadFileBytes(tree.Path(IconPath(16))),
            ReadFileBytes(MERVANE_SOURCE_DIR "/resources/images/icon16.png"));

  QFile svg(QString::fromStdString(
      tree.Path(std::string("share/icons/hicolor/scalable/apps/") + kAppId + ".svg")));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  ASSERT_TRUE(xml.readNextStartElement());
  EXPECT_EQ(xml.name(), QLatin1String("svg"));
  EXPECT_EQ(xml.attributes().value(QLatin1String("viewBox")), QLatin1String("0 0 16 16"));
  int paths = 0;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("path")) ++paths;
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_GE(paths, 10);
}

TEST(InstallTree, CheckedInIconsAreWhatTheDrawingToolMakes) {
  // A picture edited by hand, or a drawing changed without running the tool, shows here.
  TempDir out;
  const ChildResult drawn = RunTool(
      "python3", {MERVANE_SOURCE_DIR "/tools/draw_icon.py", out.Bytes() + "resources"});
  ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
  std::vector<std::string> files = {"images/icon16.png",
                                    std::string("icons/hicolor/scalable/apps/") + kAppId + ".svg"};
  for (int size : kIconSizes)
    if (size != 16)
      files.push_back("icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                      "/apps/" + kAppId + ".png");
  for (const std::string& file : files) {
    const std::string made = ReadFileBytes(out.Bytes() + "resources/" + file);
    EXPECT_FALSE(made.empty()) << file;
    EXPECT_TRUE(made == ReadFileBytes(MERVANE_SOURCE_DIR "/resources/" + file))
        << file << " differs from what tools/draw_icon.py draws";
  }
}

}  // namespace
