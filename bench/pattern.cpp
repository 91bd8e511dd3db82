// Speed of the pattern matcher on hostile input: "*a*a*a*a*a*a*b" against 250 letters "a"
// (a backtracking matcher needs exponential time here), against the plain pattern "*b" on the
// same text in the same run.
//
//   bench_pattern [repetitions]     (default 2000)

#include "naming/Pattern.h"

#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

// Average microseconds per FindPattern call.
double MicrosecondsPerCall(const QString& text, const QString& pattern, int repetitions,
                           int& found) {
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < repetitions; ++i) found += FindPattern(text, pattern, 1).Found() ? 1 : 0;
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / repetitions;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (repetitions <= 0) {
    std::fprintf(stderr, "usage: %s [repetitions > 0]\n", argv[0]);
    return 2;
  }
  const QString text(250, QLatin1Char('a'));
  int found = 0;
  const double reference = MicrosecondsPerCall(text, QStringLiteral("*b"), repetitions, found);
  const double hostile =
      MicrosecondsPerCall(text, QStringLiteral("*a*a*a*a*a*a*b"), repetitions, found);
  std::printf("text: 250 x \"a\", %d calls each, %d matches (expected 0)\n", repetitions, found);
  std::printf("reference \"*b\":             %.2f us per call\n", reference);
  std::printf("hostile \"*a*a*a*a*a*a*b\":   %.2f us per call\n", hostile);
  std::printf("ratio (hostile / reference): %.2f\n", hostile / reference);
  // Ten times the text should cost about ten times as much: the matcher is linear in the text.
  const QString longText(2500, QLatin1Char('a'));
  const double hostileLong =
      MicrosecondsPerCall(longText, QStringLiteral("*a*a*a*a*a*a*b"), repetitions / 10 + 1, found);
  std::printf("hostile on 2500 x \"a\":       %.2f us per call (%.1f x the 250-letter time)\n",
              hostileLong, hostileLong / hostile);
  return 0;
}
