#pragma once

#include <QString>

// Removes the download marks of a file: the extended attributes user.xdg.origin.url,
// user.xdg.referrer.url and "user.DosStream.Zone.Identifier:$DATA", and a sibling file
// "NAME:Zone.Identifier". Result 1 when at least one was removed, else -1.
int ClearZoneMark(const QString& path);
