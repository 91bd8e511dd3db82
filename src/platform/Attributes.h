#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

struct stat;

// The attribute word of a file, in the Windows bit layout that tasks and presets use.
inline constexpr int32_t kAttrReadOnly = 0x1;
inline constexpr int32_t kAttrHidden = 0x2;
inline constexpr int32_t kAttrSystem = 0x4;
inline constexpr int32_t kAttrArchive = 0x20;
inline constexpr int32_t kAttrNormal = 0x80;  // no bit set; also the word of an unreadable file
inline constexpr int32_t kAttrNotIndexed = 0x2000;

// The attribute word of the file at `path`; -1 when the file cannot be read.
int32_t ReadAttributes(const QString& path);

// The word for a file whose stat the caller already has (the loader): read-only from the
// permission bits, hidden from a leading "." of `fileName`, the rest from the stored DOS word.
// `encodedPath` is the path in file-system bytes. Costs at most one extended-attribute read.
int32_t AttributesFromStat(const char* encodedPath, const struct stat& st, const QString& fileName);

// The same for `name` inside the open folder `dirFd`: the stored word is read relative to the
// folder, so it costs no walk along the path and works at any depth.
int32_t AttributesFromStatAt(int dirFd, const char* name, const struct stat& st,
                             const QString& fileName);

// Writes the word: read-only as permission bits, the other bits into the stored DOS word.
// Returns 0 on success, else the errno value (ENOTSUP where a bit cannot be stored).
int WriteAttributes(const QString& path, int32_t word);

// The stored DOS word exactly as the file keeps it, so that it can be put back byte for byte
// (Samba's attribute may carry a binary record after its text, which WriteAttributes would not
// keep).
struct StoredDosWord {
  enum class Store : int8_t {
    None,  // nothing stored (or the file system keeps nothing)
    Text,  // "user.DOSATTRIB": Raw is the attribute's whole value
    Fat,   // the FAT attribute byte: Raw is the word, 4 bytes little-endian
    Ntfs,  // "system.ntfs_attrib": Raw is its 4 bytes
  };
  Store Kind = Store::None;
  QByteArray Raw;
  bool operator==(const StoredDosWord&) const = default;
};

// Reads the stored word of the file at `path` (links followed). 0 or the errno value.
int ReadStoredDosWord(const QString& path, StoredDosWord& word);
// Puts a word read before back: the stored attribute takes exactly that value, or goes when
// nothing was stored. 0 or the errno value.
int RestoreStoredDosWord(const QString& path, const StoredDosWord& word);
