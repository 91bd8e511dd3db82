#include "run/RunControl.h"

#include "run/RunProcedure.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The four flags a RunControl writes, as "paused cancelled asking quit".
struct Stops {
  int Paused = 0;
  int Cancelled = 0;
  int Asking = 0;
  int Quit = 0;
  bool operator==(const Stops&) const = default;
};

Stops Read(const RunFlags& flags) {
  return {flags.RunPaused.load(), flags.RunCancelled.load(), flags.RunAsking.load(),
          flags.QuitRequested.load()};
}

void Set(RunFlags& flags, const Stops& stops) {
  flags.RunPaused.store(stops.Paused);
  flags.RunCancelled.store(stops.Cancelled);
  flags.RunAsking.store(stops.Asking);
  flags.QuitRequested.store(stops.Quit);
}

std::string Describe(const Stops& s) {
  return std::to_string(s.Paused) + std::to_string(s.Cancelled) + std::to_string(s.Asking) +
         std::to_string(s.Quit);
}

TEST(RunControl, EveryStepLeavesTheFlagsAsTheRunExpects) {
  struct Row {
    const char* what;
    Stops before;
    std::function<void(RunControl&)> step;
    Stops after;
  };
  const Row rows[] = {
      {"a cancel lifts the pause so that the run gets to its end", {1, 0, 0, 0},
       [](RunControl& c) { c.Cancel(); }, {0, 1, 0, 0}},
      {"quit cancels and ends the program afterwards", {1, 0, 0, 0},
       [](RunControl& c) { c.Quit(); }, {0, 1, 0, 1}},
      {"quit when over leaves the run as it goes", {0, 0, 0, 0},
       [](RunControl& c) { c.QuitWhenOver(); }, {0, 0, 0, 1}},
      {"pause", {0, 0, 0, 0}, [](RunControl& c) { EXPECT_TRUE(c.TogglePause()); }, {1, 0, 0, 0}},
      {"go on", {1, 0, 0, 0}, [](RunControl& c) { EXPECT_FALSE(c.TogglePause()); }, {0, 0, 0, 0}},
      {"a cancelled run is not paused again", {0, 1, 0, 0},
       [](RunControl& c) { EXPECT_FALSE(c.TogglePause()); }, {0, 1, 0, 0}},
      {"abandoned: no question holds the run any more", {1, 0, 1, 0},
       [](RunControl& c) { c.Abandon(); }, {0, 1, 0, 0}},
      {"a question holds the run", {0, 0, 0, 0},
       [](RunControl& c) { EXPECT_TRUE(c.BeginStopQuestion()); }, {0, 0, 1, 0}},
      {"nothing to ask once cancelled", {0, 1, 0, 0},
       [](RunControl& c) { EXPECT_FALSE(c.BeginStopQuestion()); }, {0, 1, 0, 0}},
      {"Yes to the cancel question", {1, 0, 1, 0},
       [](RunControl& c) { c.EndStopQuestion(true, false); }, {0, 1, 0, 0}},
      {"Yes to the quit question", {0, 0, 1, 0},
       [](RunControl& c) { c.EndStopQuestion(true, true); }, {0, 1, 0, 1}},
      {"No keeps the pause", {1, 0, 1, 0},
       [](RunControl& c) { c.EndStopQuestion(false, true); }, {1, 0, 0, 0}},
      {"a question closed unanswered", {0, 0, 1, 0},
       [](RunControl& c) { c.DropStopQuestion(); }, {0, 0, 0, 0}},
      {"a new run starts with every stop down", {1, 1, 1, 1},
       [](RunControl& c) { c.ResetForRun(false); }, {0, 0, 0, 0}},
      {"a single-entry run stops after its entry", {1, 0, 1, 1},
       [](RunControl& c) { c.ResetForRun(true); }, {0, 1, 0, 0}},
  };
  for (const Row& row : rows) {
    RunFlags flags;
    Set(flags, row.before);
    RunControl control(flags);
    row.step(control);
    EXPECT_EQ(Describe(Read(flags)), Describe(row.after)) << row.what;
  }
}

TEST(RunControl, TheWholeQuestionAtOnce) {
  struct Row {
    const char* what;
    bool cancelledBefore;
    bool answer;
    bool quit;
    bool stops;
    bool asked;
    Stops after;
  };
  const Row rows[] = {
      {"Yes cancels", false, true, false, true, true, {0, 1, 0, 0}},
      {"Yes to quit", false, true, true, true, true, {0, 1, 0, 1}},
      {"No goes on", false, false, true, false, true, {0, 0, 0, 0}},
      {"a cancelled run stops without a question", true, false, false, true, false, {0, 1, 0, 0}},
  };
  for (const Row& row : rows) {
    RunFlags flags;
    flags.RunCancelled.store(row.cancelledBefore ? 1 : 0);
    RunControl control(flags);
    bool asked = false;
    const bool stops = control.AskToStop(
        [&] {
          asked = true;
          EXPECT_TRUE(control.Held()) << row.what << ": the run holds while the user thinks";
          return row.answer;
        },
        row.quit);
    EXPECT_EQ(stops, row.stops) << row.what;
    EXPECT_EQ(asked, row.asked) << row.what;
    EXPECT_EQ(Describe(Read(flags)), Describe(row.after)) << row.what;
  }
}

TEST(RunControl, TheStopRequestIsTheFlagThePartsBelowRaise) {
  RunFlags flags;
  RunControl control(flags);
  control.StopRequest()->store(1);
  EXPECT_TRUE(control.Cancelled());
  EXPECT_FALSE(control.Running());
  flags.RunSingle.store(1);
  EXPECT_TRUE(control.Running());
}

// A run of three files on disk whose stop question is opened as the run begins: the file in
// hand finishes, then the run waits for the answer.
struct HeldRun {
  HeldRun() {
    settings.TargetDirActive = 1;
    settings.TargetMove = 0;
    settings.TargetDirTemplate = dir.Path() + "out/";
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
      dir.WriteFile(std::string("in/") + name, name);
      request.PathsToLoad += dir.Path() + "in/" + QString::fromLatin1(name) + "\n";
    }
    request.Policy.StartDelay = std::chrono::milliseconds(0);
    request.Events.FlagsReset = [this] { EXPECT_TRUE(RunControl(flags).BeginStopQuestion()); };
    request.Events.Entries.EntryFinished = [this](qsizetype, const FileEntry&,
                                                  const EntryOutcome&) {
      std::lock_guard lock(mutex);
      ++finished;
    };
  }

  int Finished() {
    std::lock_guard lock(mutex);
    return finished;
  }

  // Runs the procedure; `answer` runs on another thread once the first file is through and the
  // run has been seen to hold.
  RunResult Run(const std::function<void(RunControl&)>& answer) {
    std::thread answering([this, &answer] {
      while (Finished() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      heldAfterFirst = Finished() == 1;
      RunControl control(flags);
      answer(control);
    });
    RunResult result = RunProcedure(request);
    answering.join();
    return result;
  }

  TempDir dir;
  Preset settings;
  FileList files;
  FileList followUp;
  RunFlags flags;
  LoadFlags load;
  RunRequest request{files, followUp, settings, flags, load};
  std::mutex mutex;
  int finished = 0;
  bool heldAfterFirst = false;
};

TEST(RunControl, AnOpenQuestionHoldsTheRunAndYesStartsNoFurtherFile) {
  HeldRun run;
  const RunResult result = run.Run([](RunControl& c) { c.EndStopQuestion(true, false); });
  EXPECT_TRUE(run.heldAfterFirst);
  EXPECT_EQ(run.Finished(), 1);
  EXPECT_EQ(ReadFileBytes(run.dir.Bytes() + "out/a.txt"), "a.txt");
  EXPECT_FALSE(PathExists(run.dir.Bytes() + "out/b.txt"));
  EXPECT_FALSE(PathExists(run.dir.Bytes() + "out/c.txt"));
  EXPECT_EQ(run.files.At(2).Status, kStatusNotProcessed);
  EXPECT_EQ(run.flags.RunActive.load(), 0);
  EXPECT_NE(run.flags.RunPhase.load(), kPhaseFinished) << "a cancelled run is not shown finished";
  (void)result;
}

TEST(RunControl, NoToTheQuestionLetsTheRunGoOnToTheEnd) {
  HeldRun run;
  const RunResult result = run.Run([](RunControl& c) { c.EndStopQuestion(false, false); });
  EXPECT_TRUE(run.heldAfterFirst);
  EXPECT_EQ(run.Finished(), 3);
  EXPECT_TRUE(result.Succeeded);
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    EXPECT_EQ(ReadFileBytes(run.dir.Bytes() + "out/" + name), name);
}

TEST(RunControl, APauseHoldsTheRunLikeAQuestion) {
  HeldRun run;
  // The question becomes a pause; the pause is lifted a moment later from yet another thread.
  std::thread lifting;
  const RunResult result = run.Run([&run, &lifting](RunControl& c) {
    c.TogglePause();
    c.DropStopQuestion();
    lifting = std::thread([&run] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      EXPECT_EQ(run.Finished(), 1) << "still paused";
      RunControl(run.flags).TogglePause();
    });
  });
  lifting.join();
  EXPECT_EQ(run.Finished(), 3);
  EXPECT_TRUE(result.Succeeded);
}

}  // namespace
