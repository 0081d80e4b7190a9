// How the desktop program ends: Sair and the main window's close box, also while a run
// waits at its options pause, and an error that escapes start-up. Each case runs the
// program's start-up path in a child process (this test program, called with --child),
// which reports on its standard output.
#include <cstdio>
#include <stdexcept>

#include <QAction>
#include <QProcess>
#include <QtTest>

#include "shell_testing.h"
#include "support/test_files.h"

using namespace quorvat;
using namespace quorvat::testing;

namespace {

void say(const QString& text) {
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// The child: the program as main() runs it, scripted by mode.
int child(int argc, char** argv, const QString& mode, const std::string& netlist) {
    QApplication app(argc, argv);
    return run_program(app, [&](Shell& shell) {
        set_error_display([](const QString& message) { say("erro: " + message); });
        // Only an orderly end through the event loop gets here; the log goes out with it.
        QObject::connect(&app, &QCoreApplication::aboutToQuit, [&shell] {
            for (const QString& line : shell.form1().log_lines().mid(27)) say("log: " + line);
            say("fim");
        });
        if (mode == "throw") throw std::runtime_error("Falha na partida");
        script_netlist_dialog(shell, netlist);
        TForm1& form1 = shell.form1();
        if (mode == "sair") QTimer::singleShot(0, form1.Sair1, &QAction::trigger);
        if (mode == "close") QTimer::singleShot(0, &form1, &QWidget::close);
        if (mode.endsWith("-in-pause")) {
            // Left to the process's end: Sair ends it from inside the answer itself.
            new PauseAnswer(shell, [&form1, mode](TForm2&, TForm3&) {
                say("pausa");
                if (mode == "sair-in-pause") form1.Sair1->trigger();
                else form1.close();
            });
            QTimer::singleShot(0, form1.Abrir1, &QAction::trigger);
        }
    });
}

struct Outcome {
    bool finished = false;
    int exit_code = -1;
    QStringList output;
};

Outcome run_child(const QString& mode, const std::string& netlist) {
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), mode, QString::fromStdString(netlist)});
    Outcome outcome;
    outcome.finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (!outcome.finished) process.kill();
    outcome.exit_code = process.exitCode();
    outcome.output = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return outcome;
}

}  // namespace

class TestProcessExit : public QObject {
    Q_OBJECT
private slots:
    void program_ends_with_status_zero_data();
    void program_ends_with_status_zero();
};

void TestProcessExit::program_ends_with_status_zero_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("output");
    QTest::newRow("Sair") << "sair" << QStringList();
    QTest::newRow("main window closed") << "close" << QStringList({"fim"});
    QTest::newRow("Sair during the pause") << "sair-in-pause" << QStringList({"pausa"});
    QTest::newRow("main window closed during the pause") << "close-in-pause" << QStringList({"pausa"});
    QTest::newRow("error escaping start-up") << "throw" << QStringList({"erro: Falha na partida"});
}

void TestProcessExit::program_ends_with_status_zero() {
    QFETCH(QString, mode);
    QFETCH(QStringList, output);
    ScratchDir dir;
    std::string netlist = dir.write("teste.net", "Exemplo\nI1 0 1 1 DEGRAU\nR1 1 2 1\nC1 1 0 1\nC2 2 0 1\n");
    Outcome outcome = run_child(mode, netlist);
    QVERIFY2(outcome.finished, qPrintable(outcome.output.join('\n')));
    QCOMPARE(outcome.exit_code, 0);
    if (mode == "close-in-pause") {
        // The run ends as cancelled before the program does: nothing is calculated.
        QCOMPARE(outcome.output.first(), QStringLiteral("pausa"));
        QCOMPARE(outcome.output.last(), QStringLiteral("fim"));
        QStringList log = outcome.output.filter(QRegularExpression("^log: "));
        QCOMPARE(log.last(), QString::fromUtf8("log: Análise cancelada."));
        QVERIFY(!log.contains(QStringLiteral("log: Calculando...")));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.file("teste.n1"))));
        return;
    }
    if (mode == "close") {
        QCOMPARE(outcome.output.last(), QStringLiteral("fim"));
        return;
    }
    // Sair ends at once; a run at its pause never goes on to calculate.
    QCOMPARE(outcome.output, output);
    QVERIFY(!QFile::exists(QString::fromStdString(dir.file("teste.n1"))));
}

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--child") {
        static int child_argc = 1;
        return child(child_argc, argv, QString::fromLocal8Bit(argv[2]), argv[3]);
    }
    QApplication app(argc, argv);
    prepare_application(app);
    TestProcessExit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_process_exit.moc"
