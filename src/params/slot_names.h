#pragma once

#include <QString>

#include "params/catalogue.h"

namespace zart::params {

/// The caption of the tab that shows a page: "Двигатель", "Экр3", "М2",
/// "НЕ1", "9-16", or the bare input screen number "5".
QString TabCaption(PageRef page);

/// A short name of the table a page belongs to ("Каналы", "Входы", "Логика",
/// "Реле"; the function pages have none), to tell "3" of the inputs from "3"
/// of another strip in lists.
QString PageGroupName(PageGroup group);

/// "Каналы · Экр3", "Реле · 9-16", "Двигатель": the page of a slot as a user
/// finds it in the parameters window.
QString SlotPageTitle(int slot);

/// The column headers of the channel table ("Имя", "РЗН", "Тип", "НПИ",
/// "ВПИ", "Код упр.", "П1", "П2", "Авария") and of the input table ("Имя",
/// "РЗН", "Тип", "Код упр."); empty outside them.
QString ChannelColumnName(int column);
QString InputColumnName(int column);

/// The human name of slot 0..1207, distinct for every slot:
/// the caption of its row on a function page ("Стартовые обороты (об/мин)"),
/// with the column word where a row holds several boxes
/// ("Множители уставок давления масла: П2"); "Канал 12 · НПИ",
/// "Вход 40 · Тип", "М3 · порог", "М3 · вход 5", "Н1 · вход 2", "Реле 17".
/// An empty string for a slot outside 0..1207.
QString SlotName(int slot);

}  // namespace zart::params
