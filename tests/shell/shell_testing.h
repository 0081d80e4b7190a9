// Helpers of the window tests: the start-up path of the program, a scripted netlist
// dialog, an answer to the options pause, and a recorder of the error box.
#pragma once

#include <functional>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QtTest>

#include "plot/command.h"
#include "plot/open_dialog.h"
#include "ui/quorvat1.h"
#include "ui/quorvat2.h"
#include "ui/quorvat3.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace quorvat::testing {

/// Replaces Form1's netlist dialog by one that answers with path.
inline ScriptedOpenDialog& script_netlist_dialog(Shell& shell, const std::string& path) {
    auto dialog = std::make_unique<ScriptedOpenDialog>();
    dialog->answer = path;
    ScriptedOpenDialog& scripted = *dialog;
    shell.form1().set_open_dialog(std::move(dialog));
    return scripted;
}

/// Answers the next options pause: once the run waits with Form2 on the screen, runs
/// action (which sets options and clicks "Aplicar", or closes Form2). A pause that is
/// never answered within a minute is cancelled, so that a fault cannot hang the test.
class PauseAnswer {
public:
    PauseAnswer(Shell& shell, std::function<void(TForm2&, TForm3&)> action)
        : shell_(shell), action_(std::move(action)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
        started_.start();
    }
    bool answered() const { return answered_; }

private:
    void poll() {
        if (shell_.host().waiting() && shell_.form2().isVisible()) {
            timer_.stop();
            answered_ = true;
            action_(shell_.form2(), shell_.form3());
        } else if (started_.elapsed() > 60000) {
            timer_.stop();
            shell_.form2().close();
        }
    }

    Shell& shell_;
    std::function<void(TForm2&, TForm3&)> action_;
    QTimer timer_;
    QElapsedTimer started_;
    bool answered_ = false;
};

/// Clicks "Aplicar" as the pause's answer.
inline void press_aplicar(TForm2& form2, TForm3&) { QTest::mouseClick(form2.Button1, Qt::LeftButton); }

/// Records the messages of the error box instead of showing it, while it lives.
class ErrorRecorder {
public:
    ErrorRecorder() {
        set_error_display([this](const QString& message) { messages << message; });
    }
    ~ErrorRecorder() { set_error_display({}); }
    QStringList messages;
};

/// The lines that the log gained since it had first_line lines.
inline QStringList log_since(Shell& shell, qsizetype first_line) {
    return shell.form1().log_lines().mid(first_line);
}

}  // namespace quorvat::testing

/// A test main that takes the program's own start-up path after the QApplication.
#define QUORVAT_SHELL_TEST_MAIN(TestObject)              \
    int main(int argc, char** argv) {                   \
        QApplication app(argc, argv);                   \
        quorvat::prepare_application(app);              \
        TestObject test;                                \
        return QTest::qExec(&test, argc, argv);         \
    }
