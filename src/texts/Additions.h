#pragma once

// Numbers of Mervane's own texts (resources/texts/additions-*.txt), read with AdditionText().
// They belong to features added after the language table was fixed, which keeps its numbering. Each
// feature owns a block of numbers, so that work on one never renumbers another.
enum AdditionEntry : int {
  // 0 - 99: the window.
  kAddProgramName = 0,
  kAddPageList = 1,               // accessible name of the page list
  kAddInvalidNameCharacters = 2,  // a rule's replacement or new extension cannot be a name

  // 100 - 199: the run.
  kAddStatusInvalidName = 100,             // the failure name of status 7
  kAddStatusInvalidNameExplanation = 101,  // and its explanation
  kAddNotReachedDiskFull = 102,            // an entry a full disk kept the run from reaching
  kAddNotReachedDiskFullExplanation = 103,

  // 200 - 299: running from the window.

  // 300 - 399: the window's helpers.

  // 400 - 499: the new-name column.

  // 500 - 599: undo.
};
