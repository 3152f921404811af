#pragma once

#include <functional>

#include <QJsonObject>
#include <QString>

#include "params/param_diff.h"

namespace zart::cli {

/// Where zart-cli's words go: results on stdout (text, or JSON with
/// --json), messages and the progress of a transfer on stderr. Messages are
/// dropped with --quiet, errors never; the progress shows only on a
/// terminal.
class CliOutput {
 public:
  using Sink = std::function<void(const QString&)>;

  CliOutput(Sink out, Sink err, bool json, bool quiet, bool progressOnTerminal);

  bool Json() const { return m_json; }
  /// A result for a person; nothing with --json.
  void Result(const QString& text);
  /// A JSON document on one line; only with --json.
  void Document(const QJsonObject& document);
  /// A message on stderr, unless --quiet.
  void Message(const QString& text);
  /// An error on stderr: "zart-cli: " and the text.
  void Error(const QString& text);

  /// "Чтение ЭСППЗУ  [######      ]  57 / 131" on one line of the terminal,
  /// rewritten as the count moves; nothing when stderr is no terminal.
  void Progress(const QString& what, int done, int total);
  /// Clears the progress line, if one is shown.
  void EndProgress();

  /// Captions of the two values of a differences list.
  struct Sides {
    QString leftText;   ///< "контроллер"
    QString rightText;  ///< "файл"
    QString leftKey;    ///< "controller"
    QString rightKey;   ///< "file"
  };
  /// One line per entry: "PAR2 Стартовые обороты (об/мин) [Двигатель]:
  /// контроллер 1500, файл 1600", values without their padding blanks.
  static QString DiffText(const params::DiffList& list, const Sides& sides);
  /// The entries as JSON objects with slot, key, name, page, both values,
  /// state and note.
  static QJsonObject DiffJson(const params::DiffList& list, const Sides& sides);
  /// "differs", "missing", "notRead", "invalid".
  static QString StateKey(params::DiffState state);

 private:
  Sink m_out;
  Sink m_err;
  bool m_json;
  bool m_quiet;
  bool m_progress;
  bool m_progressShown = false;
  QString m_lastProgress;
};

}  // namespace zart::cli
