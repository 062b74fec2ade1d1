// The start list: who rides today, read from a CSV file (RFC 4180) whose
// first row names the columns. "bib" is required; "name", "team", "nation",
// "uci_id" and "born" are known; any other column is kept under its heading.
// A file with any error is refused whole, so a card never shows half a file.
// QtCore only.
#pragma once

#include <QByteArray>
#include <QString>

#include <QHash>
#include <optional>
#include <utility>
#include <vector>

struct StartListRider {
  QString bib;
  QString name;
  QString team;
  QString nation;
  QString uci_id;
  QString born;
  std::vector<std::pair<QString, QString>> other;  // (heading, value), in file order
};

// Where and why a file was refused. `line` counts physical lines from 1;
// `column` counts fields from 1 (0 when the error concerns no field).
struct StartListError {
  int line = 0;
  int column = 0;
  QString reason;

  QString Text() const;  // "line 4, column 2: ..."
};

class StartList {
 public:
  static constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;
  static constexpr int kMaxColumns = 64;
  static constexpr int kMaxFieldBytes = 4096;

  // The rows of `bytes`, or nothing with `error` set.
  static std::optional<StartList> Parse(const QByteArray& bytes, StartListError& error);
  // The file at `path`, at most kMaxFileBytes; a file that cannot be read
  // is an error at line 0.
  static std::optional<StartList> Load(const QString& path, StartListError& error);

  const std::vector<StartListRider>& Riders() const { return riders_; }
  const StartListRider* FindBib(const QString& bib) const;
  // The rider whose name (or "name nation") is `name`, blanks and case aside.
  const StartListRider* FindName(const QString& name) const;
  // The headings of the columns kept in `other`, in file order.
  const std::vector<QString>& OtherHeadings() const { return other_headings_; }

  // Blanks trimmed and collapsed, case folded: how names are compared.
  static QString NameKey(const QString& name);

 private:
  std::vector<StartListRider> riders_;
  std::vector<QString> other_headings_;
  QHash<QString, qsizetype> by_bib_;
  QHash<QString, qsizetype> by_name_;
};
