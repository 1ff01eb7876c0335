#include "TriggerEditor.h"

#include "Conversions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace brio {

namespace {

struct TypeName {
    std::int32_t type;
    const char* text;
};
constexpr TypeName kTypes[] = {
    {trigger::Once, "Una vez"},
    {trigger::Daily, "Diariamente"},
    {trigger::Weekly, "Semanalmente"},
    {trigger::MonthlyDate, "Mensualmente, en días del mes"},
    {trigger::MonthlyDOW, "Mensualmente, en un día de la semana"},
    {trigger::OnIdle, "Cuando el equipo esté inactivo"},
    {trigger::AtSystemStart, "Al iniciar el sistema"},
    {trigger::AtLogon, "Al iniciar sesión"},
};

// Monday first, as a Spanish calendar shows them, with the scheduler's bit of each day.
struct DayName {
    std::int32_t bit;
    const char* text;
    const char* object;
};
constexpr DayName kDays[] = {
    {2, "lunes", "chkLunes"},     {4, "martes", "chkMartes"},    {8, "miércoles", "chkMiercoles"},
    {16, "jueves", "chkJueves"},  {32, "viernes", "chkViernes"}, {64, "sábado", "chkSabado"},
    {1, "domingo", "chkDomingo"},
};

constexpr const char* kMonths[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                                   "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};

constexpr const char* kWeeks[] = {"primer", "segundo", "tercer", "cuarto", "último"};

constexpr std::int32_t kAllDaysOfWeek = 0x7F;
constexpr std::int32_t kAllDaysOfMonth = 0x7FFFFFFF;
constexpr std::int32_t kAllMonths = 0xFFF;

bool timed(std::int32_t type) {
    return type >= trigger::Once && type <= trigger::MonthlyDOW;
}

// A spin box over a field's whole range from zero, reaching below zero only for a stored value that does.
void setSpin(QSpinBox* spin, int value, int maximum) {
    spin->setRange(std::min(0, value), maximum);
    spin->setValue(value);
}

QDate dateOf(const QDateTime& value) {
    return value.isValid() ? value.date() : ZeroDate().date();
}

// A combo box entry for a stored value outside the listed ones, so that it shows as it is.
void selectData(QComboBox* combo, int value, const QString& unknownText) {
    int index = combo->findData(value);
    if (index < 0) {
        combo->addItem(unknownText, value);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

} // namespace

TriggerEditor::TriggerEditor(QWidget* parent, const Clock& clock) : QWidget(parent), clock_(clock) {
    buildControls();
    load();
}

void TriggerEditor::buildControls() {
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);

    auto* form = new QFormLayout;
    cboTipo = new QComboBox(this);
    cboTipo->setObjectName(QStringLiteral("cboTipo"));
    for (const TypeName& t : kTypes)
        cboTipo->addItem(QString::fromUtf8(t.text), t.type);
    form->addRow(QStringLiteral("Programar la tarea:"), cboTipo);
    main->addLayout(form);

    grpInicio = new QGroupBox(QStringLiteral("Inicio y fin"), this);
    auto* dates = new QGridLayout(grpInicio);
    dteInicio = new QDateEdit(grpInicio);
    dteInicio->setObjectName(QStringLiteral("dteInicio"));
    dteInicio->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    dteInicio->setMinimumDate(QDate(100, 1, 1));
    dteInicio->setCalendarPopup(true);
    tmeHora = new QTimeEdit(grpInicio);
    tmeHora->setObjectName(QStringLiteral("tmeHora"));
    tmeHora->setDisplayFormat(QStringLiteral("HH:mm"));
    chkFechaFin = new QCheckBox(QStringLiteral("Fecha de finalización:"), grpInicio);
    chkFechaFin->setObjectName(QStringLiteral("chkFechaFin"));
    dteFin = new QDateEdit(grpInicio);
    dteFin->setObjectName(QStringLiteral("dteFin"));
    dteFin->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    dteFin->setMinimumDate(QDate(100, 1, 1));
    dteFin->setCalendarPopup(true);
    dates->addWidget(new QLabel(QStringLiteral("Fecha de inicio:"), grpInicio), 0, 0);
    dates->addWidget(dteInicio, 0, 1);
    dates->addWidget(new QLabel(QStringLiteral("Hora de inicio:"), grpInicio), 0, 2);
    dates->addWidget(tmeHora, 0, 3);
    dates->addWidget(chkFechaFin, 1, 0);
    dates->addWidget(dteFin, 1, 1);
    main->addWidget(grpInicio);

    pagDiaria = new QWidget(this);
    auto* daily = new QHBoxLayout(pagDiaria);
    daily->setContentsMargins(0, 0, 0, 0);
    spnDias = new QSpinBox(pagDiaria);
    spnDias->setObjectName(QStringLiteral("spnDias"));
    daily->addWidget(new QLabel(QStringLiteral("Cada"), pagDiaria));
    daily->addWidget(spnDias);
    daily->addWidget(new QLabel(QStringLiteral("días"), pagDiaria));
    daily->addStretch();
    main->addWidget(pagDiaria);

    pagSemanal = new QWidget(this);
    auto* weekly = new QHBoxLayout(pagSemanal);
    weekly->setContentsMargins(0, 0, 0, 0);
    spnSemanas = new QSpinBox(pagSemanal);
    spnSemanas->setObjectName(QStringLiteral("spnSemanas"));
    weekly->addWidget(new QLabel(QStringLiteral("Cada"), pagSemanal));
    weekly->addWidget(spnSemanas);
    weekly->addWidget(new QLabel(QStringLiteral("semanas, el:"), pagSemanal));
    weekly->addStretch();
    main->addWidget(pagSemanal);

    pagSemanaMes = new QWidget(this);
    auto* weekOfMonth = new QHBoxLayout(pagSemanaMes);
    weekOfMonth->setContentsMargins(0, 0, 0, 0);
    cboSemana = new QComboBox(pagSemanaMes);
    cboSemana->setObjectName(QStringLiteral("cboSemana"));
    for (int w = 0; w < 5; ++w)
        cboSemana->addItem(QString::fromUtf8(kWeeks[w]), w + 1);
    weekOfMonth->addWidget(new QLabel(QStringLiteral("El"), pagSemanaMes));
    weekOfMonth->addWidget(cboSemana);
    weekOfMonth->addWidget(
        new QLabel(QStringLiteral("día marcado de la semana, en los meses marcados"), pagSemanaMes));
    weekOfMonth->addStretch();
    main->addWidget(pagSemanaMes);

    grpDiasSemana = new QGroupBox(QStringLiteral("Días de la semana"), this);
    auto* dayGrid = new QGridLayout(grpDiasSemana);
    for (int d = 0; d < 7; ++d) {
        auto* box = new QCheckBox(QString::fromUtf8(kDays[d].text), grpDiasSemana);
        box->setObjectName(QString::fromLatin1(kDays[d].object));
        dayGrid->addWidget(box, d / 4, d % 4);
        chkDiasSemana[static_cast<std::size_t>(d)] = box;
    }
    main->addWidget(grpDiasSemana);

    grpDiasMes = new QGroupBox(QStringLiteral("Días del mes"), this);
    auto* monthDays = new QGridLayout(grpDiasMes);
    for (int d = 0; d < 31; ++d) {
        auto* box = new QCheckBox(QString::number(d + 1), grpDiasMes);
        box->setObjectName(QStringLiteral("chkDiaMes%1").arg(d + 1));
        monthDays->addWidget(box, d / 8, d % 8);
        chkDiasMes[static_cast<std::size_t>(d)] = box;
    }
    main->addWidget(grpDiasMes);

    grpMeses = new QGroupBox(QStringLiteral("Meses"), this);
    auto* monthGrid = new QGridLayout(grpMeses);
    for (int m = 0; m < 12; ++m) {
        auto* box = new QCheckBox(QString::fromUtf8(kMonths[m]), grpMeses);
        box->setObjectName(QStringLiteral("chkMes%1").arg(m + 1));
        monthGrid->addWidget(box, m / 6, m % 6);
        chkMeses[static_cast<std::size_t>(m)] = box;
    }
    main->addWidget(grpMeses);

    grpRepetir = new QGroupBox(QStringLiteral("Repetición"), this);
    auto* repeat = new QGridLayout(grpRepetir);
    chkRepetir = new QCheckBox(QStringLiteral("Repetir la tarea"), grpRepetir);
    chkRepetir->setObjectName(QStringLiteral("chkRepetir"));
    spnCada = new QSpinBox(grpRepetir);
    spnCada->setObjectName(QStringLiteral("spnCada"));
    spnDuracion = new QSpinBox(grpRepetir);
    spnDuracion->setObjectName(QStringLiteral("spnDuracion"));
    chkDetener = new QCheckBox(QStringLiteral("Detener la tarea si sigue en ejecución al acabar la duración"),
                               grpRepetir);
    chkDetener->setObjectName(QStringLiteral("chkDetener"));
    repeat->addWidget(chkRepetir, 0, 0, 1, 3);
    repeat->addWidget(new QLabel(QStringLiteral("Cada:"), grpRepetir), 1, 0);
    repeat->addWidget(spnCada, 1, 1);
    repeat->addWidget(new QLabel(QStringLiteral("minutos"), grpRepetir), 1, 2);
    repeat->addWidget(new QLabel(QStringLiteral("Durante:"), grpRepetir), 2, 0);
    repeat->addWidget(spnDuracion, 2, 1);
    repeat->addWidget(new QLabel(QStringLiteral("minutos"), grpRepetir), 2, 2);
    repeat->addWidget(chkDetener, 3, 0, 1, 3);
    main->addWidget(grpRepetir);
    main->addStretch();

    // Each control writes its own field only, so fields it does not show keep their stored values.
    connect(cboTipo, &QComboBox::currentIndexChanged, this, [this] {
        if (loading_)
            return;
        t_.setTriggerType(cboTipo->currentData().toInt());
        FillTypeDefaults(t_, LocalDay(clock_.Now()));
        load();
        emit changed();
    });
    connect(dteInicio, &QDateEdit::dateChanged, this, [this](QDate d) {
        t_.setBeginDay(MakeDate(d.year(), d.month(), d.day()));
        edited();
    });
    connect(tmeHora, &QTimeEdit::timeChanged, this, [this](QTime time) {
        const QDate day = dateOf(t_.StartTime());
        t_.setStartTime(MakeDate(day.year(), day.month(), day.day(), time.hour(), time.minute()));
        edited();
    });
    connect(chkFechaFin, &QCheckBox::toggled, this, [this](bool on) {
        t_.setFlags(on ? t_.Flags() | triggerflag::hasEndDate : t_.Flags() & ~triggerflag::hasEndDate);
        dteFin->setEnabled(on);
        if (on) {
            // An end date never set starts as the start date.
            const QDate d = std::max(dteFin->date(), dteInicio->date());
            const QSignalBlocker block(dteFin);
            dteFin->setDate(d);
            t_.setEndDay(MakeDate(d.year(), d.month(), d.day()));
        }
        edited();
    });
    connect(dteFin, &QDateEdit::dateChanged, this, [this](QDate d) {
        t_.setEndDay(MakeDate(d.year(), d.month(), d.day()));
        edited();
    });
    connect(chkRepetir, &QCheckBox::toggled, this, [this](bool on) {
        if (loading_)
            return;
        if (on) {
            // A repetition starts as every 10 minutes for an hour.
            loading_ = true;
            if (spnCada->value() <= 0)
                spnCada->setValue(10);
            if (spnDuracion->value() <= 0)
                spnDuracion->setValue(60);
            loading_ = false;
            t_.setInterval(spnCada->value());
            t_.setDuration(spnDuracion->value());
        } else {
            t_.setInterval(0);
            t_.setDuration(0);
            t_.setFlags(t_.Flags() & ~triggerflag::killAtDurationEnd);
        }
        load();
        emit changed();
    });
    connect(spnCada, &QSpinBox::valueChanged, this, [this](int v) {
        t_.setInterval(v);
        edited();
    });
    connect(spnDuracion, &QSpinBox::valueChanged, this, [this](int v) {
        t_.setDuration(v);
        edited();
    });
    connect(chkDetener, &QCheckBox::toggled, this, [this](bool on) {
        t_.setFlags(on ? t_.Flags() | triggerflag::killAtDurationEnd
                       : t_.Flags() & ~triggerflag::killAtDurationEnd);
        edited();
    });
    connect(spnDias, &QSpinBox::valueChanged, this, [this](int v) {
        t_.setDaily_Interval(static_cast<std::int16_t>(v));
        edited();
    });
    connect(spnSemanas, &QSpinBox::valueChanged, this, [this](int v) {
        t_.setWeekly_Interval(static_cast<std::int16_t>(v));
        edited();
    });
    connect(cboSemana, &QComboBox::currentIndexChanged, this, [this] {
        t_.setMonthlyDOW_Week(cboSemana->currentData().toInt());
        edited();
    });
    for (int d = 0; d < 7; ++d) {
        connect(chkDiasSemana[static_cast<std::size_t>(d)], &QCheckBox::toggled, this, [this, d](bool on) {
            const std::int32_t bit = kDays[d].bit;
            setDaysOfWeek(on ? daysOfWeek() | bit : daysOfWeek() & ~bit);
            edited();
        });
    }
    for (int d = 0; d < 31; ++d) {
        connect(chkDiasMes[static_cast<std::size_t>(d)], &QCheckBox::toggled, this, [this, d](bool on) {
            const std::int32_t bit = std::int32_t(1) << d;
            t_.setMonthlyDate_Day(on ? t_.MonthlyDate_Day() | bit : t_.MonthlyDate_Day() & ~bit);
            edited();
        });
    }
    for (int m = 0; m < 12; ++m) {
        connect(chkMeses[static_cast<std::size_t>(m)], &QCheckBox::toggled, this, [this, m](bool on) {
            const std::int32_t bit = std::int32_t(1) << m;
            setMonths(on ? months() | bit : months() & ~bit);
            edited();
        });
    }
}

std::int32_t TriggerEditor::daysOfWeek() const {
    return t_.TriggerType() == trigger::MonthlyDOW ? t_.MonthlyDOW_DaysOfTheWeek()
                                                   : t_.Weekly_DaysOfTheWeek();
}

void TriggerEditor::setDaysOfWeek(std::int32_t bits) {
    if (t_.TriggerType() == trigger::MonthlyDOW)
        t_.setMonthlyDOW_DaysOfTheWeek(bits);
    else if (t_.TriggerType() == trigger::Weekly)
        t_.setWeekly_DaysOfTheWeek(bits);
}

std::int32_t TriggerEditor::months() const {
    return t_.TriggerType() == trigger::MonthlyDOW ? t_.MonthlyDOW_Months() : t_.MonthlyDate_Months();
}

void TriggerEditor::setMonths(std::int32_t bits) {
    if (t_.TriggerType() == trigger::MonthlyDOW)
        t_.setMonthlyDOW_Months(bits);
    else if (t_.TriggerType() == trigger::MonthlyDate)
        t_.setMonthlyDate_Months(bits);
}

void TriggerEditor::edited() {
    if (!loading_)
        emit changed();
}

void TriggerEditor::setTrigger(const SchedTrigger& value) {
    t_ = value;
    load();
}

// Shows the trigger's fields; the controls' own signals write nothing meanwhile.
void TriggerEditor::load() {
    const bool wasLoading = loading_;
    loading_ = true;
    const QSignalBlocker blockers[] = {
        QSignalBlocker(cboTipo),     QSignalBlocker(dteInicio),   QSignalBlocker(tmeHora),
        QSignalBlocker(chkFechaFin), QSignalBlocker(dteFin),      QSignalBlocker(chkRepetir),
        QSignalBlocker(spnCada),     QSignalBlocker(spnDuracion), QSignalBlocker(chkDetener),
        QSignalBlocker(spnDias),     QSignalBlocker(spnSemanas),  QSignalBlocker(cboSemana),
    };
    selectData(cboTipo, t_.TriggerType(), QStringLiteral("Desconocido (%1)").arg(t_.TriggerType()));
    dteInicio->setDate(dateOf(t_.BeginDay()));
    tmeHora->setTime(t_.StartTime().isValid() ? t_.StartTime().time() : QTime(0, 0));
    const bool hasEnd = (t_.Flags() & triggerflag::hasEndDate) != 0;
    chkFechaFin->setChecked(hasEnd);
    // An end date never set shows the start date, not the zero date.
    const bool endSet = t_.EndDay().isValid() && t_.EndDay().date() != ZeroDate().date();
    dteFin->setDate(endSet ? t_.EndDay().date() : dateOf(t_.BeginDay()));
    dteFin->setEnabled(hasEnd);

    const bool repeats = t_.Interval() != 0 || t_.Duration() != 0;
    chkRepetir->setChecked(repeats);
    setSpin(spnCada, t_.Interval(), std::numeric_limits<std::int32_t>::max());
    setSpin(spnDuracion, t_.Duration(), std::numeric_limits<std::int32_t>::max());
    chkDetener->setChecked((t_.Flags() & triggerflag::killAtDurationEnd) != 0);
    spnCada->setEnabled(repeats);
    spnDuracion->setEnabled(repeats);
    chkDetener->setEnabled(repeats);

    setSpin(spnDias, t_.Daily_Interval(), std::numeric_limits<std::int16_t>::max());
    setSpin(spnSemanas, t_.Weekly_Interval(), std::numeric_limits<std::int16_t>::max());
    selectData(cboSemana, t_.MonthlyDOW_Week(), QStringLiteral("(semana %1)").arg(t_.MonthlyDOW_Week()));

    for (int d = 0; d < 7; ++d) {
        QCheckBox* box = chkDiasSemana[static_cast<std::size_t>(d)];
        const QSignalBlocker block(box);
        box->setChecked((daysOfWeek() & kDays[d].bit) != 0);
    }
    for (int d = 0; d < 31; ++d) {
        QCheckBox* box = chkDiasMes[static_cast<std::size_t>(d)];
        const QSignalBlocker block(box);
        box->setChecked((t_.MonthlyDate_Day() & (std::int32_t(1) << d)) != 0);
    }
    for (int m = 0; m < 12; ++m) {
        QCheckBox* box = chkMeses[static_cast<std::size_t>(m)];
        const QSignalBlocker block(box);
        box->setChecked((months() & (std::int32_t(1) << m)) != 0);
    }
    showType();
    loading_ = wasLoading;
}

void TriggerEditor::showType() {
    showPagesOf(t_.TriggerType());
    emit typeShown();
}

QSize TriggerEditor::LargestSizeHint() {
    QSize largest;
    for (std::int32_t type = trigger::Once; type <= trigger::AtLogon; ++type) {
        showPagesOf(type);
        for (QLayout* l : findChildren<QLayout*>())
            l->invalidate();
        layout()->invalidate();
        largest = largest.expandedTo(sizeHint());
    }
    showPagesOf(t_.TriggerType());
    return largest;
}

void TriggerEditor::showPagesOf(std::int32_t type) {
    grpInicio->setEnabled(timed(type));
    grpRepetir->setEnabled(timed(type));
    pagDiaria->setVisible(type == trigger::Daily);
    pagSemanal->setVisible(type == trigger::Weekly);
    pagSemanaMes->setVisible(type == trigger::MonthlyDOW);
    grpDiasSemana->setVisible(type == trigger::Weekly || type == trigger::MonthlyDOW);
    grpDiasMes->setVisible(type == trigger::MonthlyDate);
    grpMeses->setVisible(type == trigger::MonthlyDate || type == trigger::MonthlyDOW);
}

void TriggerEditor::FillTypeDefaults(SchedTrigger& t, const QDate& today) {
    const bool begun = t.BeginDay().isValid() && t.BeginDay().date() != ZeroDate().date();
    const QDate begin = begun ? t.BeginDay().date() : today;
    const std::int32_t weekday = std::int32_t(1) << (begin.dayOfWeek() % 7); // Sunday 1 ... Saturday 64
    switch (t.TriggerType()) {
    case trigger::Daily:
        if (t.Daily_Interval() < 1)
            t.setDaily_Interval(1);
        break;
    case trigger::Weekly:
        if (t.Weekly_Interval() < 1)
            t.setWeekly_Interval(1);
        if ((t.Weekly_DaysOfTheWeek() & kAllDaysOfWeek) == 0)
            t.setWeekly_DaysOfTheWeek(weekday);
        break;
    case trigger::MonthlyDate:
        if ((t.MonthlyDate_Day() & kAllDaysOfMonth) == 0)
            t.setMonthlyDate_Day(std::int32_t(1) << (begin.day() - 1));
        if ((t.MonthlyDate_Months() & kAllMonths) == 0)
            t.setMonthlyDate_Months(kAllMonths);
        break;
    case trigger::MonthlyDOW:
        if (t.MonthlyDOW_Week() < 1 || t.MonthlyDOW_Week() > 5)
            t.setMonthlyDOW_Week(1);
        if ((t.MonthlyDOW_DaysOfTheWeek() & kAllDaysOfWeek) == 0)
            t.setMonthlyDOW_DaysOfTheWeek(weekday);
        if ((t.MonthlyDOW_Months() & kAllMonths) == 0)
            t.setMonthlyDOW_Months(kAllMonths);
        break;
    default:
        break;
    }
}

QString TriggerEditor::Validate(const SchedTrigger& t) {
    const std::int32_t type = t.TriggerType();
    if (type < trigger::Once || type > trigger::AtLogon)
        return QStringLiteral("el tipo de programación %1 no existe.").arg(type);
    switch (type) {
    case trigger::Daily:
        if (t.Daily_Interval() < 1)
            return QStringLiteral("la tarea diaria debe repetirse cada 1 día o más.");
        break;
    case trigger::Weekly:
        if (t.Weekly_Interval() < 1)
            return QStringLiteral("la tarea semanal debe repetirse cada 1 semana o más.");
        if ((t.Weekly_DaysOfTheWeek() & kAllDaysOfWeek) == 0)
            return QStringLiteral("marque al menos un día de la semana.");
        break;
    case trigger::MonthlyDate:
        if ((t.MonthlyDate_Day() & kAllDaysOfMonth) == 0)
            return QStringLiteral("marque al menos un día del mes.");
        if ((t.MonthlyDate_Months() & kAllMonths) == 0)
            return QStringLiteral("marque al menos un mes.");
        break;
    case trigger::MonthlyDOW:
        if (t.MonthlyDOW_Week() < 1 || t.MonthlyDOW_Week() > 5)
            return QStringLiteral("elija la semana del mes: de la primera a la cuarta, o la última.");
        if ((t.MonthlyDOW_DaysOfTheWeek() & kAllDaysOfWeek) == 0)
            return QStringLiteral("marque al menos un día de la semana.");
        if ((t.MonthlyDOW_Months() & kAllMonths) == 0)
            return QStringLiteral("marque al menos un mes.");
        break;
    default:
        break;
    }
    if (!timed(type))
        return {};
    if (t.Interval() < 0 || t.Duration() < 0)
        return QStringLiteral("el intervalo y la duración de la repetición no pueden ser negativos.");
    if (t.Interval() != 0 || t.Duration() != 0) {
        if (t.Interval() < 1)
            return QStringLiteral("la tarea debe repetirse cada 1 minuto o más.");
        if (t.Interval() > t.Duration())
            return QStringLiteral(
                       "el intervalo de repetición (%1 minutos) no puede ser mayor que la duración "
                       "(%2 minutos).")
                .arg(t.Interval())
                .arg(t.Duration());
    }
    if ((t.Flags() & triggerflag::hasEndDate) && dateOf(t.EndDay()) < dateOf(t.BeginDay()))
        return QStringLiteral("la fecha de finalización no puede ser anterior a la fecha de inicio.");
    return {};
}

} // namespace brio
