#include "run/RunControl.h"

#include "platform/Signals.h"

namespace {

using std::memory_order_relaxed;

bool Up(const std::atomic<int32_t>& flag) {
  return flag.load(memory_order_relaxed) != 0;
}

}  // namespace

bool RunControl::Running() const {
  return Up(flags_.RunActive) || Up(flags_.RunSingle);
}

bool RunControl::Cancelled() const {
  return Up(flags_.RunCancelled);
}

bool RunControl::Paused() const {
  return Up(flags_.RunPaused);
}

bool RunControl::Asking() const {
  return Up(flags_.RunAsking);
}

bool RunControl::QuitRequested() const {
  return Up(flags_.QuitRequested);
}

bool RunControl::Held() const {
  return Paused() || Asking();
}

void RunControl::Cancel() {
  // The stop first: a processing thread let go by the pause must find it.
  flags_.RunCancelled.store(1, memory_order_relaxed);
  flags_.RunPaused.store(0, memory_order_relaxed);
}

void RunControl::Quit() {
  flags_.RunCancelled.store(1, memory_order_relaxed);
  flags_.QuitRequested.store(1, memory_order_relaxed);
  flags_.RunPaused.store(0, memory_order_relaxed);
}

void RunControl::QuitWhenOver() {
  flags_.QuitRequested.store(1, memory_order_relaxed);
}

bool RunControl::TogglePause() {
  if (Cancelled()) return Paused();
  const bool paused = !Paused();
  flags_.RunPaused.store(paused ? 1 : 0, memory_order_relaxed);
  return paused;
}

void RunControl::Abandon() {
  flags_.RunCancelled.store(1, memory_order_relaxed);
  flags_.RunPaused.store(0, memory_order_relaxed);
  flags_.RunAsking.store(0, memory_order_relaxed);
}

bool RunControl::BeginStopQuestion() {
  if (Cancelled()) return false;
  flags_.RunAsking.store(1, memory_order_relaxed);
  return true;
}

void RunControl::EndStopQuestion(bool yes, bool quit) {
  if (yes) {
    if (quit)
      Quit();
    else
      Cancel();
  }
  flags_.RunAsking.store(0, memory_order_relaxed);
}

void RunControl::DropStopQuestion() {
  flags_.RunAsking.store(0, memory_order_relaxed);
}

bool RunControl::AskToStop(const std::function<bool()>& ask, bool quit) {
  if (!BeginStopQuestion()) return true;
  const bool yes = ask();
  EndStopQuestion(yes, quit);
  return yes;
}

void RunControl::ResetForRun(bool singleEntry) {
  for (auto* flag : {&flags_.RunPaused, &flags_.RunCancelled, &flags_.RunAsking,
                     &flags_.QuitRequested})
    flag->store(0, memory_order_relaxed);
  if (singleEntry) flags_.RunCancelled.store(1, memory_order_relaxed);
}

void RunControl::WatchStopSignal() {
  ::WatchStopSignal(flags_.RunCancelled);
}
