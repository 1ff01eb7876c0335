#include "frmAccount.h"

#include "AccountPrompt.h"
#include "MsgBox.h"
#include "clsAdminTask.h"

#include "Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace brio {

QSize frmAccount::DesignClientSize() {
    return QSize(3900 / kTwipsPerPixel, 1725 / kTwipsPerPixel);
}

frmAccount::frmAccount(std::filesystem::path programFolder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      programFolder_(std::move(programFolder)) {
    setObjectName(QStringLiteral("frmAccount"));
    setWindowTitle(QStringLiteral("Identificación"));
    // No icon of its own, and not the application's either.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setModal(true);
    // The layout is measured for an 8.25 pt font, as the main window's.
    QFont designFont = font();
    designFont.setPointSizeF(8.25);
    setFont(designFont);

    Label1 = new QLabel(QStringLiteral("Usuario:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(TwipsRect(150, 270, 960, 240));
    txtUser = new QLineEdit(this);
    txtUser->setObjectName(QStringLiteral("txtUser"));
    txtUser->setGeometry(TwipsRect(1155, 240, 2595, 300));
    Label2 = new QLabel(QStringLiteral("Contraseña:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(TwipsRect(120, 780, 945, 300));
    txtPwd = new QLineEdit(this);
    txtPwd->setObjectName(QStringLiteral("txtPwd"));
    txtPwd->setGeometry(TwipsRect(1155, 765, 2595, 330));
    txtPwd->setEchoMode(QLineEdit::Password);
    cmdAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setGeometry(TwipsRect(1770, 1275, 960, 330));
    cmdAceptar->setDefault(true);
    cmdCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));
    cmdCancelar->setGeometry(TwipsRect(2820, 1275, 960, 345));

    // A label wider in the desktop's font than in the design's may grow up to its box.
    for (QLabel* label : {Label1, Label2}) {
        const int room = txtUser->x() - label->x() - 2;
        label->resize(std::max(label->width(), std::min(label->sizeHint().width(), room)), label->height());
    }

    // Labels take no focus; the boxes and buttons follow in this order.
    setTabOrder(txtUser, txtPwd);
    setTabOrder(txtPwd, cmdAceptar);
    setTabOrder(cmdAceptar, cmdCancelar);
    txtUser->setFocus();

    setFixedSize(DesignClientSize());
    connect(cmdAceptar, &QPushButton::clicked, this, [this] { cmdAceptar_Click(); });
    connect(cmdCancelar, &QPushButton::clicked, this, [this] { cmdCancelar_Click(); });
}

void frmAccount::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void frmAccount::Form_Load() {
    CentreOnScreen(this);
}

void frmAccount::cmdAceptar_Click() {
    const std::string user = txtUser->text().toStdString();
    const SecretString pwd = SecretText(txtPwd->text());
    clsAdminTask admin(programFolder_, {});
    admin.setMessageSink(MsgBox::Sink(this));
    const bool accepted = admin.VerifyAccountInfo(user, pwd.str(), true);
    if (accepted) {
        strResult = QStringLiteral("OK");
        done(QDialog::Accepted);
        return;
    }
    txtPwd->setSelection(0, static_cast<int>(txtPwd->text().size()));
    txtPwd->setFocus();
}

void frmAccount::cmdCancelar_Click() {
    strResult.clear();
    done(QDialog::Rejected);
}

void frmAccount::reject() {
    cmdCancelar_Click();
}

} // namespace brio
