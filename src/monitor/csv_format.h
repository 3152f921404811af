#pragma once

#include <QByteArray>
#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace zart::monitor {

/// How the tool writes CSV files so that a spreadsheet on a Russian Windows
/// opens them as they are: UTF-8 with a byte-order mark (Excel reads a file
/// without one as Windows-1251 and garbles the Cyrillic headers), fields
/// separated by ";", lines ended by CR LF, and fractional numbers with the
/// decimal separator of the user's locale (Excel takes "12.6" for a date
/// where the comma is the separator). A point can be chosen instead, for
/// scripts that read the files.
class CsvFormat {
 public:
  static constexpr QChar kSeparator = QLatin1Char(';');

  /// A format with a decimal point.
  CsvFormat() = default;
  explicit CsvFormat(QChar decimal) : m_decimal(decimal) {}
  /// The decimal comma where `locale` uses one, a point otherwise or when
  /// `pointForScripts` is set.
  static CsvFormat ForLocale(const QLocale& locale, bool pointForScripts);

  QChar Decimal() const { return m_decimal; }

  /// The UTF-8 byte-order mark every file starts with.
  static QByteArray Bom();
  /// `text` as one field: quoted (with doubled quotes inside) when it holds
  /// the separator, a quote, a line break or blanks at either end.
  static QString Field(const QString& text);
  /// `value` with `decimals` places, this format's separator, no grouping.
  QString Number(double value, int decimals) const;
  /// A number written by a box or a label in either notation ("12.6",
  /// "-0,5") in this format's notation; any other text as it is.
  QString NumberText(const QString& text) const;
  /// The fields, each through Field(), joined by the separator; no line end.
  static QString Line(const QStringList& fields);
  /// A whole file: the mark, then each line and CR LF, in UTF-8.
  static QByteArray Document(const QStringList& lines);

 private:
  QChar m_decimal = QLatin1Char('.');
};

}  // namespace zart::monitor
