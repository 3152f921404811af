#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QDateTime>
#include <QString>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/param_diff.h"

namespace zart::params {

class ParamSet;

/// Who the report is about, as the main window shows the controller.
struct ReportIdentity {
  QString objectType;       ///< "ДГУ" or "ДРА"
  QString protocolVersion;
  QString softwareVersion;
  int slaveAddress = 0;
  QString runningHours;     ///< total running time, hours
  QDateTime when;           ///< when the report was made
  QString link{};           ///< the link read over: "COM5", "192.168.10.20:4001"
};

/// One parameter line: name, value as the box shows it, the unit its caption
/// names, and where the value came from (the legend's caption of its colour).
struct ReportRow {
  int slot = 0;
  QString name;
  QString value;
  QString unit;
  QString state;
  std::uint32_t colour = 0;
};

/// The parameters of one page of the parameters window.
struct ReportPage {
  PageRef page;
  QString title;  ///< "Двигатель", "Каналы · Экр3"
  std::vector<ReportRow> rows;
};

/// The service report of a controller's parameter set for the customer's
/// file: identity, then every parameter page by page (function pages first,
/// then channels, logic, relays, inputs), optionally a differences list.
class ServiceReport {
 public:
  /// Builds the report from the parameter set as it stands.
  static ServiceReport Build(const ParamSet& set, const ReportIdentity& identity,
                             const DiffList* differences = nullptr);

  /// The unit a caption names in its last brackets ("(об/мин)" → "об/мин",
  /// "(°C)", "(%)"); ranges, choices and remarks such as "(1-72)", "(0 -
  /// ДГУ, 1 - ДРА)" or "(автозапуск)" are not units. Empty when there is none.
  static QString UnitOf(const QString& caption);
  /// The legend caption of a box's state ("Значение из ЭСППЗУ", ...); for a
  /// box no value has reached, "Значение не прочитано из ЭСППЗУ".
  static QString StateOf(SlotState state);

  /// A self-contained HTML page (UTF-8), printable as it stands.
  QString ToHtml() const;

  ReportIdentity identity;
  std::vector<ReportPage> pages;
  std::optional<DiffList> differences;
  std::vector<QString> differencePages;  ///< page title of each difference
  int rowCount = 0;
};

}  // namespace zart::params
