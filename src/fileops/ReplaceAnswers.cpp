#include "fileops/ReplaceAnswers.h"

#include <utility>

ReplaceAnswers::ReplaceAnswers(int32_t initial, AskReplaceFunction ask)
    : memory_(initial), ask_(std::move(ask)) {}

bool ReplaceAnswers::ShouldReplace(const QString& targetPath) {
  if (memory_ != kAnswerReplaceAll && memory_ != kAnswerLeaveAll) {
    const int32_t answer = ask_ ? ask_(targetPath) : kAnswerLeave;
    switch (answer) {
      case kAnswerReplace:
      case kAnswerReplaceAll:
      case kAnswerLeaveAll:
        memory_ = answer;
        break;
      default:  // leave, closed, or anything unknown: nothing is replaced
        memory_ = kAnswerLeave;
        break;
    }
  }
  return memory_ == kAnswerReplace || memory_ == kAnswerReplaceAll;
}
