#include "filelist/Loader.h"
#include "fileops/Batch.h"
#include "fileops/RunValues.h"
#include "platform/FileName.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

// Photos renamed by their date taken, which the batch reads ahead on a second thread: a run gives
// what it gives when each file is read in its turn, also where an earlier entry writes over the
// file of a later one, or another program changes it, after it was read ahead.

namespace {

// A JPEG at `relative` whose camera wrote the date `taken` ("2021:07:14 09:30:05"), by exiv2.
void WritePhoto(const TempDir& dir, const std::string& relative, const std::string& taken) {
  const std::string path = dir.WriteFile(relative);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg, path);
#pragma GCC diagnostic pop
  image->exifData()["Exif.Photo.DateTimeOriginal"] = taken;
  image->writeMetadata();
}

struct PhotoRun {
  PhotoRun() {
    settings.TargetDirActive = 0;
    settings.NameTemplateActive = 1;
    settings.NameTemplate = QStringLiteral("%TY%%TM%%TD%_%TH%%TI%%TS%");
  }

  void Load(const std::vector<std::string>& relativePaths) {
    for (const std::string& relative : relativePaths)
      ASSERT_EQ(AdmitFile(DecodeFileName(dir.Bytes() + relative), files, settings), 1) << relative;
  }
  void CopyInto(const std::string& folder, bool move) {
    settings.TargetDirActive = 1;
    settings.TargetMove = move ? 1 : 0;
    settings.TargetDirTemplate = dir.Path() + QString::fromStdString(folder);
  }

  // Each entry's status and the path it ends at (would end at, in a dry run), below the folder.
  std::vector<std::string> Run(bool readAhead) {
    const RunValues values = PrepareRunValues(settings, files.Count(), PathFolders{}, 0);
    // A breath long enough for the thread to read every photo ahead of the batch.
    options.StartDelay = std::chrono::milliseconds(readAhead ? 60 : 0);
    options.ReadAhead = readAhead;
    std::vector<std::string> outcomes(static_cast<size_t>(files.Count()));
    options.Events.EntryFinished = [&](qsizetype pos, const FileEntry&,
                                       const EntryOutcome& outcome) {
      outcomes[static_cast<size_t>(pos)] =
          std::to_string(outcome.Status) + " " +
          EncodeFileName(outcome.NewPath).toStdString().substr(dir.Bytes().size());
    };
    flags.RunActive = 1;
    RunBatch(files, followUp, settings, values, flags, options);
    return outcomes;
  }

  TempDir dir;
  Preset settings;
  FileList files;
  FileList followUp;
  RunFlags flags;
  BatchOptions options;
};

TEST(ContentReadAhead, ARunGivesWhatReadingEachFileInItsTurnGives) {
  struct Case {
    const char* what;
    std::function<void(PhotoRun&)> arrange;
    std::vector<std::string> expected;  // each entry's outcome
  };
  const std::vector<Case> cases = {
      {"photos, a file that is no photo and a damaged one",
       [](PhotoRun& t) {
         WritePhoto(t.dir, "a.jpg", "2021:01:01 00:00:00");
         WritePhoto(t.dir, "b.jpg", "2022:02:02 12:30:45");
         t.dir.WriteFile("c.jpg", std::string("\xFF\xD8\xFF\xE1\xFF\xFF"
                                              "Exif",
                                              10));
         WritePhoto(t.dir, "d.jpg", "2023:03:03 03:03:03");
         t.Load({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
         t.settings.NameTemplate = QStringLiteral("%TY%%TM%%TD%_%TH%%TI%%TS% %FN%");
       },
       {"1 20210101_000000 a.jpg", "1 20220202_123045 b.jpg", "", "1 20230303_030303 d.jpg"}},
      {"a dry run",
       [](PhotoRun& t) {
         WritePhoto(t.dir, "a.jpg", "2021:01:01 00:00:00");
         WritePhoto(t.dir, "b.jpg", "2022:02:02 12:30:45");
         t.Load({"a.jpg", "b.jpg"});
         t.options.DryRun = true;
       },
       {"1 20210101_000000.jpg", "1 20220202_123045.jpg"}},
      // The first photo is copied over the second one's file, replacing it: the second is then
      // named by the date of the copy, not by the one its file held when it was read ahead.
      {"an earlier entry copied over a later one's source",
       [](PhotoRun& t) {
         WritePhoto(t.dir, "in/a.jpg", "2021:01:01 00:00:00");
         WritePhoto(t.dir, "out/20210101_000000.jpg", "2019:05:05 05:05:05");
         t.Load({"in/a.jpg", "out/20210101_000000.jpg"});
         t.CopyInto("out/", false);
         t.options.ReplaceMemory = kAnswerReplaceAll;
       },
       {"1 out/20210101_000000.jpg", ""}},
      {"an earlier entry moved over a later one's source",
       [](PhotoRun& t) {
         WritePhoto(t.dir, "in/a.jpg", "2021:01:01 00:00:00");
         WritePhoto(t.dir, "out/20210101_000000.jpg", "2019:05:05 05:05:05");
         t.Load({"in/a.jpg", "out/20210101_000000.jpg"});
         t.CopyInto("out/", true);
         t.options.ReplaceMemory = kAnswerReplaceAll;
       },
       {"1 out/20210101_000000.jpg", ""}},
      // The second entry's file went after loading; the first one's new name brings a file there.
      {"an earlier entry's target is a later one's source",
       [](PhotoRun& t) {
         WritePhoto(t.dir, "a.jpg", "2021:01:01 00:00:00");
         WritePhoto(t.dir, "20210101_000000.jpg", "2019:05:05 05:05:05");
         t.Load({"a.jpg", "20210101_000000.jpg"});
         ::unlink((t.dir.Bytes() + "20210101_000000.jpg").c_str());
       },
       {"1 20210101_000000.jpg", ""}},
      // Another program writes a new date into the third photo while the first is renamed.
      {"a later photo changed after it was read ahead",
       [](PhotoRun& t) {
         WritePhoto(t.dir, "a.jpg", "2021:01:01 00:00:00");
         WritePhoto(t.dir, "b.jpg", "2022:02:02 00:00:00");
         WritePhoto(t.dir, "c.jpg", "2019:05:05 05:05:05");
         t.Load({"a.jpg", "b.jpg", "c.jpg"});
         t.options.Events.EntryStarted = [&t](qsizetype pos, const FileEntry&) {
           if (pos == 0) WritePhoto(t.dir, "c.jpg", "2018:08:08 08:08:08");
         };
       },
       {"1 20210101_000000.jpg", "1 20220202_000000.jpg", "1 20180808_080808.jpg"}},
      // Cancelled at the second entry: the rest is not reached, whatever was read ahead.
      {"a cancelled run",
       [](PhotoRun& t) {
         for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
           WritePhoto(t.dir, name, "2021:01:01 00:00:00");
         t.Load({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
         t.settings.NameTemplate = QStringLiteral("%FN% %TY%");
         t.options.Events.EntryStarted = [&t](qsizetype pos, const FileEntry&) {
           if (pos == 1) t.flags.RunCancelled = 1;
         };
       },
       {"1 a 2021.jpg", "1 b 2021.jpg", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PhotoRun inTurn;
    c.arrange(inTurn);
    const std::vector<std::string> expected = inTurn.Run(false);
    PhotoRun ahead;
    c.arrange(ahead);
    EXPECT_EQ(ahead.Run(true), expected);
    // The outcomes worked out by hand, where the case tells what the run must do.
    for (size_t i = 0; i < c.expected.size(); ++i) {
      if (!c.expected[i].empty()) {
        EXPECT_EQ(expected[i], c.expected[i]) << i;
      }
    }
  }
}

}  // namespace
