// How long a hostile regular expression can hold a run: every search runs under a step limit,
// so "(a+)+b" against a name of 250 letters "a" gives up instead of taking exponential time.
// Measured: that search, against an ordinary expression's search of the same name in the same
// run; then the longest one search takes over a set of hostile expressions on a name of 255
// letters and on a path of 4,096 (a folder condition sees the whole path). The figures are taken
// with PCRE2's JIT as Qt uses it, then again in a child run without it
// (QT_ENABLE_REGEXP_JIT=0), which is where the limit costs most.
//
//   bench_regexlimit [repetitions]     (default 20 per hostile search,
//                                       100 x that for the reference)

#include "naming/RuleRegex.h"

#include <QString>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  double AverageUs = 0;
  double LongestUs = 0;
  RegexOutcome Outcome = RegexOutcome::kNoMatch;
};

Timing TimeSearches(const RuleRegex& expression, const QString& text, int repetitions) {
  Timing timing;
  double total = 0;
  for (int i = 0; i < repetitions; ++i) {
    const Clock::time_point start = Clock::now();
    timing.Outcome = expression.Match(text);
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    total += us;
    timing.LongestUs = std::max(timing.LongestUs, us);
  }
  timing.AverageUs = total / repetitions;
  return timing;
}

const char* OutcomeName(RegexOutcome outcome) {
  switch (outcome) {
    case RegexOutcome::kGaveUp:
      return "gave up";
    case RegexOutcome::kMatched:
      return "matched";
    case RegexOutcome::kNoMatch:
      break;
  }
  return "no match";
}

int Measure(int repetitions) {
  const char* jit = std::getenv("QT_ENABLE_REGEXP_JIT");
  const bool jitOff = jit != nullptr && std::strcmp(jit, "0") == 0;
  std::printf("-- PCRE2 JIT %s\n", jitOff ? "off (QT_ENABLE_REGEXP_JIT=0)" : "on (as Qt uses it)");

  const QString name(250, QLatin1Char('a'));
  const RuleRegex ordinary(QStringLiteral("^(a+)$"), false, RuleRegex::Scope::kAnywhere);
  const RuleRegex hostile(QStringLiteral("(a+)+b"), false, RuleRegex::Scope::kAnywhere);
  const Timing reference = TimeSearches(ordinary, name, repetitions * 100);
  const Timing attack = TimeSearches(hostile, name, repetitions);
  std::printf("name: 250 x \"a\"\n");
  std::printf("reference \"^(a+)$\" (%s):       %10.2f us per search\n",
              OutcomeName(reference.Outcome), reference.AverageUs);
  std::printf("hostile \"(a+)+b\" (%s):        %10.2f us per search, longest %.2f us\n",
              OutcomeName(attack.Outcome), attack.AverageUs, attack.LongestUs);
  std::printf("ratio (hostile / reference):       %10.1f\n",
              attack.AverageUs / reference.AverageUs);
  if (attack.Outcome != RegexOutcome::kGaveUp) {
    std::fprintf(stderr, "the hostile search did not give up\n");
    return 1;
  }

  // The longest one search can take: nested and overlapping repetitions that fail at the end.
  const char* const patterns[] = {"(a+)+b",       "(a*)*b",         "((a*)*)*c",
                                  "(a|aa)+b",     "(a|a?)+b",       "(.*a){20}b",
                                  "(\\w+\\w?)*b", "(a?){30}a{30}b", "^(a+)+$(?<=b)"};
  double longest = 0;
  const char* longestPattern = "";
  int longestLength = 0;
  for (const int length : {255, 4096}) {
    const QString text(length, QLatin1Char('a'));
    for (const char* pattern : patterns) {
      const RuleRegex expression(QString::fromLatin1(pattern), true, RuleRegex::Scope::kAnywhere);
      if (!expression.IsValid()) {
        std::fprintf(stderr, "not an expression: %s\n", pattern);
        return 1;
      }
      const Timing t = TimeSearches(expression, text, std::max(1, repetitions / 4));
      std::printf("  %-16s on %4d letters: %10.2f us per search, longest %10.2f us (%s)\n", pattern,
                  length, t.AverageUs, t.LongestUs, OutcomeName(t.Outcome));
      if (t.LongestUs > longest) {
        longest = t.LongestUs;
        longestPattern = pattern;
        longestLength = length;
      }
    }
  }
  std::printf("longest one hostile search:        %10.2f ms (\"%s\" on %d letters)\n",
              longest / 1000, longestPattern, longestLength);
  std::printf("ratio (longest / reference):       %10.1f\n", longest / reference.AverageUs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 20;
  if (repetitions <= 0) {
    std::fprintf(stderr, "usage: %s [repetitions > 0]\n", argv[0]);
    return 2;
  }
  const int result = Measure(repetitions);
  std::fflush(stdout);
  // The same figures without the JIT, in a child: Qt reads the switch once per process.
  if (result != 0 || std::getenv("QT_ENABLE_REGEXP_JIT") != nullptr) return result;
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("QT_ENABLE_REGEXP_JIT", "0", 1);
    ::execv("/proc/self/exe", argv);
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
  return WEXITSTATUS(status);
}
