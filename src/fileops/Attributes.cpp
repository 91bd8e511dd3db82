#include "fileops/Attributes.h"

#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "records/Preset.h"

namespace {

int8_t Request(int8_t change, int8_t clear) {
  if (change == 0) return 0;
  return clear == 1 ? int8_t{-1} : int8_t{1};
}

int32_t WithRequest(int32_t word, int32_t bit, int8_t request) {
  if (request > 0) return word | bit;
  if (request < 0) return word & ~bit;
  return word;
}

// The normal bit only stands for "no bit set": it goes when another bit is set and comes
// back when the last one is cleared.
int32_t Normalized(int32_t word) {
  const int32_t bits = word & ~kAttrNormal;
  return bits == 0 ? kAttrNormal : bits;
}

bool NameIsDotted(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return path.mid(slash + 1).startsWith(QLatin1Char('.'));
}

}  // namespace

AttributeRequests AttributeRequestsFrom(const Preset& settings) {
  AttributeRequests requests;
  requests.Hidden = Request(settings.HiddenChange, settings.HiddenClear);
  requests.ReadOnly = Request(settings.ReadOnlyChange, settings.ReadOnlyClear);
  requests.Archive = Request(settings.ArchiveChange, settings.ArchiveClear);
  requests.NotIndexed = Request(settings.NotIndexedChange, settings.NotIndexedClear);
  return requests;
}

int ApplyAttributes(const QString& path, const AttributeRequests& requests, int32_t baseWord) {
  // A name that begins with "." is hidden whatever the stored word says; clearing hidden
  // cannot be done without renaming the file, and is reported rather than pretended.
  if (requests.Hidden < 0 && NameIsDotted(path)) return 0;
  int32_t word = baseWord;
  if (word == 0) {
    word = ReadAttributes(path);
    if (word < 0) return -1;
  }
  if (requests.Hidden != 0 || requests.ReadOnly != 0 || requests.Archive != 0) {
    word = WithRequest(word, kAttrHidden, requests.Hidden);
    word = WithRequest(word, kAttrReadOnly, requests.ReadOnly);
    word = WithRequest(word, kAttrArchive, requests.Archive);
    if (WriteAttributes(path, Normalized(word)) != 0) return 0;
  }
  if (requests.NotIndexed != 0) {
    // Read again: the word on disk may differ from the base (a copy, or the write above).
    int32_t current = ReadAttributes(path);
    if (current < 0) return -1;
    current = WithRequest(current, kAttrNotIndexed, requests.NotIndexed);
    if (WriteAttributes(path, Normalized(current)) != 0) return 0;
  }
  return 1;
}

int32_t ClearReadOnlyBeforeMove(const QString& path, int32_t baseWord) {
  int32_t word = baseWord;
  if (word == 0) {
    word = ReadAttributes(path);
    if (word < 0) return -1;
  }
  if ((word & kAttrReadOnly) == 0) return -1;
  const int32_t mode = FileMode(path);
  if (mode < 0 || WriteAttributes(path, Normalized(word & ~kAttrReadOnly)) != 0) return -1;
  return mode;
}

int ClearReadOnly(const QString& path, int32_t baseWord) {
  int32_t word = baseWord;
  if (word == 0) {
    word = ReadAttributes(path);
    if (word < 0) word = kAttrNormal;
  }
  if ((word & kAttrReadOnly) == 0) return 1;
  return WriteAttributes(path, Normalized(word & ~kAttrReadOnly)) == 0 ? 1 : 0;
}
