// The message wrapper, the command error report and the start without a display.
#include "MsgBox.h"
#include "CommandError.h"
#include "TempDir.h"
#include "modMain.h"

#include <QApplication>
#include <QPushButton>

#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>

namespace brio::test {

TEST(MsgBoxTest, ScriptedBoxesAreLoggedAndAnsweredFromTheQueue) {
    MsgBox::setScripted(true);
    MsgBox::queueAnswer(QMessageBox::Yes);
    EXPECT_EQ(MsgBox::show(nullptr, "¿Seguro?", "Confirmación", MsgIcon::Question,
                           QMessageBox::Yes | QMessageBox::No),
              QMessageBox::Yes);
    // Without a queued answer the most cautious button is taken.
    EXPECT_EQ(MsgBox::show(nullptr, "¿Otra?", "Confirmación", MsgIcon::Question,
                           QMessageBox::Yes | QMessageBox::No),
              QMessageBox::No);
    EXPECT_EQ(MsgBox::show(nullptr, "Hecho"), QMessageBox::Ok);
    MsgBox::queueInput("15");
    EXPECT_EQ(MsgBox::input(nullptr, "Minutos"), "15");
    EXPECT_EQ(MsgBox::input(nullptr, "Minutos"), ""); // cancelled

    ASSERT_EQ(MsgBox::log().size(), 5);
    EXPECT_EQ(MsgBox::log()[0].title, "Confirmación");
    EXPECT_EQ(MsgBox::log()[2].title, "BrioSchedule");
    EXPECT_EQ(MsgBox::log()[2].icon, MsgIcon::None);
    EXPECT_EQ(MsgBox::log()[3].kind, MsgBox::Shown::Input);
    MsgBox::clearLog();
}

TEST(MsgBoxTest, CommandErrorReportHasNumberDescriptionCriticalIconAndTheAppTitle) {
    MsgBox::setScripted(true);
    ShowCommandError(nullptr, BrioError(err::PermissionDenied));
    ShowCommandError(nullptr, std::filesystem::filesystem_error("sin acceso", std::error_code()));
    const bool ran = RunReported(nullptr, [] { throw BrioError(err::FileExists); });
    EXPECT_FALSE(ran);
    ASSERT_EQ(MsgBox::log().size(), 3);
    EXPECT_EQ(MsgBox::log()[0].text, "Error 70 (Permiso denegado)");
    EXPECT_EQ(MsgBox::log()[0].title, "BrioSchedule");
    EXPECT_EQ(MsgBox::log()[0].icon, MsgIcon::Critical);
    EXPECT_EQ(MsgBox::log()[0].buttons, QMessageBox::Ok);
    EXPECT_TRUE(MsgBox::log()[1].text.startsWith("Error 75 (Error de acceso a la ruta o el archivo: "));
    EXPECT_EQ(MsgBox::log()[2].text, "Error -2147024816 (El archivo ya existe)");
    MsgBox::clearLog();
}

TEST(MsgBoxTest, StandardButtonsReadInSpanishOnceTheTranslationIsLoaded) {
    ASSERT_TRUE(LoadSpanishTranslation(*qApp));
    QMessageBox box(QMessageBox::Question, "t", "x",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QString::fromUtf8("Sí"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "No");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), "Cancelar");
}

TEST(AppStartTest, WithoutADisplayExplainsInSpanishAndEndsWithStatusOne) {
    TempDir home;
    QProcess process;
    QProcessEnvironment env;
    env.insert("PATH", qEnvironmentVariable("PATH"));
    env.insert("HOME", QString::fromStdString(home.path().string()));
    env.insert("BRIOSCHEDULE_HOME", QString::fromStdString(home.path().string()));
    process.setProcessEnvironment(env);
    process.start(BRIOSCHEDULE_EXE, {});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains("no hay ninguna disponible")) << err.toStdString();
    EXPECT_TRUE(err.contains("xvfb-run -a brioschedule"));
    EXPECT_TRUE(err.contains("escritorio remoto"));
    EXPECT_TRUE(err.contains("brioschedule-cli list"));
    EXPECT_FALSE(err.contains("qt.qpa"));
}

} // namespace brio::test
