// What the benchmarks of the desktop program share: the clock, the painted end of the
// log, and one "Listar passos" run of the open netlist.
#pragma once

#include <chrono>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "ui/quorvat1.h"
#include "ui/quorvat2.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace quorvat::bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What a person watching the log sees once the work is done: its end, painted.
inline void show_log_end(TForm1& form1) {
    QScrollBar* bar = form1.Memo1->verticalScrollBar();
    bar->setValue(bar->maximum());
    form1.Memo1->viewport()->repaint();
    QCoreApplication::processEvents();
}

// One run of the netlist that the open dialog answers, with "Listar passos" on: seconds
// from "Aplicar" to the painted end of the log.
inline double listar_passos_run(Shell& shell) {
    Clock::time_point applied;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!shell.host().waiting()) return;
        poll.stop();
        shell.form2().CBpassos->setChecked(true);
        applied = Clock::now();
        shell.form2().Button1->click();
    });
    poll.start(1);
    shell.form1().Abrir1Click();
    show_log_end(shell.form1());
    return seconds_since(applied);
}

// Runs the benchmarks inside the desktop program's application object, offscreen unless
// the environment names a platform.
inline int run_with_application(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    static int qt_argc = 1;
    QApplication app(qt_argc, argv);
    prepare_application(app);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace quorvat::bench
