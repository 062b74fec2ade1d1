#include "app/qdtype_file.h"

#include "app/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void EnsureQdtypeFile(const char* path) {
  struct stat info {};
  if (::stat(path, &info) == 0) {
    return;  // it holds the typist's frames, whatever state it is in
  }
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    return;
  }
  const char empty_record[kQdtypeRecordSize] = {};
  bool written = true;
  for (int record = 0; record < kQdtypeRecordCount && written; ++record) {
    written = WriteAll(fd, empty_record, sizeof empty_record);
  }
  FinishWriting(fd, written);
}
