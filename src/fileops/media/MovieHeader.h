#pragma once

#include "platform/FileReadAt.h"

#include <cstdint>
#include <optional>

// The creation time an MP4, MOV or 3GP file's movie header ("mvhd" in the "moov" box) records,
// as seconds since 1970-01-01 UTC. None when the file is no such movie, is damaged, or records
// no time (0, as many cameras write when their clock was never set). Reads box headers only; a
// hostile file cannot make it loop (every step moves forward, and the boxes looked at are
// counted).
std::optional<int64_t> MovieCreationTime(const RandomAccessFile& file);
