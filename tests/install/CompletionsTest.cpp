// The shell completions and the manual page know every option the program's help names, and
// the completions offer them (and the preset numbers) in the real shells.

#include "install/InstallSupport.h"

#include "support/Lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

namespace {

std::string Share(const std::string& relative) {
  return InstalledTree::Get().Path("share/" + relative);
}

// The options as the program's own help lists them (" -Preset=[0-9]" gives "-Preset="), and
// the spellings of help and version that it accepts besides.
std::set<std::string> ProgramOptions() {
  TempDir home;
  const ChildResult help =
      RunChild({MERVANE_BINARY, "-Help"},
               EnvironmentWith({"HOME=" + home.Bytes(), "XDG_CONFIG_HOME=" + home.Bytes(),
                                "XDG_RUNTIME_DIR=" + home.Bytes(), "LANG=C.UTF-8"}),
               home.Bytes());
  EXPECT_EQ(help.exitCode, 0) << help.err;
  std::set<std::string> options = {"-Help", "-?", "--help", "-h", "--version", "--"};
  for (const std::string& line : SplitLines(help.out)) {
    if (line.rfind(" -", 0) != 0) continue;
    std::string option = line.substr(1);
    option = option.substr(0, option.find('['));
    options.insert(option);
  }
  EXPECT_GE(options.size(), 14u);
  return options;
}

bool IsOptionCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

// `option` stands in `text` as a word of its own (an option ending in "=" may run on).
bool HasOption(const std::string& text, const std::string& option) {
  for (size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
    const bool startOk = at == 0 || !IsOptionCharacter(text[at - 1]);
    const size_t end = at + option.size();
    const bool endOk = option.back() == '=' || end == text.size() || !IsOptionCharacter(text[end]);
    if (startOk && endOk) return true;
  }
  return false;
}

std::string Unescaped(std::string text, const std::string& escape, const std::string& plain) {
  for (size_t at = text.find(escape); at != std::string::npos; at = text.find(escape, at))
    text.replace(at, escape.size(), plain), at += plain.size();
  return text;
}

TEST(Completions, ManPageAndEveryShellKnowEveryOption) {
  ASSERT_EQ(InstalledTree::Get().InstallResult().exitCode, 0);
  struct Source {
    const char* name;
    std::string text;
  };
  const Source sources[] = {
      {"man page", Unescaped(ReadFileBytes(MERVANE_SOURCE_DIR "/resources/man/mervane.1"), "\\-",
                             "-")},
      {"bash", ReadFileBytes(Share("bash-completion/completions/mervane"))},
      {"zsh", Unescaped(ReadFileBytes(Share("zsh/vendor-completions/_mervane")), "\\?", "?")},
      {"fish", ReadFileBytes(Share("fish/vendor_completions.d/mervane.fish"))},
  };
  for (const std::string& option : ProgramOptions())
    for (const Source& source : sources) {
      ASSERT_FALSE(source.text.empty()) << source.name;
      EXPECT_TRUE(HasOption(source.text, option)) << source.name << " lacks " << option;
    }
}

struct CompletionCase {
  const char* line;      // what is typed before Tab
  const char* expected;  // the candidates, separated by blanks
};

// Bash asks the completion function with the words split at its word breaks, "=" among them.
const char kBashHarness[] = R"SH(
source "$1"
shift
for line in "$@"; do
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMP_WORDBREAKS=${COMP_WORDBREAKS:-$' \t\n"'"'"'><=;|&(:'}
  read -ra COMP_WORDS <<< "${line//=/ = }"
  [[ $line == *" " || $line == *"=" ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _mervane mervane "${COMP_WORDS[COMP_CWORD]}" 2>/dev/null
  echo "${COMPREPLY[*]}"
done
)SH";

TEST(Completions, BashOffersOptionsPresetNumbersAndLeavesPathsToItself) {
  const CompletionCase cases[] = {
      {"mervane -Pre", "-Preset="},
      {"mervane -Preset=", "0 1 2 3 4 5 6 7 8 9"},
      {"mervane -preset=", "0 1 2 3 4 5 6 7 8 9"},
      {"mervane -Console -Preset=3", "3"},
      {"mervane --u", "--undo --undo="},
      {"mervane --dr", "--dry-run"},
      {"mervane -Ig", "-IgnoreWarning"},
      {"mervane -", "-Console -Preset= -IgnoreWarning -Portable -Uninstall -Help -? --help -h "
                    "--version --dry-run --undo --undo= --list-runs --"},
      // Paths are bash's own file-name completion, also after "--" for names like "-a.txt".
      {"mervane pho", ""},
      {"mervane -Console -- -", ""},
  };
  TempDir dir;
  const std::string harness = dir.WriteFile("harness.sh", kBashHarness);
  std::vector<std::string> args = {harness, Share("bash-completion/completions/mervane")};
  for (const CompletionCase& c : cases) args.push_back(c.line);
  const ChildResult r = RunTool("bash", args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), std::size(cases)) << r.out;
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], cases[i].expected) << cases[i].line;
}

TEST(Completions, FishOffersOptionsAndPresetNumbers) {
  const CompletionCase cases[] = {
      {"mervane -Pre",
       "-Preset=0 -Preset=1 -Preset=2 -Preset=3 -Preset=4 -Preset=5 -Preset=6 -Preset=7 "
       "-Preset=8 -Preset=9"},
      {"mervane -Con", "-Console"},
      {"mervane -Console --dr", "--dry-run"},
      {"mervane --li", "--list-runs"},
      // After "--" only paths: the folder holds "-draft.txt".
      {"mervane -- -", "-draft.txt"},
  };
  TempDir dir;
  dir.WriteFile("-draft.txt");
  for (const CompletionCase& c : cases) {
    const ChildResult r = RunTool(
        "fish",
        {"--no-config", "-c",
         "source " + Share("fish/vendor_completions.d/mervane.fish") + "; complete -C '" +
             c.line + "'"},
        {}, dir.Bytes());
    ASSERT_EQ(r.exitCode, 0) << c.line << r.err;
    std::string candidates;
    for (const std::string& line : SplitLines(r.out))
      candidates += (candidates.empty() ? "" : " ") + line.substr(0, line.find('\t'));
    EXPECT_EQ(candidates, c.expected) << c.line;
  }
}

TEST(Completions, ZshCompletionIsValidZsh) {
  const ChildResult r = RunTool("zsh", {"-n", Share("zsh/vendor-completions/_mervane")});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // zsh finds the function by the first line.
  EXPECT_EQ(SplitLines(ReadFileBytes(Share("zsh/vendor-completions/_mervane"))).front(),
            "#compdef mervane");
}

}  // namespace
