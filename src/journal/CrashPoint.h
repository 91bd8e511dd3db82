#pragma once

#include <cstdint>

// Where a crash test makes a run or an undo end abruptly (SIGKILL), so that undo can be tried
// on what it left, or stop (SIGSTOP) while it holds its journal, so that a second process can
// meet it there. Set by the environment variable MERVANE_TEST_KILL_AT="<point>:<n>" (or
// MERVANE_TEST_STOP_AT for a stop), read only in a build with MERVANE_TEST_SWITCHES; nothing
// else sets it.
struct JournalCrashPoint {
  enum class Point : int8_t {
    None,
    Written,  // "written": the n-th group of intents is written, not yet synced
    Synced,   // "synced": the n-th group of intents is synced, none of its operations done
    Acted,    // "acted": the n-th operation is done, its outcome not yet recorded
    // "laststep": right before the n-th step that puts a file in place (every move calls it
    // once before its rename; a copy, or a move across file systems, calls it once more when its
    // copy is complete, before the rename of the copy into place).
    LastStep,
    Placed,  // "placed": the n-th move across file systems has its copy in place
    // "aside": the n-th file is renamed aside to be checked before its removal (the source of a
    // move across file systems, or a copy an undo removes)
    Aside,
    Undone,  // "undone": an undo has carried out its n-th entry, its record not yet written
  };
  Point Where = Point::None;
  int64_t Count = 0;
  bool Stop = false;  // stop the process instead of ending it
};

JournalCrashPoint CrashPointFromEnvironment();

// Installs the file operations' test hooks for the points inside a copy or a move (laststep,
// placed, aside) while it lives.
class CrashHooks {
 public:
  explicit CrashHooks(const JournalCrashPoint& point);
  ~CrashHooks();
  CrashHooks(const CrashHooks&) = delete;
  CrashHooks& operator=(const CrashHooks&) = delete;

 private:
  JournalCrashPoint::Point where_;
};

// For tests of a journal whose disk fills up: MERVANE_TEST_JOURNAL_SPACE="<bytes>" makes every
// write that would take the journal beyond that many bytes fail as a full disk does. 0 when it
// is not set (or the build has no test switches).
int64_t JournalSpaceFromEnvironment();

// Counts one passing of `point`; at the chosen one the process ends or stops.
void PassCrashPoint(const JournalCrashPoint& crash, JournalCrashPoint::Point point,
                    int64_t& counter);
