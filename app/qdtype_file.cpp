#include "app/qdtype_file.h"

#include "app/data_file.h"

#include <string>

void EnsureQdtypeFile(const char* path) {
  // Whatever is there (a file in any state, a directory, a link that leads
  // nowhere) is the typist's and stays as it is; a new file appears whole
  // or not at all.
  WriteWholeFile(path, std::string(kQdtypeRecordCount * kQdtypeRecordSize, '\0'),
                 /*only_if_absent=*/true);
}
