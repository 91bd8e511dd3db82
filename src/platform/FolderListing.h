#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>

// One folder's entries in one pass, for callers that would otherwise look at many of its names
// one by one.

enum class ListedKind : int8_t { Regular, Directory, Link, Other };

// Calls `visit` with the name (file-system bytes, valid during the call) and kind of every entry
// of `folder` but "." and "..". A kind the file system does not report is looked up. 0 when the
// whole folder was read; else the errno of the failed open or read (what was visited may then
// be partial).
int ListFolder(const QString& folder,
                const std::function<void(std::string_view name, ListedKind kind)>& visit);
