#pragma once

#include "records/RunFlags.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The one writer of a run's stop flags (pause, cancel, quit and the asking scope), for every
// front end and for the run procedure. It holds nothing of its own: it is a view over the
// flags, so each part that steers a run makes one over the flags it shares with the run.
//
// The parts below the run can only raise a stop and cannot see this class (the undo journal
// when it cannot write, the full-disk stop of the batch, a stop signal): they get the cancel
// flag itself from StopRequest().
class RunControl {
 public:
  explicit RunControl(RunFlags& flags) : flags_(flags) {}

  // ---- What the flags say ----
  // A batch or test run is between its start and its end.
  bool Running() const;
  bool Cancelled() const;
  bool Paused() const;
  bool Asking() const;
  bool QuitRequested() const;
  // Paused or asking: the processing waits between two files.
  bool Held() const;

  // ---- Stopping ----
  // The run ends after the file in hand; a pause is lifted so that it gets there.
  void Cancel();
  // As Cancel, and the program ends once the run is over.
  void Quit();
  // The program ends once the run is over; the run itself goes on as it is (it was cancelled
  // already, or only its result window is still open).
  void QuitWhenOver();
  // Pause or go on between two files; nothing changes once the run is cancelled. Whether the
  // run is paused afterwards.
  bool TogglePause();
  // The end of the program: the run stops after the file in hand and no question holds it.
  void Abandon();

  // ---- The asking scope ----
  // While a stop question is open the run holds between two files, so that the answer comes
  // before the next file. A question is opened only while the run is not cancelled (false:
  // nothing to ask). Its end with Yes cancels (with `quit` also the program after the run)
  // before it lets the run go on, so that no further file starts after a Yes.
  bool BeginStopQuestion();
  void EndStopQuestion(bool yes, bool quit);
  // The question went without an answer: the run goes on as it was.
  void DropStopQuestion();
  // The whole question for a front end that waits for its answer. True when the run stops:
  // it was cancelled already (`ask` is not called), or `ask` said Yes.
  bool AskToStop(const std::function<bool()>& ask, bool quit);

  // ---- For the run procedure ----
  // A new run begins: every stop flag down. A single-entry run stops after its entry, so its
  // stop request is up from the start.
  void ResetForRun(bool singleEntry);

  // The cancel flag, for the parts below the run that raise it themselves.
  std::atomic<int32_t>* StopRequest() { return &flags_.RunCancelled; }
  // SIGINT and SIGTERM raise the stop request (the handlers must be installed).
  void WatchStopSignal();

 private:
  RunFlags& flags_;
};
