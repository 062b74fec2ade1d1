#include "riders/csv_reader.h"

bool CsvReader::Fail(std::string reason, int column, int line) {
  error_ = std::move(reason);
  error_line_ = line > 0 ? line : line_;
  error_column_ = column;
  return false;
}

bool CsvReader::Next(CsvRow& row) {
  row.fields.clear();
  if (Failed() || pos_ >= bytes_.size()) {
    return false;
  }
  row.line = line_;
  std::string field;
  bool quoted = false;       // inside a quoted field
  bool was_quoted = false;   // this field started with a quote
  bool after_quote = false;  // the closing quote has been seen
  int quote_line = line_;    // where the open quoted field started
  const auto end_field = [&] {
    row.fields.push_back(std::move(field));
    field.clear();
    was_quoted = false;
    after_quote = false;
  };
  while (pos_ < bytes_.size()) {
    const char c = bytes_[pos_++];
    const int column = static_cast<int>(row.fields.size()) + 1;
    if (quoted) {
      if (c == '"') {
        if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
          field += '"';
          ++pos_;
        } else {
          quoted = false;
          after_quote = true;
        }
      } else {
        if (c == '\n') {
          ++line_;
        }
        field += c;
      }
    } else if (c == ',') {
      end_field();
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && pos_ < bytes_.size() && bytes_[pos_] == '\n') {
        ++pos_;
      }
      end_field();
      ++line_;
      return true;
    } else if (c == '"') {
      if (!field.empty() || was_quoted) {
        return Fail("a quote inside a field that does not start with one", column);
      }
      quoted = was_quoted = true;
      quote_line = line_;
    } else if (after_quote) {
      return Fail("text after the closing quote of a field", column);
    } else {
      field += c;
    }
    if (field.size() > max_field_bytes_) {
      return Fail("a field longer than " + std::to_string(max_field_bytes_) + " bytes", column);
    }
  }
  if (quoted) {
    return Fail("a quoted field that never ends", static_cast<int>(row.fields.size()) + 1,
                quote_line);
  }
  end_field();
  return true;
}
