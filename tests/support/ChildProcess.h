#pragma once

#include <string>
#include <vector>

// Running a program as a child process, as a user or a script would: arguments and
// environment as raw bytes (so names that are not UTF-8 reach it as they are), standard input
// empty, standard output and standard error captured whole.

struct ChildResult {
  int exitCode = -1;  // -1 when it did not end normally (a signal, or the time ran out)
  std::string out;
  std::string err;
};

// Runs argv[0] with `argv` in `workFolder` with exactly `environment` ("NAME=value" entries).
// A child still running after `timeoutSeconds` is killed and fails the calling test.
ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const std::string& workFolder,
                     int timeoutSeconds = 60);

// This process's environment without the variables named (and without any "NAME=" that
// `overrides` sets), followed by `overrides`.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides,
                                         const std::vector<std::string>& without = {});

// Runs a program from a Debian package that makes a test's sample file (`argv[0]` is its name,
// looked up on PATH), in `workFolder`. A missing program or a failed run fails the calling test
// with a message that names the package to install; returns whether it ran and succeeded.
bool RunDebianTool(const std::vector<std::string>& argv, const std::string& package,
                   const std::string& workFolder);
