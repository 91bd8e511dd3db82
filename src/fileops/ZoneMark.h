#pragma once

#include <QString>

#include <vector>

// Removes the download marks of a file: the extended attributes user.xdg.origin.url,
// user.xdg.referrer.url and "user.DosStream.Zone.Identifier:$DATA", and a sibling file
// "NAME:Zone.Identifier". Result 1 when at least one was removed, else -1.
int ClearZoneMark(const QString& path);

// The extended attributes ClearZoneMark removes, and the sibling file it removes for `path`.
const std::vector<const char*>& ZoneMarkAttributeNames();
QString ZoneMarkSiblingPath(const QString& path);
// Whether the file carries any of those marks (the test run's properties show it).
bool HasZoneMark(const QString& path);
