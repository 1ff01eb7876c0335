#include "TaskTable.h"

#include <QJsonDocument>

namespace brio::cli {

namespace {
constexpr std::int32_t kStateMissingProgram = 128;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

std::size_t indexOf(const TareaList& records, const clsTarea& record) {
    return static_cast<std::size_t>(&record - records.data());
}
} // namespace

QJsonObject RecordJson(const clsTarea& record) {
    QJsonObject o;
    o.insert(QStringLiteral("Name"), q(record.Name()));
    o.insert(QStringLiteral("ApplicationName"), q(record.ApplicationName()));
    o.insert(QStringLiteral("State"), record.State());
    o.insert(QStringLiteral("Enabled"), record.Enabled());
    o.insert(QStringLiteral("Seleccion"), record.Seleccion());
    o.insert(QStringLiteral("StartTimeRandom"), record.StartTimeRandom());
    o.insert(QStringLiteral("Text"), q(record.Text()));
    o.insert(QStringLiteral("hidden"), record.hidden());
    return o;
}

std::string Cell(std::string_view text) {
    std::string cell;
    cell.reserve(text.size());
    for (const char c : text) {
        if (c == '\t')
            cell += "\\t";
        else if (c == '\n')
            cell += "\\n";
        else if (c == '\r')
            cell += "\\r";
        else
            cell += c;
    }
    return cell;
}

std::string StatusText(const clsTarea& record) {
    if ((record.State() & kStateMissingProgram) == kStateMissingProgram)
        return "Error";
    return record.Enabled() ? "" : "Deshabilitada";
}

// "NextRunTime" of a system listing row: the ISO text, or null when the task has no next start.
QJsonValue nextRunJson(const NextRun& next) {
    return next.start ? QJsonValue(q(next.Iso())) : QJsonValue(QJsonValue::Null);
}

void WriteRecords(std::ostream& out, const TareaList& records, bool json, bool withHidden,
                  const std::vector<NextRun>* nextRuns) {
    if (json) {
        // Written record by record, as the indented document of the whole array reads.
        out << "[\n";
        bool first = true;
        for (const clsTarea& record : records) {
            QJsonObject object = RecordJson(record);
            if (nextRuns)
                object.insert(QStringLiteral("NextRunTime"),
                              nextRunJson((*nextRuns)[indexOf(records, record)]));
            const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
            out << (first ? "" : ",\n");
            first = false;
            for (qsizetype start = 0; start < text.size();) {
                qsizetype end = text.indexOf('\n', start);
                if (end < 0)
                    end = text.size();
                out << (start > 0 ? "\n    " : "    ");
                out.write(text.constData() + start, end - start);
                start = end + 1;
            }
        }
        out << (first ? "]\n" : "\n]\n");
        return;
    }
    out << "Nombre\tMarcada\tEstado\tRnd\tProgramación" << (withHidden ? "\tOculta" : "")
        << (nextRuns ? "\tPróxima ejecución" : "") << '\n';
    for (const clsTarea& record : records) {
        out << Cell(record.Name()) << '\t' << (record.Seleccion() != 0 ? "Sí" : "No") << '\t'
            << StatusText(record) << '\t'
            << (record.StartTimeRandom() != 0 ? std::to_string(record.StartTimeRandom()) : "") << '\t'
            << Cell(record.Text());
        if (withHidden)
            out << '\t' << (record.hidden() ? "Sí" : "No");
        if (nextRuns)
            out << '\t' << (*nextRuns)[indexOf(records, record)].Wall();
        out << '\n';
    }
}

} // namespace brio::cli
