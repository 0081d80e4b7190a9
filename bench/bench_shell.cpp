// The desktop program's log under load: an analysis with "Listar passos" on for a
// 25-variable RC ladder, timed from "Aplicar" to the success line with the log showing
// every line, and the log sink alone over growing line counts (its cost must grow
// linearly, one batch append per command, never a repaint per line).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "bench/shell_bench_support.h"

#include "engine/log.h"
#include "plot/open_dialog.h"
#include "ui/quorvat1.h"
#include "ui/quorvat2.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace {

using quorvat::bench::Clock;
using quorvat::bench::listar_passos_run;
using quorvat::bench::show_log_end;

// V1 drives node 1; sections R k k+1, C k+1 0 up to node variables-1: those node
// voltages and the current of V1.
std::string ladder_netlist(int variables) {
    std::string text = "Escada RC de " + std::to_string(variables) + " variaveis\nV1 1 0 1 DEGRAU\n";
    for (int k = 1; k <= variables - 2; ++k) {
        text += "R" + std::to_string(k) + " " + std::to_string(k) + " " + std::to_string(k + 1) + " 1\n";
        text += "C" + std::to_string(k) + " " + std::to_string(k + 1) + " 0 1\n";
    }
    return text;
}

std::filesystem::path scratch_folder() {
    auto folder = std::filesystem::temp_directory_path() / "quorvat-bench-shell";
    std::filesystem::create_directories(folder);
    return folder;
}

// From "Aplicar" to the run's last line, which is the success line unless the engine
// gives up ("Cálculo interrompido."); the counters say which, and how many lines the
// run wrote.
void BM_ListarPassosLadder(benchmark::State& state) {
    const int variables = static_cast<int>(state.range(0));
    std::string netlist = (scratch_folder() / ("escada" + std::to_string(variables) + ".net")).string();
    std::ofstream(netlist, std::ios::trunc) << ladder_netlist(variables);
    qsizetype lines = 0;
    bool succeeded = false;
    for (auto _ : state) {
        quorvat::Shell shell;
        TForm1& form1 = shell.form1();
        auto dialog = std::make_unique<quorvat::ScriptedOpenDialog>();
        dialog->answer = netlist;
        form1.set_open_dialog(std::move(dialog));
        qsizetype first = form1.log_lines().size();

        double seconds = listar_passos_run(shell);

        QStringList log = form1.log_lines();
        succeeded = log.last() == QStringLiteral("Análise terminada com sucesso.");
        if (!succeeded && log.last() != QStringLiteral("Cálculo interrompido.")) {
            state.SkipWithError("the run did not reach its calculation");
            break;
        }
        lines = log.size() - first;
        state.SetIterationTime(seconds);
    }
    state.counters["log_lines"] = static_cast<double>(lines);
    state.counters["succeeded"] = succeeded ? 1 : 0;
}
BENCHMARK(BM_ListarPassosLadder)->Arg(10)->Arg(25)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_LogSink(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto shell = std::make_unique<quorvat::Shell>();
        TForm1& form1 = shell->form1();
        state.ResumeTiming();
        for (int i = 0; i < count; ++i)
            quorvat::log_message(form1.log(), "Y[%d][%d]: grau %d  %15.12f", i % 25 + 1, i % 26 + 1, i % 7, i * 0.5);
        form1.log().flush();
        show_log_end(form1);
        state.PauseTiming();
        shell.reset();  // tearing the windows down is not part of what the user waits for
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LogSink)->Arg(25000)->Arg(100000)->Arg(400000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    int status = quorvat::bench::run_with_application(argc, argv);
    std::error_code ignored;
    std::filesystem::remove_all(scratch_folder(), ignored);
    return status;
}
