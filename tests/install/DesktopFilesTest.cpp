// The desktop's files as installed: each passes the validator the desktop's tools use, and
// every way a file manager starts Mervane hands the selection over as the menu entry does.

#include "install/InstallSupport.h"

#include "support/Lines.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

// The groups and keys of a desktop-entry style file.
KeyFile ReadKeyFile(const std::string& path) {
  KeyFile groups;
  std::string group;
  for (const std::string& line : SplitLines(ReadFileBytes(path))) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      group = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t equals = line.find('=');
    if (equals != std::string::npos)
      groups[group][line.substr(0, equals)] = line.substr(equals + 1);
  }
  return groups;
}

std::string Share(const std::string& relative) {
  return InstalledTree::Get().Path("share/" + relative);
}

const std::string kApp = kAppId;

struct Validator {
  const char* name;
  std::string tool;
  std::vector<std::string> args;
  std::string expectedOut;  // the whole standard output
};

TEST(DesktopFiles, EachPassesItsValidator) {
  ASSERT_EQ(InstalledTree::Get().InstallResult().exitCode, 0);
  const std::string man = Share("man/man1/mervane.1.gz");
  const Validator validators[] = {
      {"desktop entry", "desktop-file-validate", {Share("applications/" + kApp + ".desktop")}, ""},
      {"metainfo",
       "appstreamcli",
       {"validate", "--no-net", "--pedantic", "--no-color",
        Share("metainfo/" + kApp + ".metainfo.xml")},
       "\xE2\x9C\x94 Validation was successful.\n"},
      // The metainfo, the menu entry and the icon together, as a software centre reads them.
      {"installed tree",
       "appstreamcli",
       {"validate-tree", "--no-net", "--pedantic", "--no-color", InstalledTree::Get().Root()},
       "\xE2\x9C\x94 Validation was successful.\n"},
      {"manual page (mandoc)", "mandoc", {"-Tlint", "-Wall", man}, ""},
      {"manual page (lexgrog)",
       "lexgrog",
       {man},
       man + ": \"mervane - rename, copy and move files in batches\"\n"},
  };
  for (const Validator& v : validators) {
    const ChildResult r = RunTool(v.tool, v.args);
    EXPECT_EQ(r.exitCode, 0) << v.name << "\n" << r.out << r.err;
    EXPECT_EQ(r.out, v.expectedOut) << v.name;
    EXPECT_EQ(r.err, "") << v.name;
  }
}

TEST(DesktopFiles, ManPageRendersWithEverySection) {
  const ChildResult r = RunTool("man", {"--warnings", "-l", Share("man/man1/mervane.1.gz")},
                                {"MANWIDTH=80", "MANPAGER=cat", "PAGER=cat", "LANG=C.UTF-8"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "CONSOLE MODE",
                              "DRY RUN", "UNDO", "EXIT STATUS", "ENVIRONMENT", "FILES"})
    EXPECT_NE(r.out.find(std::string("\n") + section + "\n"), std::string::npos) << section;
  for (int code = 0; code <= 3; ++code)
    EXPECT_NE(r.out.find("\n       " + std::to_string(code) + "      "), std::string::npos)
        << "exit code " << code;
}

TEST(DesktopFiles, MenuEntryStartsMervaneWithTheFilesInBothLanguages) {
  KeyFile entry = ReadKeyFile(Share("applications/" + kApp + ".desktop"));
  std::map<std::string, std::string>& keys = entry["Desktop Entry"];
  EXPECT_EQ(keys["Exec"], "mervane %F");
  EXPECT_EQ(keys["Icon"], kApp);
  EXPECT_EQ(keys["Type"], "Application");
  EXPECT_EQ(keys["Terminal"], "false");
  EXPECT_NE(keys["Categories"].find("Utility;"), std::string::npos);
  for (const char* key : {"Name", "Name[de]", "GenericName", "GenericName[de]", "Comment",
                          "Comment[de]", "Keywords", "Keywords[de]"})
    EXPECT_FALSE(keys[key].empty()) << key;
  EXPECT_NE(keys["Comment"], keys["Comment[de]"]);
  // The metainfo names this entry; the window names it to the desktop too.
  EXPECT_NE(ReadFileBytes(Share("metainfo/" + kApp + ".metainfo.xml"))
                .find("<launchable type=\"desktop-id\">" + kApp + ".desktop</launchable>"),
            std::string::npos);
}

struct ActionKey {
  const char* file;
  const char* group;
  const char* key;
  std::string value;
};

TEST(DesktopFiles, FileManagerActionsStartMervaneAsTheMenuEntryDoes) {
  const std::string exec =
      ReadKeyFile(Share("applications/" + kApp + ".desktop"))["Desktop Entry"]["Exec"];
  const std::string dolphin = "kio/servicemenus/" + kApp + ".rename.desktop";
  const std::string nemo = "nemo/actions/" + kApp + ".rename.nemo_action";
  const ActionKey keys[] = {
      {dolphin.c_str(), "Desktop Entry", "Type", "Service"},
      {dolphin.c_str(), "Desktop Entry", "MimeType", "all/all;"},  // files and folders
      {dolphin.c_str(), "Desktop Entry", "Actions", "renameWithMervane;"},
      {dolphin.c_str(), "Desktop Action renameWithMervane", "Exec", exec},
      {dolphin.c_str(), "Desktop Action renameWithMervane", "Name", "Rename with Mervane"},
      {dolphin.c_str(), "Desktop Action renameWithMervane", "Name[de]", "Mit Mervane umbenennen"},
      {dolphin.c_str(), "Desktop Action renameWithMervane", "Icon", kApp},
      {nemo.c_str(), "Nemo Action", "Exec", exec},
      {nemo.c_str(), "Nemo Action", "Name", "Rename with Mervane"},
      {nemo.c_str(), "Nemo Action", "Name[de]", "Mit Mervane umbenennen"},
      {nemo.c_str(), "Nemo Action", "Selection", "notnone"},
      {nemo.c_str(), "Nemo Action", "Extensions", "any;"},  // files and folders
      {nemo.c_str(), "Nemo Action", "Icon-Name", kApp},
      {nemo.c_str(), "Nemo Action", "Active", "true"},
  };
  for (const ActionKey& k : keys) {
    KeyFile file = ReadKeyFile(Share(k.file));
    EXPECT_EQ(file[k.group][k.key], k.value) << k.file << " [" << k.group << "] " << k.key;
  }
}

// Nautilus runs the extension inside itself; here it runs against a stand-in of the three
// GObject modules it uses, which records what it would start.
const char kNautilusHarness[] = R"PY(
import importlib.util, sys, types

started = []

class Location:
    def __init__(self, path): self.path = path
    def get_path(self): return self.path

class FileInfo:
    def __init__(self, path): self.location = Location(path)
    def get_location(self): return self.location

class MenuItem:
    def __init__(self, name, label, icon):
        self.label, self.icon, self.handlers = label, icon, []
    def connect(self, signal, handler): self.handlers.append((signal, handler))

class App:
    def __init__(self, desktop_id): self.desktop_id = desktop_id
    def launch(self, files, context):
        started.append(self.desktop_id + " " + "|".join(f.get_path() for f in files))

repository = types.ModuleType("gi.repository")
repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
repository.Nautilus = types.SimpleNamespace(MenuProvider=type("MenuProvider", (), {}),
                                            MenuItem=MenuItem)
repository.Gio = types.SimpleNamespace(DesktopAppInfo=types.SimpleNamespace(new=App))
gi = types.ModuleType("gi")
gi.repository = repository
sys.modules["gi"] = gi
sys.modules["gi.repository"] = repository

found = importlib.util.spec_from_file_location("extension", sys.argv[1])
extension = importlib.util.module_from_spec(found)
found.loader.exec_module(extension)
menu = extension.MervaneRenameMenu()

# Nautilus 43 passes the files alone; a file of another machine has no local path.
items = menu.get_file_items([FileInfo("/home/ana/a b.txt"), FileInfo(None), FileInfo("/srv/f")])
print(len(items), items[0].label, items[0].icon)
signal, handler = items[0].handlers[0]
handler(items[0])
print(signal, started[0])
# Older versions pass the window first; nothing local, nothing offered.
print(menu.get_file_items("window", [FileInfo(None)]))
)PY";

TEST(DesktopFiles, NautilusExtensionHandsTheLocalFilesToTheMenuEntry) {
  TempDir dir;
  const std::string harness = dir.WriteFile("harness.py", kNautilusHarness);
  const ChildResult r =
      RunTool("python3", {harness, Share("nautilus-python/extensions/" + kApp + ".rename.py")},
              {"LANG=C.UTF-8", "LC_ALL=", "LC_MESSAGES="});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(
      SplitLines(r.out),
      (std::vector<std::string>{"1 Rename with Mervane " + kApp,
                                "activate " + kApp + ".desktop /home/ana/a b.txt|/srv/f", "[]"}));
}

}  // namespace
