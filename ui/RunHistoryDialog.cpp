#include "RunHistoryDialog.h"

#include "RunHistoryView.h"
#include "RunnerLink.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace brio {

RunHistoryDialog::RunHistoryDialog(const std::string& task, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("RunHistoryDialog"));
    setWindowTitle(QStringLiteral("Historial de ejecuciones de «") + QString::fromStdString(task) +
                   QStringLiteral("»"));
    auto* layout = new QVBoxLayout(this);
    history = new RunHistoryView(RunnerStateFolder(), task, this);
    layout->addWidget(history, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdCerrar = new QPushButton(QStringLiteral("Cerrar"), this);
    cmdCerrar->setObjectName(QStringLiteral("cmdCerrar"));
    cmdCerrar->setDefault(true);
    buttons->addWidget(cmdCerrar);
    layout->addLayout(buttons);
    connect(cmdCerrar, &QPushButton::clicked, this, &QDialog::accept);
    resize(760, 520);
}

} // namespace brio
