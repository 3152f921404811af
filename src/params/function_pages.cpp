#include "params/function_pages.h"

namespace zart::params {

namespace {

FunctionRow Row(QString caption, std::vector<int> boxSlots, QString header = QString()) {
  return FunctionRow{std::move(caption), std::move(boxSlots), std::move(header)};
}

// The five hand-laid pages for slots 0..88, in tab order, each row top to
// bottom and each row's boxes left to right. The captions are the
// controller's own wording (typos such as "аврийного" included), so that the
// pages read like the controller's documentation.
std::array<FunctionPage, 5> BuildPages() {
  return {
      FunctionPage{
          QStringLiteral(u"Двигатель"),
          QStringLiteral(u"Управление двигателем"),
          {
              Row(QStringLiteral(u"Канал частоты вращ. двигателя (1-72)"), {52}),
              Row(QStringLiteral(u"Кол-во зубьев маховика двигателя"), {6}),
              Row(QStringLiteral(u"Стартовые обороты (об/мин)"), {2}),
              Row(QStringLiteral(u"Обороты ХХ (об/мин)"), {3}),
              Row(QStringLiteral(u"Рабочие обороты (об/мин)"), {4}),
              Row(QStringLiteral(u"Максимальные обороты (об/мин)"), {5}),
              Row(QStringLiteral(u"Запрет реверса по об. двиг. (об/мин)"), {30}),
              Row(QStringLiteral(u"Запрет реверса по об. гр. вала (об/мин)"), {31}),
              Row(QStringLiteral(u"Время останова двигателя (сек)"), {13}),
              Row(QStringLiteral(u"Время работы аврийного стоп-устр. (сек)"), {14}),
              Row(QStringLiteral(u"Задержка начала анализа АПС (сек)"), {63}),
              Row(QStringLiteral(u"Время работы в режиме ХХ (сек)"), {32}),
              Row(QStringLiteral(u"Время работы стоп-устройства (сек)"), {17}),
              Row(QStringLiteral(u"Время ожидания перед стартом (сек)"), {24}),
              Row(QStringLiteral(u"Время работы свечей прогрева (сек)"), {18}),
              Row(QStringLiteral(u"Время работы стартера (сек)"), {19}),
              Row(QStringLiteral(u"Количество попыток пуска (автозапуск)"), {20}),
              Row(QStringLiteral(u"Ожидание между попытками пуска (сек)"), {21}),
              Row(QStringLiteral(u"Время охлаждения (сек)"), {56}),
              Row(QStringLiteral(u"Наработка до ТО (моточасы)"), {22}),
              Row(QStringLiteral(u"Длит. импульса регулирования (мс)"), {25}),
          }},
      FunctionPage{
          QStringLiteral(u"ОЖ"),
          QStringLiteral(u"ОЖ"),
          {
              Row(QStringLiteral(u"Номер канала температуры ОЖ (1-72)"), {28}),
              Row(QStringLiteral(u"Температура прогрева двигателя (°C)"), {15}),
              Row(QStringLiteral(u"Время прогрева двигателя (сек)"), {16}),
              Row(QStringLiteral(u"Номер канала НТК (1-72)"), {8}),
              Row(QStringLiteral(u"Давление НТК (бар)"), {41}),
              Row(QStringLiteral(u"Предельное время НТК (сек)"), {42}),
              Row(QStringLiteral(u"Номер канала ВТК (1-72)"), {9}),
              Row(QStringLiteral(u"Давление ВТК (бар)"), {43}),
              Row(QStringLiteral(u"Предельное время ВТК (сек)"), {44}),
          }},
      FunctionPage{
          QStringLiteral(u"Масло"),
          QStringLiteral(u"Масло"),
          {
              Row(QStringLiteral(u"Канал Т масла (1-72)"), {76}),
              Row(QStringLiteral(u"Макс. температура АПС помпы (°C)"), {67}),
              Row(QStringLiteral(u"Канал Т масла  для ЭН (0-откл, 1-72)"), {55}),
              Row(QStringLiteral(u"Т масла вкл | откл  ЭН  (°C)"), {37, 38}),
              Row(QStringLiteral(u"Номер канала давл. масла (1-72)"), {49}),
              Row(QStringLiteral(u"Порог перекл. давл. масла (об/мин)"), {50}),
              Row(QStringLiteral(u"Множители уставок давления масла:"), {51, 53, 54}, QStringLiteral(u"    П1             П2            Авария")),
              Row(QStringLiteral(u"Давление прокачки масла (бар)"), {39}),
              Row(QStringLiteral(u"Период прокачки (мин)"), {66}),
              Row(QStringLiteral(u"Предельное время прокачки (сек)"), {40, 64, 65}, QStringLiteral(u"на старте       после останова     периодическое")),
              Row(QStringLiteral(u"Канал давл. масла редукт. (ан.) (1-72)"), {57}),
              Row(QStringLiteral(u"Канал давл. масла редукт. (д.) (1-64)"), {58}),
              Row(QStringLiteral(u"Задержка АПС масла редуктора (сек)"), {59}),
              Row(QStringLiteral(u"Множители уставок давл. масла редук."), {60, 61, 62}, QStringLiteral(u"    П1             П2            Авария")),
          }},
      FunctionPage{
          QStringLiteral(u"Токовое упр"),
          QStringLiteral(u"Токовое управление"),
          {
              Row(QStringLiteral(u"Ток, соотв. холостому ходу (%)"), {70}),
              Row(QStringLiteral(u"Ток, соотв. рабочему режиму (%)"), {71}),
              Row(QStringLiteral(u"Режим управления дискр. сигн. (0-4*)"), {73}),
              Row(QStringLiteral(u"Канал включ. дискр. управления (1-72)"), {75}),
              Row(QStringLiteral(u"Канал Больше|Меньше (1-64)"), {87, 88}),
              Row(QStringLiteral(u"Шаг при однократном нажатии (%)"), {68}),
              Row(QStringLiteral(u"Шаг при длительном удержании (%)"), {69}),
              Row(QStringLiteral(u"Ограничение минимального тока (%)"), {33}),
              Row(QStringLiteral(u"Ограничение максимального тока (%)"), {34}),
              Row(QStringLiteral(u"Режим прямого управления (0-4*)"), {74}),
              Row(QStringLiteral(u"Канал включ. прямого упр. (1-72)"), {45}),
              Row(QStringLiteral(u"Канал ист. 4-20 мА (0-откл, 1-72)"), {46}),
              Row(QStringLiteral(u"Миним. порог входного тока (%)"), {72}),
              Row(QStringLiteral(u"Шаг изменения тока (%)"), {47}),
              Row(QStringLiteral(u"Период изменения тока (с)"), {48}),
              Row(QStringLiteral(u"Выходной токовый канал (1-8)"), {81}),
              Row(QStringLiteral(u"* 0 - ВЫКЛ, 1-ВКЛ, 2-ВКЛ ДИСКР, 3-ВКЛ АВТОЗАП, 4-ВКЛ НЕ АВТОЗАП"), {}),
              Row(QStringLiteral(u"Обороты двиг., соотв. 20 мА (об/мин)"), {10}),
              Row(QStringLiteral(u"Выходной токовый канал (1-8)"), {82}),
          }},
      FunctionPage{
          QStringLiteral(u"Система"),
          QStringLiteral(u"Системные настройки"),
          {
              Row(QStringLiteral(u"Объект (0 - ДГУ, 1 - ДРА)"), {1}),
              Row(QStringLiteral(u"Плата PLM (ДГУ) (0 - откл., 1 - вкл.)"), {35}),
              Row(QStringLiteral(u"Кол-во модулей РЗН (1-2)"), {36}),
              Row(QStringLiteral(u"Внешн. упр. от ВПУ (0 - откл. 1-вкл.)"), {11}),
              Row(QStringLiteral(u"Внешн. упр. по Modbus (0 - откл. 1-вкл.)"), {26}),
              Row(QStringLiteral(u"Адрес Modbus"), {23}),
              Row(QStringLiteral(u"Таймаут внешнего Modbus (сек)"), {27}),
              Row(QStringLiteral(u"Яркость дисплея (%)"), {0}),
              Row(QStringLiteral(u"Предупр. порог напряжения АКБ (В)"), {12}),
              Row(QStringLiteral(u"Компенс. подстройка напр. АКБ (В)"), {29}),
              Row(QStringLiteral(u"Канал разрешения прогр. (1-64)"), {78}),
              Row(QStringLiteral(u"Канал Аварийного останова (1-64)"), {79}),
              Row(QStringLiteral(u"Канал зарядного генератора (1-64)"), {84}),
              Row(QStringLiteral(u"Канал СТАРТ (ГРЩ) (1-64)"), {85}),
              Row(QStringLiteral(u"Канал СТОП (ГРЩ) (1-64)"), {86}),
              Row(QStringLiteral(u"Канал редуктор не в нейтрали (1-64)"), {80}),
              Row(QStringLiteral(u"Канал частоты вращ. греб. вала (1-72)"), {77}),
              Row(QStringLiteral(u"Кол-во зубьев маховика гребного вала"), {7}),
              Row(QStringLiteral(u"Канал направл. вращ. греб. вала (1-72)"), {83}),
          }},
  };
}

}  // namespace

const std::array<FunctionPage, 5>& FunctionPages() {
  static const std::array<FunctionPage, 5> pages = BuildPages();
  return pages;
}

}  // namespace zart::params
