#pragma once

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace zart::testing {

/// Reads a CSV file the way a spreadsheet with Russian settings does: fields
/// separated by ";", quoted fields with doubled quotes, CR LF lines, UTF-8
/// only after a byte-order mark (without one the bytes are taken as
/// Windows-1251, which is what garbles a Cyrillic header). `bom` tells
/// whether the mark was there.
inline QList<QStringList> ReadCsvAsExcel(const QByteArray& bytes, bool* bom = nullptr) {
  const bool marked = bytes.startsWith("\xEF\xBB\xBF");
  if (bom != nullptr) *bom = marked;
  const QString text = marked ? QString::fromUtf8(bytes.mid(3)) : QString::fromLatin1(bytes);
  QList<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
        field += u'"';
        ++i;
      } else if (c == u'"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == u'"') {
      quoted = true;
    } else if (c == u';') {
      row << field;
      field.clear();
    } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      row << field;
      rows << row;
      row.clear();
      field.clear();
      ++i;
    } else {
      field += c;
    }
  }
  if (!field.isEmpty() || !row.isEmpty()) rows << (row << field);
  return rows;
}

/// A number as a Russian spreadsheet reads a field: decimal comma, no point.
inline bool ReadsAsRussianNumber(const QString& field, double* value = nullptr) {
  bool ok = false;
  const double v = QLocale(QLocale::Russian, QLocale::Russia).toDouble(field, &ok);
  if (ok && value != nullptr) *value = v;
  return ok && !field.contains(u'.');
}

}  // namespace zart::testing
