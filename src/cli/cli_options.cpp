#include "cli/cli_options.h"

#include <array>
#include <utility>

namespace zart::cli {

namespace {

struct CommandForm {
  Command command;
  const char16_t* name;
  int files;  // file arguments it takes
};

constexpr std::array<CommandForm, 7> kCommands{{
    {Command::status, u"status", 0},
    {Command::read, u"read", 1},
    {Command::write, u"write", 1},
    {Command::compare, u"compare", 1},
    {Command::diff, u"diff", 2},
    {Command::scan, u"scan", 0},
    {Command::monitor, u"monitor", 0},
}};

const CommandForm* FindCommand(const QString& name) {
  for (const CommandForm& c : kCommands)
    if (name == QStringView(c.name)) return &c;
  return nullptr;
}

const CommandForm& FormOf(Command command) {
  for (const CommandForm& c : kCommands)
    if (c.command == command) return c;
  return kCommands[0];
}

// A whole decimal number in [min, max]; nothing otherwise.
std::optional<int> IntIn(const QString& text, int min, int max) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok, 10);
  if (!ok || v < min || v > max) return std::nullopt;
  return v;
}

// Options that belong to one command only, and the command.
struct OwnOption {
  const char16_t* name;
  Command command;
};
constexpr std::array<OwnOption, 8> kOwnOptions{{
    {u"--no-backup", Command::write},
    {u"--no-verify", Command::write},
    {u"--skip-invalid", Command::write},
    {u"--backup-dir", Command::write},
    {u"--from", Command::scan},
    {u"--to", Command::scan},
    {u"--seconds", Command::monitor},
    {u"--csv", Command::monitor},
}};

class Parser {
 public:
  explicit Parser(const QStringList& args) : m_args(args) {}

  ParseResult Run() {
    ParseResult result;
    QStringList positional;
    bool optionsEnded = false;
    for (m_i = 0; m_i < m_args.size(); ++m_i) {
      const QString arg = m_args[m_i];
      if (optionsEnded || !arg.startsWith(u'-') || arg == u"-") {
        positional << arg;
        continue;
      }
      if (arg == u"--") {
        optionsEnded = true;
        continue;
      }
      if (!Option(arg, result.options)) {
        result.error = m_error;
        return result;
      }
      m_seen << m_name;
    }
    if (result.options.help || result.options.version) return result;
    if (positional.isEmpty()) {
      result.error = QStringLiteral(u"не указана команда (status, read, write, compare, diff, scan, monitor)");
      return result;
    }
    const CommandForm* form = FindCommand(positional.front());
    if (form == nullptr) {
      result.error = QStringLiteral(u"неизвестная команда «%1»").arg(positional.front());
      return result;
    }
    result.options.command = form->command;
    result.options.files = positional.mid(1);
    if (result.options.files.size() != form->files) {
      result.error = form->files == 0 ? QStringLiteral(u"команда %1 не принимает аргументов: «%2»")
                                            .arg(CommandName(form->command), result.options.files.join(u' '))
                                      : QStringLiteral(u"команде %1 нужно файлов: %2")
                                            .arg(CommandName(form->command))
                                            .arg(form->files);
      return result;
    }
    for (const QString& f : std::as_const(result.options.files)) {
      if (f.isEmpty()) {
        result.error = QStringLiteral(u"пустое имя файла");
        return result;
      }
    }
    for (const OwnOption& own : kOwnOptions) {
      if (own.command != form->command && m_seen.contains(QString::fromUtf16(own.name))) {
        result.error = QStringLiteral(u"параметр %1 относится только к команде %2")
                           .arg(QString::fromUtf16(own.name), CommandName(own.command));
        return result;
      }
    }
    if (result.options.from > result.options.to) {
      result.error = QStringLiteral(u"--from больше, чем --to");
    }
    return result;
  }

 private:
  // The option's value: after "=" or the next argument.
  std::optional<QString> Value() {
    if (m_inline) return *m_inline;
    if (m_i + 1 >= m_args.size()) {
      m_error = QStringLiteral(u"параметру %1 нужно значение").arg(m_name);
      return std::nullopt;
    }
    return m_args[++m_i];
  }

  bool Number(std::optional<int>& into, int min, int max) {
    const std::optional<QString> text = Value();
    if (!text) return false;
    into = IntIn(*text, min, max);
    if (!into) m_error = QStringLiteral(u"%1: «%2» — не число от %3 до %4").arg(m_name, *text).arg(min).arg(max);
    return into.has_value();
  }
  bool Number(int& into, int min, int max) {
    std::optional<int> v;
    if (!Number(v, min, max)) return false;
    into = *v;
    return true;
  }
  bool Text(QString& into) {
    const std::optional<QString> text = Value();
    if (!text) return false;
    if (text->trimmed().isEmpty()) {
      m_error = QStringLiteral(u"%1: пустое значение").arg(m_name);
      return false;
    }
    into = *text;
    return true;
  }
  bool Flag(bool& into) {
    if (m_inline) {
      m_error = QStringLiteral(u"параметр %1 не принимает значения").arg(m_name);
      return false;
    }
    into = true;
    return true;
  }

  bool Option(const QString& arg, CliOptions& o) {
    const qsizetype eq = arg.indexOf(u'=');
    m_name = eq > 0 ? arg.left(eq) : arg;
    m_inline = eq > 0 ? std::optional<QString>(arg.mid(eq + 1)) : std::nullopt;
    const QString& n = m_name;
    if (n == u"-h" || n == u"--help") return Flag(o.help);
    if (n == u"-V" || n == u"--version") return Flag(o.version);
    if (n == u"--json") return Flag(o.json);
    if (n == u"-q" || n == u"--quiet") return Flag(o.quiet);
    if (n == u"-v" || n == u"--verbose") return Flag(o.verbose);
    if (n == u"--fast") return Flag(o.fast);
    if (n == u"--port") return Text(o.port);
    if (n == u"--address") return Number(o.address, 0, 127);
    if (n == u"--timeout") return Number(o.timeoutMs, 10, 60000);
    if (n == u"--settings-dir") return Text(o.settingsDir);
    if (n == u"--parity") {
      if (!Text(o.parity)) return false;
      o.parity = o.parity.trimmed().toUpper();
      if (o.parity == u"E" || o.parity == u"N" || o.parity == u"O") return true;
      m_error = QStringLiteral(u"--parity: «%1» — ожидается E, N или O").arg(o.parity);
      return false;
    }
    if (n == u"--no-backup") return Flag(o.noBackup);
    if (n == u"--no-verify") return Flag(o.noVerify);
    if (n == u"--skip-invalid") return Flag(o.skipInvalid);
    if (n == u"--backup-dir") return Text(o.backupDir);
    if (n == u"--from") return Number(o.from, 0, 127);
    if (n == u"--to") return Number(o.to, 0, 127);
    if (n == u"--seconds") return Number(o.seconds, 1, 7 * 24 * 3600);
    if (n == u"--csv") return Flag(o.csv);
    m_error = QStringLiteral(u"неизвестный параметр %1").arg(n);
    return false;
  }

  const QStringList& m_args;
  qsizetype m_i = 0;
  QString m_name;
  std::optional<QString> m_inline;
  QString m_error;
  QStringList m_seen;
};

}  // namespace

ParseResult ParseCommandLine(const QStringList& args) { return Parser(args).Run(); }

QString CommandName(Command command) {
  if (command == Command::none) return QString();
  return QString::fromUtf16(FormOf(command).name);
}

QString HelpText() {
  return QStringLiteral(
      u"zart-cli — обслуживание контроллера ЗАРТ из командной строки\n"
      u"\n"
      u"Использование: zart-cli [ПАРАМЕТРЫ] КОМАНДА [АРГУМЕНТЫ]\n"
      u"\n"
      u"Команды:\n"
      u"  status             прочитать состояние контроллера: тип объекта, версии,\n"
      u"                     обороты, напряжение АКБ, индикаторы, включённые сигналы,\n"
      u"                     наработку, блокировку управления по Modbus\n"
      u"  read ФАЙЛ          прочитать все 1208 параметров ЭСППЗУ в ФАЙЛ, в формате\n"
      u"                     кнопки «Сохранить в файл» окна параметров; файл пишется\n"
      u"                     целиком или не пишется вовсе\n"
      u"  write ФАЙЛ         записать все параметры из ФАЙЛа: сначала резервная копия\n"
      u"                     параметров контроллера, затем запись (адрес Modbus и\n"
      u"                     внешнее управление — последними), затем проверка\n"
      u"                     чтением; несовпадения называются по имени параметра\n"
      u"  compare ФАЙЛ       прочитать все параметры и перечислить отличия от ФАЙЛа\n"
      u"  diff ФАЙЛ1 ФАЙЛ2   отличия двух файлов параметров, без контроллера\n"
      u"  scan               найти контроллеры: какие адреса отвечают на чтение\n"
      u"                     состояния (тип объекта и версии каждого)\n"
      u"  monitor            строки состояния, по одной на каждый ответ, до Ctrl+C\n"
      u"\n"
      u"Параметры:\n"
      u"  --port P           порт: COM5 (как в zart-tool, с разделом [Ports] тп.ini),\n"
      u"                     путь к устройству (/dev/ttyUSB0, /dev/serial/by-id/…),\n"
      u"                     rtuovertcp://УЗЕЛ:ПОРТ (прозрачный шлюз) или\n"
      u"                     tcp://УЗЕЛ:ПОРТ (Modbus TCP); без него — подключение\n"
      u"                     из тп.ini (ключи Link и COM раздела [PC config])\n"
      u"  --address N        адрес контроллера, 0..127 (по умолчанию 7)\n"
      u"  --parity E|N|O     чётность линии (по умолчанию как в тп.ini, иначе E)\n"
      u"  --fast             быстрый обмен: ответ принимается, как только пришёл\n"
      u"                     целиком (чтение всех параметров за 1–2 с вместо 13 с)\n"
      u"  --timeout МС       время ожидания ответа по сети (по умолчанию ReplyTimeout\n"
      u"                     из тп.ini, иначе 1000) и ожидание каждого адреса в scan\n"
      u"  --settings-dir П   папка с тп.ini (без него — как у zart-tool: рядом с\n"
      u"                     программой, а если туда нельзя писать, в папке\n"
      u"                     пользователя)\n"
      u"  --json             результат на стандартный вывод в формате JSON\n"
      u"                     (monitor: один объект JSON в строке)\n"
      u"  -q, --quiet        без сообщений и хода передачи на stderr (ошибки остаются)\n"
      u"  -v, --verbose      сообщения о связи на stderr по мере их смены\n"
      u"  -h, --help         эта справка\n"
      u"  -V, --version      версия программы\n"
      u"\n"
      u"Параметры команды write:\n"
      u"  --no-backup        без резервной копии (параметры контроллера не читаются)\n"
      u"  --no-verify        без проверки записи\n"
      u"  --backup-dir П     папка резервных копий (по умолчанию, как у окна,\n"
      u"                     «Документы/ЗАРТ/Резервные копии»; имя файла —\n"
      u"                     «ГГГГ-ММ-ДД чч-мм-сс адрес N.ini»)\n"
      u"  --skip-invalid     записать остальные параметры, если в файле есть значения,\n"
      u"                     которые контроллер принять не может (не число, вне\n"
      u"                     диапазона, нет ключа PARn); они остаются в контроллере\n"
      u"                     как были. Без него такой файл не записывается вовсе:\n"
      u"                     код 2 и список этих параметров\n"
      u"\n"
      u"Параметры команды scan:\n"
      u"  --from N, --to N   диапазон адресов (по умолчанию 0 и 127); каждый адрес\n"
      u"                     ждёт ответа 30 мс (по сети — --timeout, иначе 300 мс)\n"
      u"\n"
      u"Параметры команды monitor:\n"
      u"  --seconds N        закончить через N секунд\n"
      u"  --csv              строки в формате журнала CSV окна «Журнал в файл…»\n"
      u"\n"
      u"Ход передачи («57 / 131») показывается на stderr, только если это терминал;\n"
      u"результаты идут на стандартный вывод. Вопросов программа не задаёт: где окно\n"
      u"спросило бы, она выбирает безопасный ответ — не записывать (недопустимые\n"
      u"значения без --skip-invalid, резервная копия, которую не удалось сохранить),\n"
      u"не повторять (файл, который не удалось прочитать или записать). Существующий\n"
      u"ФАЙЛ команды read заменяется, другие разделы в нём сохраняются, как в окне.\n"
      u"Молчащий контроллер завершает команду не позже чем через 15 с; оборванное\n"
      u"сетевое соединение восстанавливается, и передача продолжается.\n"
      u"\n"
      u"Коды возврата:\n"
      u"  0  выполнено\n"
      u"  1  найдены отличия (compare, diff)\n"
      u"  2  неверный вызов или негодный файл (нет файла, нет параметров, значения,\n"
      u"     которые контроллер принять не может)\n"
      u"  3  проверка записи нашла несовпадение\n"
      u"  4  нет связи или нет ответа (порт не открыт, контроллер молчит, отказал\n"
      u"     в запросе; scan: не ответил ни один адрес)\n"
      u"  5  не удалось записать файл (результат read, резервная копия перед write)\n"
      u"\n"
      u"Примеры:\n"
      u"  zart-cli --port COM5 status\n"
      u"  zart-cli --port /dev/ttyUSB0 --fast read набор.ini\n"
      u"  zart-cli --fast write набор.ini && echo записано и проверено\n"
      u"  zart-cli --port COM5 --address 12 compare набор.ini\n"
      u"  zart-cli diff завод.ini объект.ini\n"
      u"  zart-cli --port COM5 scan --from 1 --to 32\n"
      u"  zart-cli --port rtuovertcp://192.168.10.20:4001 --timeout 500 status\n"
      u"  zart-cli --json status\n"
      u"  zart-cli monitor --seconds 600 --csv > журнал.csv\n");
}

}  // namespace zart::cli
