// The main window's log over three "Listar passos" runs of the 25-variable ladder in one
// process: the time of each run from "Aplicar" to the success line on the screen, the
// memory that each logged line costs, and how fast the log scrolls, jumps to its start
// and end and follows a resize of the window once it holds millions of lines.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "bench/shell_bench_support.h"

#include "plot/open_dialog.h"
#include "ui/quorvat1.h"
#include "ui/quorvat2.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace {

using quorvat::bench::Clock;
using quorvat::bench::listar_passos_run;
using quorvat::bench::seconds_since;
using quorvat::bench::show_log_end;

// The resident size of the process, in bytes.
double resident_bytes() {
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

QAbstractScrollArea& log_view(TForm1& form1) { return *form1.Memo1; }

// Milliseconds that an action on the log takes until the log is painted again.
template <class Action>
double painted_after(TForm1& form1, Action action) {
    auto start = Clock::now();
    action();
    QCoreApplication::processEvents();
    log_view(form1).viewport()->repaint();
    return seconds_since(start) * 1000.0;
}

void press(QWidget& widget, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent down(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(&widget, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(&widget, &up);
}

void BM_LogThreeRunsLadder25(benchmark::State& state) {
    const std::string netlist = std::string(QUORVAT_SOURCE_DIR) + "/examples/ladder25.net";
    for (auto _ : state) {
        quorvat::Shell shell;
        TForm1& form1 = shell.form1();
        auto dialog = std::make_unique<quorvat::ScriptedOpenDialog>();
        dialog->answer = netlist;
        form1.set_open_dialog(std::move(dialog));
        QCoreApplication::processEvents();

        const double resident_before = resident_bytes();
        double run_seconds[3];
        double total_seconds = 0;
        for (double& seconds : run_seconds) {
            seconds = listar_passos_run(shell);
            total_seconds += seconds;
        }
        const double resident_after = resident_bytes();

        // After three runs: a page up, Ctrl+Home, Ctrl+End and a resize.
        QAbstractScrollArea& view = log_view(form1);
        QScrollBar* bar = view.verticalScrollBar();
        const double scroll_ms = painted_after(form1, [&] { bar->setValue(bar->value() - 10 * bar->pageStep()); });
        const double page_ms = painted_after(form1, [&] { press(view, Qt::Key_PageUp, Qt::NoModifier); });
        const double home_ms = painted_after(form1, [&] { press(view, Qt::Key_Home, Qt::ControlModifier); });
        const double end_ms = painted_after(form1, [&] { press(view, Qt::Key_End, Qt::ControlModifier); });
        const double resize_ms = painted_after(form1, [&] { form1.resize(form1.width() + 150, form1.height() + 100); });

        state.SetIterationTime(total_seconds);
        const QStringList lines = form1.log_lines();
        double text_bytes = 0;
        for (const QString& line : lines) text_bytes += static_cast<double>(line.toUtf8().size());
        const double count = static_cast<double>(lines.size());
        if (lines.last() != QStringLiteral("Análise terminada com sucesso.")) state.SkipWithError("the run failed");
        state.counters["run1_s"] = run_seconds[0];
        state.counters["run2_s"] = run_seconds[1];
        state.counters["run3_s"] = run_seconds[2];
        state.counters["lines"] = count;
        state.counters["text_B_per_line"] = text_bytes / count;
        state.counters["rss_MB"] = resident_after / 1e6;
        state.counters["rss_MB_per_run"] = (resident_after - resident_before) / 3e6;
        state.counters["B_per_line_beyond_text"] = (resident_after - resident_before - text_bytes) / count;
        const quorvat::LineStore& store = form1.Memo1->store();
        state.counters["store_B_per_line_beyond_text"] =
            static_cast<double>(store.memory_bytes() - store.text_bytes()) / count;
        state.counters["scroll_ms"] = scroll_ms;
        state.counters["page_up_ms"] = page_ms;
        state.counters["ctrl_home_ms"] = home_ms;
        state.counters["ctrl_end_ms"] = end_ms;
        state.counters["resize_ms"] = resize_ms;
    }
}
BENCHMARK(BM_LogThreeRunsLadder25)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    return quorvat::bench::run_with_application(argc, argv);
}
