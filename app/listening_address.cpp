#include "app/listening_address.h"

#include "app/data_file.h"

void ListeningAddress::SetText(std::string_view text) {
  text_.assign(text.substr(0, kLimit));
}

void ListeningAddress::Load(const char* path) {
  QFile file;
  if (!OpenForReading(file, path)) {
    text_ = kAllSenders;
    return;
  }
  // The first line only: read until its end or until more than the limit
  // (plus a CR) is known.
  std::string line;
  char chunk[256];
  bool line_ended = false;
  while (!line_ended && line.size() <= kLimit) {
    const qint64 got = file.read(chunk, sizeof chunk);
    if (got < 0) {
      ReportFileError(path, file.errorString());
      text_ = kAllSenders;
      return;
    }
    if (got == 0) {
      break;
    }
    for (qint64 i = 0; i < got; ++i) {
      if (chunk[i] == '\n') {
        line_ended = true;
        break;
      }
      line.push_back(chunk[i]);
    }
  }
  if (line_ended && !line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  SetText(line);
}

void ListeningAddress::Save(const char* path) const {
  WriteWholeFile(path, text_ + "\r\n");
}
