#pragma once

#include <QDialog>
#include <QString>

#include <filesystem>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brio {

// The account dialog: a user name and a password, accepted only when the host's logon accepts them.
// strResult is "OK" after an accepted account and empty otherwise (Cancelar, Escape, the close box).
class frmAccount : public QDialog {
    Q_OBJECT
public:
    // `programFolder` is the folder of the administration object that checks the account.
    explicit frmAccount(std::filesystem::path programFolder = {}, QWidget* parent = nullptr);

    QString strResult;

    QLabel* Label1;
    QLineEdit* txtUser;
    QLabel* Label2;
    QLineEdit* txtPwd;
    QPushButton* cmdAceptar;
    QPushButton* cmdCancelar;

    // The client area's design size in pixels (3900 x 1725 twips).
    static QSize DesignClientSize();

    void Form_Load();
    void cmdAceptar_Click();
    void cmdCancelar_Click();

protected:
    void showEvent(QShowEvent* event) override;
    // Escape and the close box end the dialog as Cancelar does.
    void reject() override;

private:
    std::filesystem::path programFolder_;
    bool loaded_ = false;
};

} // namespace brio
