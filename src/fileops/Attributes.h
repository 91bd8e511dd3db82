#pragma once

#include <QString>

#include <cstdint>

struct Preset;

// A change request per attribute: 1 set, -1 clear, 0 leave.
struct AttributeRequests {
  int8_t Hidden = 0;
  int8_t ReadOnly = 0;
  int8_t Archive = 0;
  int8_t NotIndexed = 0;
  bool Any() const { return Hidden != 0 || ReadOnly != 0 || Archive != 0 || NotIndexed != 0; }
};

// The requests of a task: 0 when the change switch is off, -1 when the clear switch is on,
// else 1.
AttributeRequests AttributeRequestsFrom(const Preset& settings);

// Applies the requests to the file at `path`, starting from `baseWord` (the word recorded at
// load; 0: read it from the path now). Result 1 done, 0 a write failed, -1 the attributes
// could not be read. With no request nothing is written.
int ApplyAttributes(const QString& path, const AttributeRequests& requests, int32_t baseWord);

// Before a move: removes the read-only bit (base word as above) and returns the permission bits
// the file had, so that a move that fails can put them back; -1 when nothing was changed.
int32_t ClearReadOnlyBeforeMove(const QString& path, int32_t baseWord);

// Removes the read-only bit (base word as above; an unreadable path counts as 0x80). Result 1,
// or 0 when the write failed.
int ClearReadOnly(const QString& path, int32_t baseWord);
