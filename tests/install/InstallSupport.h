#pragma once

// The files `cmake --install` puts into a prefix, installed from this build into a temporary
// folder, and the system's tools that check them.

#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

inline const char* const kAppId = "org.example.mervane";

// The full path of a program on PATH, or empty.
inline std::string FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Runs a system tool with this process's environment (plus `extra`) in `folder`; a tool that
// is missing fails the test, since tools/install-deps.sh installs every one of them.
inline ChildResult RunTool(const std::string& name, std::vector<std::string> args,
                           const std::vector<std::string>& extra = {},
                           const std::string& folder = "/") {
  const std::string tool = FindTool(name);
  if (tool.empty()) {
    ADD_FAILURE() << name << " is not installed (tools/install-deps.sh installs it)";
    return {};
  }
  args.insert(args.begin(), tool);
  return RunChild(args, EnvironmentWith(extra), folder, 120);
}

// This build installed into a temporary prefix, once per test program.
class InstalledTree {
 public:
  static const InstalledTree& Get() {
    static const InstalledTree tree;
    return tree;
  }
  // The prefix, with a final "/".
  // Laid out as in a package, so that the tree validators find it: ROOT/usr/.
  std::string Root() const { return dir_.Bytes() + "root/"; }
  std::string Prefix() const { return Root() + "usr/"; }
  std::string Path(const std::string& relative) const { return Prefix() + relative; }
  const ChildResult& InstallResult() const { return install_; }

 private:
  InstalledTree() {
    install_ = RunTool("cmake", {"--install", MERVANE_BUILD_DIR, "--prefix", Prefix()});
  }
  TempDir dir_;
  ChildResult install_;
};
