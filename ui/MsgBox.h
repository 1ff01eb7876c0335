#pragma once

#include "UserMessages.h"

#include <QMessageBox>
#include <QString>

#include <optional>
#include <string>

class QWidget;

namespace brio {

// Every message box and input box of the program goes through here. In scripted mode (tests) nothing is
// shown: each box takes the next queued answer and is written to a log that the test reads back.
class MsgBox {
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    // The application's title, used when a box has no title of its own.
    static QString AppTitle();

    // Shows a modal message box and returns the button chosen. An empty title means AppTitle().
    static Button show(QWidget* parent, const QString& text, const QString& title = {},
                       MsgIcon icon = MsgIcon::None, Buttons buttons = QMessageBox::Ok);
    // A one-line text input box with OK and Cancel; Cancel gives empty text.
    static QString input(QWidget* parent, const QString& prompt, const QString& title = {},
                         const QString& initial = {});

    // A sink for the messages the administration object shows itself.
    static MessageSink Sink(QWidget* parent);

    // One box as it was shown.
    struct Shown {
        enum Kind { Message, Input } kind = Message;
        QString text;
        QString title; // the title as shown: AppTitle() when none was given
        MsgIcon icon = MsgIcon::None;
        Buttons buttons;
    };

    // Scripted mode: boxes are not shown. A message box with no queued answer takes the most cautious of
    // its buttons (No, Cancel or Abort when present, else the first of OK, Yes, Retry, Ignore); an input box
    // with no queued text is cancelled.
    static void setScripted(bool on);
    static bool scripted();
    static void queueAnswer(Button answer);
    static void queueInput(const QString& text);
    // Every box shown since the last clearLog, in order.
    static const QList<Shown>& log();
    static void clearLog();
};

} // namespace brio
