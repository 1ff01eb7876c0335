#pragma once

#include "DateTime.h"
#include "SchedTrigger.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QSpinBox;
class QTimeEdit;

namespace brio {

// Edits one trigger of a task: its type, start date and time, end date, repetition, and the fields of
// its type. Every change goes into the trigger at once and is announced with changed(). Values the type
// cannot hold are kept as typed; Validate tells what is wrong with them.
class TriggerEditor : public QWidget {
    Q_OBJECT
public:
    explicit TriggerEditor(QWidget* parent = nullptr, const Clock& clock = HostClock());

    void setTrigger(const SchedTrigger& value);
    const SchedTrigger& trigger() const noexcept { return t_; }

    // Why the scheduler could not keep this trigger, in Spanish; empty when it can.
    static QString Validate(const SchedTrigger& t);

    // Controls, by their names.
    QComboBox* cboTipo;
    QDateEdit* dteInicio;
    QTimeEdit* tmeHora;
    QCheckBox* chkFechaFin;
    QDateEdit* dteFin;
    QCheckBox* chkRepetir;
    QSpinBox* spnCada;                         // repetition interval, minutes
    QSpinBox* spnDuracion;                     // repetition duration, minutes
    QCheckBox* chkDetener;                     // stop the task at the end of the duration
    QSpinBox* spnDias;                         // every N days
    QSpinBox* spnSemanas;                      // every N weeks
    QComboBox* cboSemana;                      // first to fourth, or last week of the month
    std::array<QCheckBox*, 7> chkDiasSemana{}; // Monday first
    std::array<QCheckBox*, 31> chkDiasMes{};   // day 1 to 31
    std::array<QCheckBox*, 12> chkMeses{};     // January to December

    // Fills what a trigger of its type needs and does not have yet: every N from 1, the begin day's
    // weekday or day of the month, the first week, every month. A trigger without a begin day begins
    // `today`.
    static void FillTypeDefaults(SchedTrigger& t, const QDate& today = LocalDay(HostClock().Now()));

    // The room the editor needs for the largest set of controls of any type.
    QSize LargestSizeHint();

signals:
    void changed();
    // Another set of controls is shown (the type changed): the editor's size hint changed with it.
    void typeShown();

private:
    void buildControls();
    void load();
    void showType();
    void showPagesOf(std::int32_t type);
    void edited();
    // The day-of-week and month bits of the type edited (weekly, or monthly by day of the week or date).
    std::int32_t daysOfWeek() const;
    void setDaysOfWeek(std::int32_t bits);
    std::int32_t months() const;
    void setMonths(std::int32_t bits);

    const Clock& clock_;
    SchedTrigger t_;
    bool loading_ = false;
    QGroupBox* grpInicio = nullptr;
    QGroupBox* grpRepetir = nullptr;
    QWidget* pagDiaria = nullptr;
    QWidget* pagSemanal = nullptr;
    QWidget* pagSemanaMes = nullptr;
    QGroupBox* grpDiasSemana = nullptr;
    QGroupBox* grpDiasMes = nullptr;
    QGroupBox* grpMeses = nullptr;
};

} // namespace brio
