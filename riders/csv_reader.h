// RFC 4180 records from bytes: fields split at commas, rows at CR LF, LF or
// a lone CR, a field in double quotes may hold commas, line ends and doubled
// quotes. Standard library only; the caller decides what the bytes mean.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CsvRow {
  int line = 0;  // the physical line the row starts on, from 1
  std::vector<std::string> fields;
};

class CsvReader {
 public:
  explicit CsvReader(std::string_view bytes, std::size_t max_field_bytes)
      : bytes_(bytes), max_field_bytes_(max_field_bytes) {}

  // The next row into `row`; false at the end or on an error (see Error).
  bool Next(CsvRow& row);
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  int ErrorLine() const { return error_line_; }
  int ErrorColumn() const { return error_column_; }

 private:
  bool Fail(std::string reason, int column, int line = 0);

  std::string_view bytes_;
  std::size_t max_field_bytes_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::string error_;
  int error_line_ = 0;
  int error_column_ = 0;
};
