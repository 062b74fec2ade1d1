// The two files the program keeps in its working directory.
#pragma once

#include <string>

inline constexpr const char* kSettingsFileName = "commentator.dat";
inline constexpr const char* kQdtypeFileName = "qdtype.dat";

// The listening address from the first line of the settings file (LF or
// CR LF ended, at most 255 characters kept); "255.255.255.255" when the file
// cannot be opened. A read error on the open file is reported.
std::string ReadListeningAddress(const char* path);

// Writes the address and CR LF. A file that cannot be created is skipped
// silently; a write error on the open file is reported.
void WriteListeningAddress(const char* path, const std::string& address);

// The QD Type frame file: 100 records of 310 bytes. Created full of zero bytes
// when it does not exist; an existing file is never touched.
inline constexpr int kQdtypeRecordCount = 100;
inline constexpr int kQdtypeRecordSize = 310;
void EnsureQdtypeFile(const char* path);
