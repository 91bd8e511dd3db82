#pragma once

#include <QString>

class FileList;

// The deepest directory, with a final "/", that holds every entry of the list (exact,
// case-sensitive comparison); empty when there is none or the list is empty.
QString CommonBaseDirectory(const FileList& list);
