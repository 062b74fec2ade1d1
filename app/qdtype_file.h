// The QD Type frame file, qdtype.dat: 100 frames of ten 31-byte lines. The
// typewriter that edits it is not part of this program; start-up only makes
// sure the file exists.
#pragma once

inline constexpr const char* kQdtypeFileName = "qdtype.dat";
inline constexpr int kQdtypeRecordCount = 100;
inline constexpr int kQdtypeRecordSize = 310;

// Creates the file full of zero bytes when there is none; an existing file,
// whatever its state, holds the typist's frames and is never touched. A
// failed write is reported and leaves no file behind.
void EnsureQdtypeFile(const char* path = kQdtypeFileName);
