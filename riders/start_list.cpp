#include "riders/start_list.h"

#include "riders/bib.h"
#include "riders/csv_reader.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr int kMaxRiders = 200000;

enum Known { kBib, kName, kTeam, kNation, kUciId, kBorn, kOther };
constexpr std::array<std::string_view, kOther> kKnownHeadings = {"bib",    "name",   "team",
                                                                 "nation", "uci_id", "born"};

// Strict UTF-8: no overlong form, no surrogate, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int more = 0;
    unsigned int low = 0x80;
    unsigned int high = 0xBF;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (i + more >= text.size()) {
      return false;
    }
    for (int k = 1; k <= more; ++k) {
      const unsigned char next = byte(i + k);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return false;
      }
    }
    i += more + 1;
  }
  return true;
}

std::optional<StartList> Refuse(StartListError& error, int line, int column, QString reason) {
  error = {line, column, std::move(reason)};
  return std::nullopt;
}

}  // namespace

QString StartListError::Text() const {
  if (line == 0) {
    return reason;
  }
  if (column == 0) {
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
  }
  return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(reason);
}

QString StartList::NameKey(const QString& name) {
  return name.simplified().toCaseFolded();
}

std::optional<StartList> StartList::Parse(const QByteArray& bytes, StartListError& error) {
  if (bytes.size() > kMaxFileBytes) {
    return Refuse(error, 0, 0,
                  QStringLiteral("larger than %1 MB").arg(kMaxFileBytes / (1024 * 1024)));
  }
  std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  CsvReader reader(text, kMaxFieldBytes);
  CsvRow row;
  const auto decode = [](const std::string& field, QString& out) {
    if (!IsUtf8(field)) {
      return false;
    }
    out = QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size())).trimmed();
    return true;
  };
  const auto csv_error = [&] {
    return Refuse(error, reader.ErrorLine(), reader.ErrorColumn(),
                  QString::fromStdString(reader.Error()));
  };

  // The header row.
  if (!reader.Next(row)) {
    return reader.Failed() ? csv_error() : Refuse(error, 1, 0, QStringLiteral("the file is empty"));
  }
  if (static_cast<int>(row.fields.size()) > kMaxColumns) {
    return Refuse(error, row.line, kMaxColumns + 1,
                  QStringLiteral("more than %1 columns").arg(kMaxColumns));
  }
  StartList list;
  std::vector<int> known;  // per column: Known, or kOther
  std::vector<QString> headings;
  for (std::size_t i = 0; i < row.fields.size(); ++i) {
    const int column = static_cast<int>(i) + 1;
    QString heading;
    if (!decode(row.fields[i], heading)) {
      return Refuse(error, row.line, column, QStringLiteral("bytes that are not UTF-8"));
    }
    if (heading.isEmpty()) {
      return Refuse(error, row.line, column, QStringLiteral("a column without a heading"));
    }
    for (const QString& seen : headings) {
      if (seen.compare(heading, Qt::CaseInsensitive) == 0) {
        return Refuse(error, row.line, column,
                      QStringLiteral("the heading \"%1\" twice").arg(heading));
      }
    }
    headings.push_back(heading);
    int kind = kOther;
    for (int k = 0; k < kOther; ++k) {
      if (heading.compare(QLatin1StringView(kKnownHeadings[k].data(), kKnownHeadings[k].size()),
                          Qt::CaseInsensitive) == 0) {
        kind = k;
      }
    }
    known.push_back(kind);
    if (kind == kOther) {
      list.other_headings_.push_back(heading);
    }
  }
  if (std::find(known.begin(), known.end(), kBib) == known.end()) {
    return Refuse(error, row.line, 0, QStringLiteral("no \"bib\" column"));
  }

  // One rider a row; a row of one empty field is a blank line.
  QHash<QString, int> bib_line;
  while (reader.Next(row)) {
    if (row.fields.size() == 1 && row.fields[0].empty()) {
      continue;
    }
    if (row.fields.size() != known.size()) {
      return Refuse(error, row.line, 0,
                    QStringLiteral("%1 fields where the heading row has %2")
                        .arg(row.fields.size())
                        .arg(known.size()));
    }
    if (static_cast<int>(list.riders_.size()) >= kMaxRiders) {
      return Refuse(error, row.line, 0, QStringLiteral("more than %1 riders").arg(kMaxRiders));
    }
    StartListRider rider;
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
      const int column = static_cast<int>(i) + 1;
      QString value;
      if (!decode(row.fields[i], value)) {
        return Refuse(error, row.line, column, QStringLiteral("bytes that are not UTF-8"));
      }
      switch (known[i]) {
        case kBib:
          rider.bib = value;
          break;
        case kName:
          rider.name = value;
          break;
        case kTeam:
          rider.team = value;
          break;
        case kNation:
          rider.nation = value;
          break;
        case kUciId:
          rider.uci_id = value;
          break;
        case kBorn:
          rider.born = value;
          break;
        default:
          rider.other.emplace_back(headings[i], value);
          break;
      }
    }
    const int bib_column =
        static_cast<int>(std::find(known.begin(), known.end(), kBib) - known.begin()) + 1;
    if (!IsValidBib(rider.bib)) {
      return Refuse(error, row.line, bib_column,
                    rider.bib.isEmpty()
                        ? QStringLiteral("no bib")
                        : QStringLiteral("the bib \"%1\" is not 1 to %2 letters or digits")
                              .arg(rider.bib)
                              .arg(kMaxBibLength));
    }
    if (const auto first = bib_line.constFind(rider.bib); first != bib_line.constEnd()) {
      return Refuse(error, row.line, bib_column,
                    QStringLiteral("bib %1 again (first on line %2)").arg(rider.bib).arg(*first));
    }
    bib_line.insert(rider.bib, row.line);
    list.by_bib_.insert(rider.bib, static_cast<qsizetype>(list.riders_.size()));
    if (!rider.name.isEmpty()) {
      const qsizetype index = static_cast<qsizetype>(list.riders_.size());
      list.by_name_.insert(NameKey(rider.name), index);
      if (!rider.nation.isEmpty()) {
        list.by_name_.insert(NameKey(rider.name + QLatin1Char(' ') + rider.nation), index);
      }
    }
    list.riders_.push_back(std::move(rider));
  }
  if (reader.Failed()) {
    return csv_error();
  }
  return list;
}

std::optional<StartList> StartList::Load(const QString& path, StartListError& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Refuse(error, 0, 0, file.errorString());
  }
  // One byte more than allowed tells a file that is too large.
  const QByteArray bytes = file.read(kMaxFileBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    return Refuse(error, 0, 0, file.errorString());
  }
  return Parse(bytes, error);
}

const StartListRider* StartList::FindBib(const QString& bib) const {
  const auto found = by_bib_.constFind(bib.trimmed());
  return found == by_bib_.constEnd() ? nullptr : &riders_[static_cast<std::size_t>(*found)];
}

const StartListRider* StartList::FindName(const QString& name) const {
  const auto found = by_name_.constFind(NameKey(name));
  return found == by_name_.constEnd() ? nullptr : &riders_[static_cast<std::size_t>(*found)];
}
