#include "journal/CrashPoint.h"

#include "platform/FileOps.h"
#include "platform/Process.h"

#include <QString>

#include <atomic>
#include <memory>

namespace {

void Reach(bool stop) {
  if (stop)
    StopThisProcess();
  else
    KillThisProcess();
}

#ifdef MERVANE_TEST_SWITCHES
JournalCrashPoint::Point PointNamed(const QString& name) {
  using P = JournalCrashPoint::Point;
  static const struct {
    const char* Name;
    P Where;
  } kPoints[] = {{"written", P::Written},   {"synced", P::Synced}, {"acted", P::Acted},
                 {"laststep", P::LastStep}, {"placed", P::Placed}, {"aside", P::Aside},
                 {"undone", P::Undone}};
  for (const auto& point : kPoints)
    if (name == QLatin1String(point.Name)) return point.Where;
  return P::None;
}
#endif

}  // namespace

JournalCrashPoint CrashPointFromEnvironment() {
  JournalCrashPoint point;
  // A program built for people never ends itself on purpose: only a build with the test
  // switches reads the variables.
#ifdef MERVANE_TEST_SWITCHES
  for (const bool stop : {false, true}) {
    const QString value = EnvironmentPath(stop ? "MERVANE_TEST_STOP_AT" : "MERVANE_TEST_KILL_AT");
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    if (colon < 0) continue;
    bool ok = false;
    const int64_t count = value.mid(colon + 1).toLongLong(&ok);
    const JournalCrashPoint::Point where = PointNamed(value.left(colon));
    if (!ok || count <= 0 || where == JournalCrashPoint::Point::None) continue;
    point.Where = where;
    point.Count = count;
    point.Stop = stop;
  }
#endif
  return point;
}

int64_t JournalSpaceFromEnvironment() {
#ifdef MERVANE_TEST_SWITCHES
  bool ok = false;
  const int64_t bytes = EnvironmentPath("MERVANE_TEST_JOURNAL_SPACE").toLongLong(&ok);
  return ok && bytes > 0 ? bytes : 0;
#else
  return 0;
#endif
}

CrashHooks::CrashHooks(const JournalCrashPoint& point) : where_(point.Where) {
  // The steps inside a copy or move are reached through the file operations' own test hooks.
  auto left = std::make_shared<std::atomic<int64_t>>(point.Count);
  const bool stop = point.Stop;
  auto onCount = [left, stop](const QString&) {
    if (left->fetch_sub(1) == 1) Reach(stop);
  };
  switch (where_) {
    case JournalCrashPoint::Point::LastStep:
      SetBeforeLastStepHook(onCount);
      break;
    case JournalCrashPoint::Point::Placed:
      SetBeforeSourceRemovalHook(onCount);
      break;
    case JournalCrashPoint::Point::Aside:
      SetAfterAsideHook(onCount);
      break;
    default:
      break;
  }
}

CrashHooks::~CrashHooks() {
  switch (where_) {
    case JournalCrashPoint::Point::LastStep:
      SetBeforeLastStepHook({});
      break;
    case JournalCrashPoint::Point::Placed:
      SetBeforeSourceRemovalHook({});
      break;
    case JournalCrashPoint::Point::Aside:
      SetAfterAsideHook({});
      break;
    default:
      break;
  }
}

void PassCrashPoint(const JournalCrashPoint& crash, JournalCrashPoint::Point point,
                    int64_t& counter) {
  if (crash.Where != point) return;
  if (++counter == crash.Count) Reach(crash.Stop);
}
