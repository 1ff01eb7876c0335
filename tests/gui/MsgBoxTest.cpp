// The message wrapper, the command error report and the start without a display.
#include "MsgBox.h"
#include "CommandError.h"
#include "TaskStore.h"
#include "TempDir.h"
#include "frmAdmin.h"
#include "modMain.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTest>

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

// No display, or one named that no server answers: the same Spanish words and status, never Qt's abort.
TEST(AppStartTest, WithoutAReachableDisplayExplainsInSpanishAndEndsWithStatusOne) {
    // A display number no X server of this machine listens on.
    int unused = 907;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(unused)))
        ++unused;
    const std::string display = ":" + std::to_string(unused);
    const std::pair<const char*, std::string> cases[] = {{"DISPLAY", ""}, {"DISPLAY", display}};
    for (const auto& [name, value] : cases) {
        TempDir home;
        QProcess process;
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("HOME", QString::fromStdString(home.path().string()));
        env.insert("BRIOSCHEDULE_HOME", QString::fromStdString(home.path().string()));
        if (!value.empty())
            env.insert(name, QString::fromStdString(value));
        process.setProcessEnvironment(env);
        process.start(BRIOSCHEDULE_EXE, {});
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << value;
        EXPECT_EQ(process.exitCode(), 1) << value;
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_TRUE(err.startsWith("BrioSchedule necesita una pantalla gráfica y no hay ninguna disponible"))
            << err.toStdString();
        EXPECT_EQ(err.contains(QString::fromStdString("«" + display + "»")), !value.empty())
            << err.toStdString();
        EXPECT_TRUE(err.contains("xvfb-run -a brioschedule"));
        EXPECT_TRUE(err.contains("escritorio remoto"));
        EXPECT_TRUE(err.contains("brioschedule-cli list"));
        EXPECT_FALSE(err.contains("qt.qpa")) << err.toStdString();
    }
}

// What went wrong before the window existed is shown in it, not only on standard error.
TEST(AppStartTest, ErrorsMakingTheDefaultsAreShownWhenTheWindowOpens) {
    TempDir store;
    MsgBox::clearLog();
    const std::vector<std::string> errors = PrepareProgramFolder(store / "no-existe", false);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Error ", 0), 0u) << errors[0];
    EXPECT_EQ(errors[0].find("No such file"), std::string::npos) << errors[0];
    const std::unique_ptr<frmAdmin> window = Main(store.path(), MakeTaskStoreFactory(store.path()), errors);
    QTest::qWait(50);
    bool shown = false;
    for (const MsgBox::Shown& box : MsgBox::log())
        shown = shown || (box.text.toStdString() == errors[0] && box.icon == MsgIcon::Critical);
    EXPECT_TRUE(shown);
}

} // namespace brio::test
