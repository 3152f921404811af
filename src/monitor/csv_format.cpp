#include "monitor/csv_format.h"

namespace zart::monitor {

CsvFormat CsvFormat::ForLocale(const QLocale& locale, bool pointForScripts) {
  if (pointForScripts) return CsvFormat(QLatin1Char('.'));
  return CsvFormat(locale.decimalPoint() == QStringLiteral(u",") ? QLatin1Char(',') : QLatin1Char('.'));
}

QByteArray CsvFormat::Bom() { return QByteArray("\xEF\xBB\xBF", 3); }

QString CsvFormat::Field(const QString& text) {
  const bool quote = text.contains(kSeparator) || text.contains(QLatin1Char('"')) ||
                     text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
                     (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
  if (!quote) return text;
  QString quoted = text;
  quoted.replace(QStringLiteral(u"\""), QStringLiteral(u"\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvFormat::Number(double value, int decimals) const {
  QString text = QString::number(value, 'f', decimals);
  if (m_decimal != QLatin1Char('.')) text.replace(QLatin1Char('.'), m_decimal);
  return text;
}

QString CsvFormat::NumberText(const QString& text) const {
  // Only a plain decimal number changes: an optional sign, digits, one
  // separator and digits. Texts, hex words and times stay as they are.
  const QString t = text.trimmed();
  int separators = 0;
  int digits = 0;
  for (qsizetype i = 0; i < t.size(); ++i) {
    const QChar c = t[i];
    if (c.isDigit() && c.unicode() < 128) {
      ++digits;
    } else if (c == QLatin1Char('.') || c == QLatin1Char(',')) {
      ++separators;
    } else if (!(i == 0 && c == QLatin1Char('-'))) {
      return text;
    }
  }
  if (digits == 0 || separators > 1) return text;
  QString out = t;
  out.replace(QLatin1Char('.'), m_decimal);
  out.replace(QLatin1Char(','), m_decimal);
  return out;
}

QString CsvFormat::Line(const QStringList& fields) {
  QString line;
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0) line += kSeparator;
    line += Field(fields[i]);
  }
  return line;
}

QByteArray CsvFormat::Document(const QStringList& lines) {
  QByteArray bytes = Bom();
  for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
  return bytes;
}

}  // namespace zart::monitor
