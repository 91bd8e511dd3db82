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
  kAddPermissions = 200,           // the properties window's line of permission bits
  kAddBytes = 201,                 // the unit after an exact size
  kAddPropertiesUnreadable = 202,  // the test copy is gone or cannot be read
  kAddResultListHint = 203,        // how the run result list shows a file

  // 300 - 399: the window's helpers.

  // 400 - 499: the new-name column.
  kAddNewNameColumn = 400,
  kAddNewFolderColumn = 401,
  kAddProblems = 402,                 // the status line's count
  kAddOnlyProblems = 403,             // the toggle
  kAddOnlyProblemsTip = 404,
  kAddPlanningNewNames = 405,         // the status line while a plan is worked out
  kAddFilteredOut = 406,              // the cell of an entry the filter takes out
  kAddFilteredOutTip = 407,           // %1: the condition
  kAddSameTargetEarlier = 408,        // %1: the other file
  kAddSameTargetLater = 409,          // %1: the other file
  kAddResolutionAsk = 410,            // how a clash ends: the run asks
  kAddResolutionLeave = 411,          // leaves
  kAddResolutionReplace = 412,        // replaces
  kAddResolutionRenameFails = 413,    // an in-place rename fails
  kAddTargetExists = 414,
  kAddTargetIsListed = 415,           // the file in the way is one the run renames later
  kAddTargetIsSource = 416,
  kAddInvalidNewName = 417,
  kAddNameTooLong = 418,              // %1: its bytes
  kAddFolderCannotBeMade = 419,       // %1: why
  kAddFolderRefusesFiles = 420,       // %1: why
  kAddNameFolderMissing = 421,        // %1: the folder
  kAddFolderReasonNotAFolder = 422,
  kAddFolderReasonPermission = 423,
  kAddFolderReasonReadOnly = 424,
  kAddFolderReasonTooLong = 425,
  kAddFolderReasonNotAPath = 426,
  kAddSourceMissing = 427,
  kAddReadError = 428,
  kAddChecksumPending = 429,
  kAddCounterPassedOver = 430,        // %1: the first number passed over
  kAddRandomOrder = 431,
  kAddStartQuestion = 432,            // %1: how many files
  kAddStartAnyway = 433,
  kAddKindSameTarget = 434,           // the question's short names of the problems
  kAddKindTargetExists = 435,
  kAddKindTargetIsSource = 436,
  kAddKindInvalidName = 437,
  kAddKindNameTooLong = 438,
  kAddKindFolder = 439,
  kAddKindSourceMissing = 440,
  kAddKindReadError = 441,
  kAddResultLostIfReplaced = 442,
  kAddWaitingForChecksums = 443,      // the status line's count of names not known yet

  // 500 - 599: undo.
  // The window.
  kAddUndoMenuItem = 500,         // menu 1, after the test run
  kAddUndoTitle = 501,            // caption of the question, progress and result windows
  kAddUndoQuestion = 502,         // %1 run number, %2 time, %3 preset number, %4 name, %5 files
  kAddUndoNothing = 503,          // no run to take back
  kAddUndoProgress = 504,         // %1 run number
  kAddUndoResultTitle = 505,
  kAddUndoResultComplete = 506,   // %1 run number
  kAddUndoResultPartly = 507,     // %1 taken back, %2 left
  kAddUndoClose = 508,
  kAddUndoCancel = 509,
  // The console.
  kAddUndoRunLine = 510,          // %1 run number, %2 time, %3 preset number, %4 name, %5 files
  kAddUndoWorking = 511,
  kAddUndoResultAll = 512,
  kAddUndoResultSome = 513,       // %1 taken back, %2 left
  kAddUndoNothingToUndo = 514,
  kAddUndoNoSuchRun = 515,        // %1 run number
  kAddUndoUnreadable = 516,       // %1 run number, %2 reason
  kAddUndoAlreadyUndone = 517,    // %1 run number
  kAddJournalCannotOpen = 518,    // %1 path, %2 reason
  kAddJournalWriteFailed = 519,   // %1 path, %2 reason
  kAddRunsHeading = 520,
  kAddRunsNone = 521,
  kAddRunNotUndone = 522,
  kAddRunUndone = 523,
  kAddRunPartlyUndone = 524,      // %1 files left
  kAddRunUndoCutOff = 525,
  kAddRunCutOff = 526,
  kAddRunDamaged = 527,
  kAddRunPreset = 528,            // %1 preset number, %2 name
  kAddRunFiles = 529,             // %1 files
  kAddUndoStopped = 530,
  kAddUndoNotRecorded = 531,      // %1 reason
  kAddUndoFolderStays = 532,      // %1 folder
  // Why an entry was not (fully) taken back, by UndoResult.
  kAddUndoLeftOldPlaceTaken = 540,
  kAddUndoLeftNotFound = 541,
  kAddUndoLeftCopyChanged = 542,
  kAddUndoLeftFailed = 543,       // %1 the system's reason
  kAddUndoLeftIncomplete = 544,
  kAddUndoLeftReplacedLost = 545,
  // What an undo dry run would do.
  kAddUndoVerbMoveBack = 550,
  kAddUndoVerbRemoveCopy = 551,
  kAddUndoVerbRestore = 552,
  kAddUndoVerbLeave = 553,
  kAddUndoVerbRemoveFolder = 554,
  // Help lines.
  kAddHelpUndoOption = 560,
  kAddHelpUndoText = 561,
  kAddHelpListRunsOption = 562,
  kAddHelpListRunsText = 563,
};
