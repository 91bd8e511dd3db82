#pragma once

#include "naming/PlaceholderTable.h"
#include "records/FileEntry.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <cstdint>
#include <span>

class ContentReader;

// Reading the content placeholders a task needs from one file: each reader that serves one of
// them reads the file once, for all of its placeholders asked for.

struct ContentRead {
  // False when a reader whose values the entry cannot do without (a checksum) could not read
  // the file, or when the read was stopped.
  bool Ok = true;
  int Error = 0;               // the errno of that failure; ECANCELED when stopped
  bool AccessTimeKept = true;  // no read changed the file's access time
  // Every placeholder asked for, by id, with its value; the empty text for one without a value.
  QHash<int, QString> Values;
};

// Reads the placeholders of `wanted` (content placeholders; others are left out) from the file
// at `path` with the build's readers. `stop` (optional) is polled while reading.
ContentRead ReadContent(const QString& path, const PlaceholderSet& wanted,
                        const std::atomic<int32_t>* stop = nullptr);
// The same with these readers; the first one that serves a placeholder reads it.
ContentRead ReadContent(const QString& path, const PlaceholderSet& wanted,
                        const std::atomic<int32_t>* stop,
                        std::span<const ContentReader* const> readers);

// The values into the entry, where its placeholders take them from.
void StoreContent(FileEntry& entry, const QHash<int, QString>& values);

// A text read from inside a file made fit to stand in a name: "/" and control characters become
// "_", and leading and trailing blanks go.
QString CleanContentText(const QString& text);
