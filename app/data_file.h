// The steps the two data files share: reading only what is a regular file,
// and replacing a file so that a failed write never costs the old content.
#pragma once

#include <QFile>

#include <string_view>

// Opens `path` for reading when it is a regular file (links followed).
// Anything else (missing, a directory, a pipe, a device, a dangling link,
// no permission) cannot be opened; a pipe or a device is never opened at
// all, so nothing blocks.
bool OpenForReading(QFile& file, const char* path);

// Writes `bytes` as the whole new content of `path`: into a temporary file
// beside it, synced, then renamed over it. Only a regular file, or nothing,
// is ever replaced. When the file cannot be created, nothing happens and
// nothing is said; when writing fails, the old file stays and the error is
// reported with the file's name. `only_if_absent`: create the file, never
// replace one.
void WriteWholeFile(const char* path, std::string_view bytes, bool only_if_absent = false);

// "NAME: REASON" to the user.
void ReportFileError(const char* path, const QString& reason);
