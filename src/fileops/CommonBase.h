#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class FileList;

// The deepest directory, with a final "/", that holds every entry of the list (exact,
// case-sensitive comparison); empty when there is none or the list is empty.
QString CommonBaseDirectory(const FileList& list);

// The same over the entries a filter keeps: `leftOut[pos]` non-zero leaves the entry at that
// position out (positions past the end of `leftOut` count).
QString CommonBaseDirectory(const FileList& list, const std::vector<uint8_t>& leftOut);
