#include "settings/Locations.h"

#include "settings/SettingsHeader.h"
#include "support/TempDir.h"
#include "texts/ProductTitle.h"
#include "texts/TextLoader.h"
#include "texts/TextTables.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string Bytes(const QByteArray& bytes) {
  return bytes.toStdString();
}

// A settings-file header followed by `tail`, for the given title and version.
std::string SettingsFile(const QString& title, const QString& version, const std::string& tail) {
  SettingsWriter out;
  WriteHeader(out, title, version);
  return Bytes(out.Bytes()) + tail;
}

std::string CurrentFile(const std::string& tail) {
  return SettingsFile(FileNameTitle(), ProductTexts[kProductVersion], tail);
}

// Points the configuration folder at a temporary folder for one test and puts it back after.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (hadOld_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

class Locations : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(LoadProductTexts()); }

  std::string ProgramDir() const { return dir_.Bytes() + "program/"; }
  QString Prefix() const { return PortablePrefix(QString::fromStdString(ProgramDir())); }
  std::string PrefixBytes() const { return Prefix().toStdString(); }
  std::string ConfigDir() const { return dir_.Bytes() + "config/"; }
  std::string UserDir() const { return ConfigDir() + PlainTitle().toStdString() + "/"; }

  TempDir dir_;
  ScopedEnv config_{"XDG_CONFIG_HOME", dir_.Bytes() + "config"};
};

TEST_F(Locations, PortablePrefixIsProgramFolderAndFileNameTitle) {
  EXPECT_EQ(PortablePrefix(QStringLiteral("/opt/app/")),
            QStringLiteral("/opt/app/") + FileNameTitle() + QLatin1Char('_'));
}

TEST_F(Locations, DetectPortableNeedsACurrentFile) {
  struct Case {
    const char* label;
    const char* name;  // file beside the program, after the prefix
    std::string content;
    bool expected;
  };
  const Case cases[] = {
      {"current language file", "Language", CurrentFile("\x01"), true},
      {"current presets file", "Presets", CurrentFile(std::string(1, '\0')), true},
      {"other version", "Language", SettingsFile(FileNameTitle(), "1.0", "\x01"), false},
      {"foreign program", "Presets",
       SettingsFile(QStringLiteral("Other"), ProductTexts[kProductVersion], ""), false},
      {"empty file", "Language", "", false},
      {"garbage", "Presets", "not a settings file\n", false},
      {"name differs in case", "Language",
       SettingsFile(FileNameTitle().toUpper(), ProductTexts[kProductVersion], "\x01"), false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string program = dir.MakeDir("program");
    const QString prefix = PortablePrefix(QString::fromStdString(program));
    dir.WriteFile("program/" + (FileNameTitle() + QLatin1Char('_')).toStdString() + c.name,
                  c.content);
    EXPECT_EQ(DetectPortable(prefix), c.expected) << c.label;
  }
}

TEST_F(Locations, DetectPortableIgnoresDirectoriesAndMissingFiles) {
  dir_.MakeDir("program");
  EXPECT_FALSE(DetectPortable(Prefix()));
  dir_.MakeDir("program/" + (FileNameTitle() + QLatin1Char('_')).toStdString() + "Language");
  EXPECT_FALSE(DetectPortable(Prefix()));
}

TEST_F(Locations, PerUserFolderIsCreatedWithItsConfigurationFolder) {
  // The configuration folder does not exist yet, as on a fresh account.
  const QString folder = PerUserSettingsFolder(Prefix());
  EXPECT_EQ(folder.toStdString(), UserDir());
  EXPECT_TRUE(PathExists(UserDir()));
  struct stat st {};
  ASSERT_EQ(::stat(ConfigDir().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A second call finds it.
  EXPECT_EQ(PerUserSettingsFolder(Prefix()).toStdString(), UserDir());
}

TEST_F(Locations, PerUserFolderFallsBackToPortablePrefix) {
  // The configuration "folder" is a file: nothing can be created below it.
  dir_.WriteFile("config", "x");
  EXPECT_EQ(PerUserSettingsFolder(Prefix()), Prefix());
}

TEST_F(Locations, RelativeConfigHomeIsIgnored) {
  const ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
  const ScopedEnv home("HOME", dir_.Bytes() + "home");
  EXPECT_EQ(PerUserFolderPath().toStdString(),
            dir_.Bytes() + "home/.config/" + PlainTitle().toStdString() + "/");
}

TEST_F(Locations, LanguageChoice) {
  const int32_t system = SystemLanguageIndex();
  struct Case {
    const char* label;
    bool present;
    std::string content;
    int32_t expected;
  };
  const Case cases[] = {
      {"German stored", true, CurrentFile(std::string(1, '\0')), 0},
      {"English stored", true, CurrentFile("\x01"), 1},
      {"byte 2 ignored", true, CurrentFile("\x02"), system},
      {"byte -1 ignored", true, CurrentFile("\xFF"), system},
      {"cut after header", true, CurrentFile(""), system},
      {"other version", true,
       SettingsFile(FileNameTitle(), "1.0", std::string(1, system == 0 ? '\x01' : '\0')), system},
      {"foreign", true, "whatever", system},
      {"missing", false, "", system},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const QString file = dir.Path() + QLatin1String("Language");
    if (c.present) dir.WriteFile("Language", c.content);
    EXPECT_EQ(ChooseLanguage(file), c.expected) << c.label;
  }
}

TEST_F(Locations, SavedLanguageIsChosenAndForgotten) {
  const QString file = dir_.Path() + QLatin1String("Language");
  for (const int32_t index : {0, 1}) {
    ASSERT_TRUE(SaveLanguage(file, index));
    EXPECT_EQ(ChooseLanguage(file), index);
    EXPECT_EQ(ReadFileBytes(file.toStdString()), CurrentFile(std::string(1, char(index))));
  }
  EXPECT_TRUE(ForgetLanguage(file));
  EXPECT_FALSE(PathExists(file.toStdString()));
  EXPECT_EQ(ChooseLanguage(file), SystemLanguageIndex());
  EXPECT_TRUE(ForgetLanguage(file));  // nothing there: still fine
}

TEST_F(Locations, SaveLanguageIntoMissingFolderFailsAndLeavesNothing) {
  EXPECT_FALSE(SaveLanguage(dir_.Path() + QLatin1String("missing/Language"), 1));
  EXPECT_FALSE(PathExists(dir_.Bytes() + "missing"));
}

TEST_F(Locations, UninstallRemovesBothLocations) {
  struct Case {
    const char* label;
    bool perUser;
    bool portable;
  };
  const Case cases[] = {{"both", true, true},
                        {"per-user only", true, false},
                        {"portable only", false, true},
                        {"none", false, false}};
  for (const Case& c : cases) {
    TempDir dir;
    const ScopedEnv config("XDG_CONFIG_HOME", dir.Bytes() + "config");
    const std::string program = dir.MakeDir("program");
    const std::string prefix = program + (FileNameTitle() + QLatin1Char('_')).toStdString();
    const std::string userDir = dir.Bytes() + "config/" + PlainTitle().toStdString() + "/";
    if (c.perUser) {
      dir.WriteFile("config/" + PlainTitle().toStdString() + "/Language", "x");
      dir.WriteFile("config/" + PlainTitle().toStdString() + "/Presets", "y");
      dir.WriteFile("config/" + PlainTitle().toStdString() + "/Window.ini", "[a]");
    }
    if (c.portable) {
      dir.WriteFile("program/" + (FileNameTitle() + QLatin1Char('_')).toStdString() + "Language",
                    "x");
      dir.WriteFile("program/" + (FileNameTitle() + QLatin1Char('_')).toStdString() + "Presets",
                    "y");
      dir.WriteFile(
          "program/" + (FileNameTitle() + QLatin1Char('_')).toStdString() + "Window.ini", "[a]");
    }
    // Neighbours that are not settings files stay.
    dir.WriteFile("program/mervane", "binary");
    dir.WriteFile("config/other-app/settings", "keep");

    EXPECT_TRUE(RemoveAllSettings(QString::fromStdString(prefix)).isEmpty()) << c.label;
    EXPECT_FALSE(PathExists(userDir)) << c.label;
    EXPECT_FALSE(PathExists(prefix + "Language")) << c.label;
    EXPECT_FALSE(PathExists(prefix + "Presets")) << c.label;
    EXPECT_FALSE(PathExists(prefix + "Window.ini")) << c.label;
    EXPECT_EQ(ReadFileBytes(program + "mervane"), "binary") << c.label;
    EXPECT_EQ(ReadFileBytes(dir.Bytes() + "config/other-app/settings"), "keep") << c.label;
  }
}

TEST_F(Locations, UninstallRemovesOnlyItsOwnFilesAndReportsWhatStays) {
  // The user's own files in the per-user folder stay, and so does the folder with them.
  dir_.WriteFile("config/" + PlainTitle().toStdString() + "/Language", "x");
  dir_.WriteFile("config/" + PlainTitle().toStdString() + "/Presets.old", "mine");
  dir_.WriteFile("config/" + PlainTitle().toStdString() + "/kept/notes.txt", "mine");
  dir_.MakeDir("program");
  // A portable "file" that is a folder with content cannot be deleted as a file.
  dir_.WriteFile("program/" + (FileNameTitle() + QLatin1Char('_')).toStdString() + "Presets/x",
                 "x");
  const QStringList remaining = RemoveAllSettings(Prefix());
  ASSERT_EQ(remaining.size(), 1);
  EXPECT_EQ(remaining[0], Prefix() + QLatin1String("Presets"));
  EXPECT_FALSE(PathExists(UserDir() + "Language"));
  EXPECT_EQ(ReadFileBytes(UserDir() + "Presets.old"), "mine");
  EXPECT_EQ(ReadFileBytes(UserDir() + "kept/notes.txt"), "mine");
}

TEST_F(Locations, UninstallNeverFollowsALinkInPlaceOfThePerUserFolder) {
  // The per-user folder is kept in a dotfiles repository and linked into place.
  dir_.WriteFile("dotfiles/mervane/Language", "x");
  dir_.WriteFile("dotfiles/mervane/Presets", "y");
  dir_.WriteFile("dotfiles/mervane/README", "mine");
  dir_.MakeDir("config");
  std::string link = UserDir();
  link.pop_back();
  ASSERT_EQ(::symlink((dir_.Bytes() + "dotfiles/mervane").c_str(), link.c_str()), 0);
  const QStringList remaining = RemoveAllSettings(Prefix());
  ASSERT_EQ(remaining.size(), 1);
  EXPECT_EQ(remaining[0].toStdString(), UserDir());
  struct stat st {};
  EXPECT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  for (const char* name : {"Language", "Presets", "README"})
    EXPECT_TRUE(PathExists(dir_.Bytes() + "dotfiles/mervane/" + name)) << name;
}

TEST_F(Locations, UninstallWithoutTitleNeverTouchesTheConfigurationFolder) {
  // Without a title the per-user folder would be the configuration folder itself.
  dir_.WriteFile("config/other.conf", "keep");
  const QString title = ProductTexts[kProductName];
  ProductTexts[kProductName].clear();
  EXPECT_TRUE(PerUserFolderPath().isEmpty());
  RemoveAllSettings(Prefix());
  ProductTexts[kProductName] = title;
  EXPECT_EQ(ReadFileBytes(ConfigDir() + "other.conf"), "keep");
}

// The system language is read once per process, so each locale is tried in a fresh copy of
// this test program that only runs the probe below.
constexpr const char* kProbeVariable = "MERVANE_LANGUAGE_PROBE";

TEST(LanguageProbe, PrintSystemLanguage) {
  if (std::getenv(kProbeVariable) == nullptr) GTEST_SKIP() << "only run as a child";
  std::printf("language=%d\n", SystemLanguageIndex());
}

TEST(SystemLanguage, FollowsLocaleVariables) {
  struct Case {
    const char* label;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    int expected;
  };
  const Case cases[] = {
      {"German LANG", nullptr, nullptr, "de_DE.UTF-8", 0},
      {"Austrian LANG", nullptr, nullptr, "de_AT", 0},
      {"English LANG", nullptr, nullptr, "en_US.UTF-8", 1},
      {"French LANG", nullptr, nullptr, "fr_FR.UTF-8", 1},
      {"C locale", nullptr, nullptr, "C", 1},
      {"nothing set", nullptr, nullptr, nullptr, 1},
      {"LC_ALL German beats LANG", "de_CH.UTF-8", nullptr, "en_GB.UTF-8", 0},
      {"LC_ALL English beats LANG", "en_US.UTF-8", nullptr, "de_DE.UTF-8", 1},
      {"LC_MESSAGES German", nullptr, "de_DE.UTF-8", "en_US.UTF-8", 0},
  };
  for (const Case& c : cases) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE", "LC_NUMERIC"})
      env.remove(QString::fromLatin1(name));
    if (c.lcAll) env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(c.lcAll));
    if (c.lcMessages) env.insert(QStringLiteral("LC_MESSAGES"), QString::fromLatin1(c.lcMessages));
    if (c.lang) env.insert(QStringLiteral("LANG"), QString::fromLatin1(c.lang));
    env.insert(QString::fromLatin1(kProbeVariable), QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("/proc/self/exe"),
                {QStringLiteral("--gtest_filter=LanguageProbe.PrintSystemLanguage")});
    ASSERT_TRUE(child.waitForFinished(60000)) << c.label;
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("language=%1\n").arg(c.expected)))
        << c.label << ": " << out.toStdString();
  }
}

}  // namespace
