// The few file steps the two data files share.
#pragma once

#include <cstddef>

// Opens an existing regular file; anything else counts as not openable.
int OpenRegularFile(const char* path, int flags);
bool WriteAll(int fd, const char* data, std::size_t size);
// Closes the file; a failure to close or an earlier write error is reported.
void FinishWriting(int fd, bool written);
