#include "RunHistoryView.h"

#include "BrioError.h"
#include "RunColumns.h"
#include "RunLogTail.h"
#include "ScheduleZone.h"

#include <QDir>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace brio {

namespace {

QString duration(std::chrono::seconds elapsed) {
    const auto s = elapsed.count();
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60);
}

QString endedBy(const RunRecord& run) {
    if (run.exitCode)
        return QStringLiteral("código %1").arg(*run.exitCode);
    if (run.signal)
        return QStringLiteral("señal %1").arg(*run.signal);
    return {};
}

} // namespace

RunHistoryView::RunHistoryView(StateFolder state, std::string task, QWidget* parent)
    : QWidget(parent), state_(std::move(state)), task_(std::move(task)) {
    setObjectName(QStringLiteral("RunHistoryView"));
    auto* layout = new QVBoxLayout(this);
    lblEstado = new QLabel(this);
    lblEstado->setObjectName(QStringLiteral("lblEstado"));
    lblEstado->setWordWrap(true);
    tblEjecuciones = new QTableWidget(0, 6, this);
    tblEjecuciones->setObjectName(QStringLiteral("tblEjecuciones"));
    tblEjecuciones->setHorizontalHeaderLabels({QStringLiteral("Inicio"), QStringLiteral("Fin"),
                                               QStringLiteral("Duración"), QStringLiteral("Resultado"),
                                               QStringLiteral("Código o señal"), QStringLiteral("Motivo")});
    tblEjecuciones->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblEjecuciones->setSelectionMode(QAbstractItemView::SingleSelection);
    tblEjecuciones->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblEjecuciones->verticalHeader()->hide();
    tblEjecuciones->horizontalHeader()->setStretchLastSection(true);
    txtSalida = new QPlainTextEdit(this);
    txtSalida->setObjectName(QStringLiteral("txtSalida"));
    txtSalida->setReadOnly(true);
    txtSalida->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtSalida->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(tblEjecuciones);
    split->addWidget(txtSalida);
    layout->addWidget(lblEstado);
    layout->addWidget(split, 1);
    connect(tblEjecuciones, &QTableWidget::currentCellChanged, this, [this] { showOutput(); });
    // The runner replaces the state file whole: the folder tells of the new one, the file of a change.
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { Reload(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Reload(); });
    Reload();
}

void RunHistoryView::watch() {
    const QString folder = QString::fromStdString((state_.Folder() / "tasks").string());
    const QString file =
        folder + QStringLiteral("/") + QString::fromStdString(task_) + QStringLiteral(".state");
    if (!watcher_.directories().contains(folder) && QDir(folder).exists())
        watcher_.addPath(folder);
    if (!watcher_.files().contains(file) && QFileInfo::exists(file))
        watcher_.addPath(file);
}

void RunHistoryView::Reload() {
    watch();
    std::string problem;
    const TaskState state = state_.Read(task_, &problem);
    const ScheduleZone zone = ScheduleZone::Host();
    const std::string selected = tblEjecuciones->currentRow() >= 0 &&
                                         static_cast<std::size_t>(tblEjecuciones->currentRow()) < logs_.size()
                                     ? logs_[static_cast<std::size_t>(tblEjecuciones->currentRow())]
                                     : std::string();
    const QSignalBlocker block(tblEjecuciones);
    tblEjecuciones->setRowCount(0);
    logs_.clear();
    const auto add = [&](const QStringList& cells, const std::string& log) {
        const int row = tblEjecuciones->rowCount();
        tblEjecuciones->insertRow(row);
        for (int c = 0; c < cells.size(); ++c)
            tblEjecuciones->setItem(row, c, new QTableWidgetItem(cells[c]));
        logs_.push_back(log);
    };
    if (state.running)
        add({QString::fromStdString(WallText(state.running->start, zone)),
             {},
             {},
             QStringLiteral("En ejecución"),
             {},
             {}},
            state.running->log);
    for (auto it = state.runs.rbegin(); it != state.runs.rend(); ++it) {
        const RunRecord& run = *it;
        add({QString::fromStdString(WallText(run.start, zone)),
             run.end ? QString::fromStdString(WallText(*run.end, zone)) : QString(),
             run.end ? duration(*run.end - run.start) : QString(), RunResultCaption(run), endedBy(run),
             QString::fromStdString(run.reason)},
            run.log);
    }
    tblEjecuciones->resizeColumnsToContents();
    if (!problem.empty())
        lblEstado->setText(QStringLiteral("No se puede leer el historial: ") +
                           QString::fromStdString(problem));
    else if (logs_.empty())
        lblEstado->setText(QStringLiteral("No hay ninguna ejecución registrada."));
    else
        lblEstado->setText(QStringLiteral("Últimas ejecuciones, de la más reciente a la más antigua:"));
    int row = 0;
    for (std::size_t i = 0; i < logs_.size(); ++i)
        if (!selected.empty() && logs_[i] == selected)
            row = static_cast<int>(i);
    tblEjecuciones->setCurrentCell(logs_.empty() ? -1 : row, 0);
    showOutput();
    emit Reloaded();
}

void RunHistoryView::showOutput() {
    const int row = tblEjecuciones->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= logs_.size()) {
        txtSalida->clear();
        return;
    }
    const std::string& log = logs_[static_cast<std::size_t>(row)];
    if (log.empty()) {
        txtSalida->setPlainText(QStringLiteral("Esta ejecución no tiene salida registrada."));
        return;
    }
    try {
        const RunLogTail tail = ReadRunLogTail(log);
        // Bytes that are not UTF-8 show as replacement characters.
        QString text = QString::fromUtf8(tail.text.data(), static_cast<qsizetype>(tail.text.size()));
        if (tail.cut)
            text = QStringLiteral("[… solo se muestra el último MiB de una salida de %1 bytes …]\n")
                       .arg(tail.size) +
                   text;
        txtSalida->setPlainText(text);
        txtSalida->moveCursor(QTextCursor::End);
    } catch (const BrioError& e) {
        // The reason without the error table's words: "No se puede leer el registro «…»: …".
        QString why = QString::fromStdString(e.description()).section(QStringLiteral(": "), 1, -1);
        if (!why.isEmpty())
            why[0] = why[0].toUpper();
        txtSalida->setPlainText(why);
    }
}

} // namespace brio
