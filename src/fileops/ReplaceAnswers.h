#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// Answers to the question whether an existing target is to be replaced.
enum ReplaceAnswer : int32_t {
  kAnswerClosed = -1,     // the question was closed or escaped: treated as leave
  kAnswerLeave = 0,       // leave this one
  kAnswerReplace = 1,     // replace this one
  kAnswerReplaceAll = 2,  // replace this and every later one without asking
  kAnswerLeaveAll = 3,    // leave this and every later one without asking
};

// Asks the user about one existing target (full path); returns one of the answers above.
using AskReplaceFunction = std::function<int32_t(const QString& targetPath)>;

// The answer memory of one run. Answers 2 and 3 settle every later clash; answers 1 and 0 hold
// for the one clash, and the next clash asks again.
class ReplaceAnswers {
 public:
  // `initial` is 0 (ask), 2 (a single-entry run replaces) or 3 (a console run never replaces).
  // Without an `ask` function a clash that would have to be asked is left.
  explicit ReplaceAnswers(int32_t initial = kAnswerLeave, AskReplaceFunction ask = {});

  // Decides one clash at `targetPath`: true when the existing file is to be replaced.
  bool ShouldReplace(const QString& targetPath);

  int32_t Memory() const { return memory_; }

 private:
  int32_t memory_;
  AskReplaceFunction ask_;
};
