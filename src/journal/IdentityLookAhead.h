#pragma once

#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

// The looks at a run's next sources, taken on a thread of their own while the run acts on the
// group before them: the journal records each source's identity in its intent, and a look that
// overlaps the renames of the group before costs the run nothing.
//
// A look stands for the journal's own only where the group acted on meanwhile cannot have
// changed what is at that path: the thread is handed the names that group may write to (its
// sources, targets and new folders) and drops the look of any source of that name, in any
// folder and letter case (a path may reach the same file through a link, and a file system may
// ignore case; a name is cheap to compare). Names the run writes to beyond them (an operation
// recorded on its own, a file that ended elsewhere) are added with Touched before the looks are
// taken up. A change by anyone else between the look and the operation is no different from
// one between the journal's own look and the operation: undo finds the file changed and leaves
// it.
//
// The thread is owned here: Stop, the next Start and the destructor stop it after the look in
// hand and wait for it.
class IdentityLookAhead {
 public:
  IdentityLookAhead() = default;
  ~IdentityLookAhead();
  IdentityLookAhead(const IdentityLookAhead&) = delete;
  IdentityLookAhead& operator=(const IdentityLookAhead&) = delete;

  // Whether looking ahead can gain anything here: only with a second core to do it on.
  static bool Worthwhile();

  // Starts looking at `sources` (the entries from position `first` on, in their file-system
  // bytes; an empty one is skipped), after the names in `written` are set aside: paths or bare
  // names, and folder paths ending in "/", every part of which counts. A look still running is
  // stopped and its results dropped first. False when no thread could be started.
  bool Start(qsizetype first, std::vector<QByteArray> sources, std::vector<QString> written);
  // Stops the thread after the look in hand and waits for it; the looks taken stay.
  void Stop();
  // Waits until the thread has looked at every source, then is as Stop.
  void Complete();
  // A name the run has written to since Start, as in `written`: the looks at sources of that
  // name are dropped. Only between Start and Stop.
  void Touched(const QString& path);

  // After Stop: the look at the entry at `pos`, taken at `source` and still standing; null when
  // there is none (not reached, another path, a name written to, or a symbolic link, whose
  // followed file the journal looks at anyway).
  const FileIdentity* Find(qsizetype pos, const QByteArray& source) const;

 private:
  struct Slot {
    QString Key;  // the source's name, case-folded
    FileIdentity Identity;
    bool Standing = false;
  };

  void Work();

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> done_{0};  // slots the thread has filled, in order
  qsizetype first_ = 0;
  std::vector<QByteArray> sources_;
  std::vector<QString> written_;  // set aside before the looks
  std::vector<QString> touched_;  // written to since Start, checked at Stop
  std::vector<Slot> slots_;
};
