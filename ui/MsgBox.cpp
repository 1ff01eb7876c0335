#include "MsgBox.h"

#include <QInputDialog>
#include <QList>
#include <QQueue>

namespace brio {

namespace {

struct Script {
    bool on = false;
    QQueue<MsgBox::Button> answers;
    QQueue<QString> inputs;
    QList<MsgBox::Shown> log;
};

Script& script() {
    static Script s;
    return s;
}

QMessageBox::Icon qtIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MsgBox::Button cautiousAnswer(MsgBox::Buttons buttons) {
    for (MsgBox::Button b : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Abort, QMessageBox::Ok,
                             QMessageBox::Yes, QMessageBox::Retry, QMessageBox::Ignore}) {
        if (buttons.testFlag(b))
            return b;
    }
    return QMessageBox::NoButton;
}

} // namespace

QString MsgBox::AppTitle() {
    return QStringLiteral("BrioSchedule");
}

MsgBox::Button MsgBox::show(QWidget* parent, const QString& text, const QString& title, MsgIcon icon,
                            Buttons buttons) {
    const QString shownTitle = title.isEmpty() ? AppTitle() : title;
    Script& s = script();
    if (s.on) {
        s.log.append({Shown::Message, text, shownTitle, icon, buttons});
        if (s.answers.isEmpty())
            return cautiousAnswer(buttons);
        return s.answers.dequeue();
    }
    QMessageBox box(qtIcon(icon), shownTitle, text, buttons, parent);
    return static_cast<Button>(box.exec());
}

QString MsgBox::input(QWidget* parent, const QString& prompt, const QString& title, const QString& initial) {
    const QString shownTitle = title.isEmpty() ? AppTitle() : title;
    Script& s = script();
    if (s.on) {
        s.log.append(
            {Shown::Input, prompt, shownTitle, MsgIcon::None, QMessageBox::Ok | QMessageBox::Cancel});
        return s.inputs.isEmpty() ? QString() : s.inputs.dequeue();
    }
    bool ok = false;
    const QString text = QInputDialog::getText(parent, shownTitle, prompt, QLineEdit::Normal, initial, &ok);
    return ok ? text : QString();
}

MessageSink MsgBox::Sink(QWidget* parent) {
    return [parent](const std::string& text, const std::string& title, MsgIcon icon) {
        show(parent, QString::fromStdString(text), QString::fromStdString(title), icon, QMessageBox::Ok);
    };
}

void MsgBox::setScripted(bool on) {
    Script& s = script();
    s.on = on;
    s.answers.clear();
    s.inputs.clear();
    s.log.clear();
}

bool MsgBox::scripted() {
    return script().on;
}
void MsgBox::queueAnswer(Button answer) {
    script().answers.enqueue(answer);
}
void MsgBox::queueInput(const QString& text) {
    script().inputs.enqueue(text);
}
const QList<MsgBox::Shown>& MsgBox::log() {
    return script().log;
}
void MsgBox::clearLog() {
    script().log.clear();
}

} // namespace brio
