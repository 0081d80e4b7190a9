// The result stage: integration adjustment, normalisation, the listing of the selected
// variables, the polynomial files and their failures.
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/scanner.h"
#include "engine/fp_fault.h"
#include "engine/results.h"
#include "engine/solver.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

namespace fs = std::filesystem;
using testing::FakeHost;
using testing::read_file;
using testing::ScratchDir;

void set(ResultPolynomial& p, std::initializer_list<double> coefficients) {
    p.degree = static_cast<int32_t>(coefficients.size()) - 1;
    int i = 0;
    for (double c : coefficients) p.c[i++] = c;
    p.Cte = 1.0;
}

// Results as the solver leaves them, written under the base name "r" of a scratch folder.
struct Stage {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;
    ScratchDir dir;
    std::string base = dir.file("r");

    explicit Stage(int n) {
        tables->variable_count = n;
        tables->set_variable_name(0, "0");
        for (int k = 1; k <= n; ++k) {
            tables->set_variable_name(k, "v" + std::to_string(k));
            set(tables->num[k], {1});
            set(tables->den[k], {1});
        }
        tables->base_name = base;
        tables->arithmetic.coefficient_dispersion = 1e12;
        tables->arithmetic.zero_threshold = 1e-12;
        fp_clear();
    }
    ResultPolynomial& num(int k) { return tables->num[k]; }
    ResultPolynomial& den(int k) { return tables->den[k]; }
    bool write() { return adjust_results(*tables, host) && write_results(*tables, host); }
    std::string file(const std::string& suffix) const { return read_file(base + suffix); }
    bool exists(const std::string& suffix) const { return fs::exists(base + suffix); }
    std::size_t index_of(const std::string& line) const {
        auto it = std::find(host.lines.begin(), host.lines.end(), line);
        return static_cast<std::size_t>(it - host.lines.begin());
    }
};

TEST(Integration, RaisesTheDenominatorOrLowersTheNumerator) {
    Stage stage(4);
    stage.host.options = {AnalysisOption::details};
    set(stage.num(1), {1, 1});
    set(stage.den(1), {0, 2, 1});
    set(stage.num(2), {0, 3, 4});
    set(stage.den(2), {5, 6});
    set(stage.num(3), {0});          // the zero polynomial stays as it is
    set(stage.num(4), {1e-300, 2});  // non-zero however small: no threshold applies
    set(stage.den(4), {3});
    ASSERT_TRUE(stage.write());
    const std::vector<std::string> expected = {
        "Integração: Grau do denominador 1 aumentado para 3",
        "Integração: Grau do numerador 2 reduzido",
        "Integração: Grau do numerador 3 reduzido",
        "Integração: Grau do denominador 4 aumentado para 1",
    };
    EXPECT_EQ(std::vector<std::string>(stage.host.lines.begin(), stage.host.lines.begin() + 4), expected);
    EXPECT_EQ(stage.file(".d1"), "3\n 0.000000000000\n 0.000000000000\n 2.000000000000\n 1.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".n2"), "1\n 3.000000000000\n 4.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".d2"), "1\n 5.000000000000\n 6.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".n3"), "0\n 0.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".n4"), "1\n1.0000000000000000e-300\n 2.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".d4"), "1\n 0.000000000000\n 3.000000000000\n 1.000000000000\n");
}

TEST(Integration, DenominatorOfTheMaximumOrderIsRefusedBeforeAnyFile) {
    Stage boundary(1);
    set(boundary.num(1), {1});
    boundary.den(1).degree = 29;
    for (int i = 0; i <= 29; ++i) boundary.den(1).c[i] = 1;
    ASSERT_TRUE(boundary.write());
    EXPECT_EQ(boundary.den(1).degree, 30);

    Stage stage(2);
    set(stage.num(2), {1});
    stage.den(2).degree = 30;
    for (int i = 0; i <= 30; ++i) stage.den(2).c[i] = 1;
    EXPECT_FALSE(stage.write());
    EXPECT_EQ(stage.host.text(), "Ordem maior que o máximo (30).\n");
    EXPECT_EQ(stage.den(2).degree, 30);
    EXPECT_FALSE(stage.exists(".n1"));
    EXPECT_TRUE(stage.host.proposed_plot_file.empty());
    EXPECT_EQ(stage.host.results_listable, 0);  // half-adjusted results are not offered
}

TEST(Normalisation, MonicPolynomialsWithTheGainInTheNumerator) {
    Stage stage(1);
    set(stage.num(1), {2, 4});
    set(stage.den(1), {1, 2});  // becomes s + 2 s^2 by the integration
    ASSERT_TRUE(stage.write());
    EXPECT_EQ(stage.file(".n1"), "1\n 0.500000000000\n 1.000000000000\n 2.000000000000\n");
    EXPECT_EQ(stage.file(".d1"), "2\n 0.000000000000\n 0.500000000000\n 1.000000000000\n 1.000000000000\n");

    Stage off(1);
    off.host.options.clear();
    set(off.num(1), {2, 4});
    set(off.den(1), {1, 2});
    ASSERT_TRUE(off.write());
    EXPECT_EQ(off.file(".n1"), "1\n 2.000000000000\n 4.000000000000\n 1.000000000000\n");
    EXPECT_EQ(off.file(".d1"), "2\n 0.000000000000\n 1.000000000000\n 2.000000000000\n 1.000000000000\n");
}

TEST(Normalisation, NegligibleCoefficientsGoAndAZeroNumeratorKeepsConstantOne) {
    Stage stage(2);
    set(stage.num(1), {0, 1e-15, 3});  // integration drops the 0, normalisation the 1e-15
    set(stage.den(1), {4, 1e-13, 8});
    set(stage.num(2), {0});
    set(stage.den(2), {-2, 4});
    ASSERT_TRUE(stage.write());
    EXPECT_EQ(stage.file(".n1"), "1\n 0.000000000000\n 1.000000000000\n 0.375000000000\n");
    EXPECT_EQ(stage.file(".d1"), "2\n 0.500000000000\n 0.000000000000\n 1.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".n2"), "0\n 0.000000000000\n 0.250000000000\n");
    EXPECT_EQ(stage.file(".d2"), "1\n-0.500000000000\n 1.000000000000\n 1.000000000000\n");
}

TEST(ResultFiles, WorkedExampleWithDetails) {
    Stage stage(2);
    stage.host.set(AnalysisOption::details, true);
    set(stage.num(1), {1, 1});
    set(stage.den(1), {0, 2, 1});
    set(stage.num(2), {1});
    set(stage.den(2), {0, 2, 1});
    ASSERT_TRUE(stage.write());
    const std::string& b = stage.base;
    const std::vector<std::string> expected = {
        "Integração: Grau do denominador 1 aumentado para 3",
        "Integração: Grau do denominador 2 aumentado para 3",
        "Numerador 1 (v1) salvo no arquivo " + b + ".n1",
        "Denominador 1 (v1) salvo no arquivo " + b + ".d1",
        "Numerador 2 (v2) salvo no arquivo " + b + ".n2",
        "Denominador 2 (v2) salvo no arquivo " + b + ".d2",
    };
    EXPECT_EQ(stage.host.lines, expected);
    EXPECT_EQ(stage.file(".n1"), "1\n 1.000000000000\n 1.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.file(".n2"), "0\n 1.000000000000\n 1.000000000000\n");
    const char* denominator = "3\n 0.000000000000\n 0.000000000000\n 2.000000000000\n 1.000000000000\n 1.000000000000\n";
    EXPECT_EQ(stage.file(".d1"), denominator);
    EXPECT_EQ(stage.file(".d2"), denominator);
    EXPECT_EQ(stage.host.proposed_plot_file, b + ".n1");
    EXPECT_EQ(stage.host.results_listable, 1);
}

TEST(ResultFiles, OneSummaryLineWithoutDetailsAndNumbersWrittenInFull) {
    Stage stage(12);
    ASSERT_TRUE(stage.write());
    EXPECT_EQ(stage.host.text(), "Resultados salvos como " + stage.base + ".*\n");
    EXPECT_TRUE(stage.exists(".n10"));
    EXPECT_TRUE(stage.exists(".d12"));
    EXPECT_FALSE(stage.exists(".n13"));
}

TEST(ResultFiles, SmallCoefficientsAreNotLost) {
    Stage stage(1);
    stage.host.options.clear();
    stage.host.selection = {1};
    set(stage.num(1), {-3.33e-12});
    set(stage.den(1), {1e-13, 2.5e-5, 1});
    ASSERT_TRUE(stage.write());
    const std::string n1 = stage.file(".n1");
    EXPECT_EQ(n1, "0\n-3.3300000000000001e-12\n 1.000000000000\n");
    EXPECT_EQ(lenient_to_double(n1.substr(2)), -3.33e-12);
    EXPECT_EQ(stage.file(".d1"),
              "3\n 0.000000000000\n1.0000000000000000e-13\n2.5000000000000001e-05\n 1.000000000000\n 1.000000000000\n");
    EXPECT_EQ(stage.host.lines.at(1), "a0: -3.3300000000000001e-12");
}

TEST(ResultFiles, FileThatCannotBeCreatedEndsTheStage) {
    Stage stage(1);
    stage.tables->base_name = stage.dir.file("falta/r");
    EXPECT_FALSE(stage.write());
    EXPECT_EQ(stage.host.text(),
              "Erro ao gravar o arquivo " + stage.dir.file("falta/r.n1") + ": arquivo ou pasta inexistente\n");
    EXPECT_TRUE(stage.host.proposed_plot_file.empty());
}

// Every failure leaves the old files exactly as they were, and no temporary behind.
TEST(ResultFiles, AllOrNothing) {
    auto folder_entries = [](const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    struct Case {
        const char* what;
        std::function<void(Stage&)> arrange;
        std::function<void()> restore;
        const char* message_end;  // after "Erro ao gravar o arquivo BASE"
    };
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const Case cases[] = {
        {"a folder at the last name", [](Stage& s) { fs::create_directory(s.base + ".d2"); }, [] {},
         ".d2: é uma pasta\n"},
        {"the netlist at a result name",
         [](Stage& s) {
             testing::write_file(s.base + ".n2", "netlist\n");
             s.tables->netlist_path = s.base + ".n2";
         },
         [] {}, nullptr},
        {"a full file system (file size limit)",
         [&saved](Stage&) {
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit none = saved;
             none.rlim_cur = 0;
             setrlimit(RLIMIT_FSIZE, &none);
         },
         [&] { setrlimit(RLIMIT_FSIZE, &saved); }, ".n1: arquivo grande demais\n"},
    };
    for (const Case& c : cases) {
        Stage stage(2);
        testing::write_file(stage.base + ".n1", "velho n1\n");
        testing::write_file(stage.base + ".d1", "velho d1\n");
        c.arrange(stage);
        std::vector<std::string> before = folder_entries(stage.dir.path());
        bool written = stage.write();
        c.restore();
        EXPECT_FALSE(written) << c.what;
        if (c.message_end)
            EXPECT_EQ(stage.host.text(), "Erro ao gravar o arquivo " + stage.base + c.message_end) << c.what;
        else
            EXPECT_EQ(stage.host.text(), "O arquivo de resultado " + stage.base +
                                             ".n2 é o próprio netlist: nenhum arquivo foi gravado.\n");
        EXPECT_EQ(folder_entries(stage.dir.path()), before) << c.what;
        EXPECT_EQ(stage.file(".n1"), "velho n1\n") << c.what;
        EXPECT_EQ(stage.file(".d1"), "velho d1\n") << c.what;
        EXPECT_TRUE(stage.host.proposed_plot_file.empty()) << c.what;
    }
}

TEST(ResultFiles, LinkAtAResultNameIsReplacedNotWrittenThrough) {
    Stage stage(1);
    std::string precious = stage.dir.file("precious.txt");
    testing::write_file(precious, "precioso\n");
    fs::create_symlink(precious, stage.base + ".n1");
    fs::create_symlink("/dev/full", stage.base + ".d1");
    ASSERT_TRUE(stage.write()) << stage.host.text();
    EXPECT_EQ(read_file(precious), "precioso\n");
    EXPECT_FALSE(fs::is_symlink(stage.base + ".n1"));
    EXPECT_FALSE(fs::is_symlink(stage.base + ".d1"));
    EXPECT_EQ(stage.file(".n1"), "0\n 1.000000000000\n 1.000000000000\n");
}

TEST(ResultListing, SelectedVariablesInIndexOrder) {
    Stage stage(3);
    stage.host.selection = {3, 1};
    set(stage.num(1), {1, -0.5});
    stage.num(1).Cte = 250;
    set(stage.den(1), {0, 2, 1});
    set(stage.num(3), {7});
    set(stage.den(3), {1e-5});
    list_selected_results(*stage.tables, stage.host);
    const std::vector<std::string> expected = {
        "Numerador 1 (v1):",
        "a0:  1.000000000000",
        "a1: -0.500000000000",
        "Cte: 250.000000000000",
        "Denominador 1 (v1):",
        "a0:  0.000000000000",
        "a1:  2.000000000000",
        "a2:  1.000000000000",
        "Cte:  1.000000000000",
        "Numerador 3 (v3):",
        "a0:  7.000000000000",
        "Cte:  1.000000000000",
        "Denominador 3 (v3):",
        "a0: 1.0000000000000001e-05",
        "Cte:  1.000000000000",
    };
    EXPECT_EQ(stage.host.lines, expected);

    stage.host.lines.clear();
    stage.host.selection.clear();
    list_selected_results(*stage.tables, stage.host);
    EXPECT_TRUE(stage.host.lines.empty());
}

TEST(ResultListing, RunsAfterNormalisationAndBeforeTheFiles) {
    Stage stage(1);
    stage.host.set(AnalysisOption::details, true);
    stage.host.selection = {1};
    set(stage.num(1), {0, 6});
    set(stage.den(1), {2, 4});
    ASSERT_TRUE(stage.write());
    const std::vector<std::string> expected = {
        "Integração: Grau do numerador 1 reduzido",
        "Numerador 1 (v1):",
        "a0:  1.000000000000",
        "Cte:  1.500000000000",
        "Denominador 1 (v1):",
        "a0:  0.500000000000",
        "a1:  1.000000000000",
        "Cte:  1.000000000000",
        "Numerador 1 (v1) salvo no arquivo " + stage.base + ".n1",
        "Denominador 1 (v1) salvo no arquivo " + stage.base + ".d1",
    };
    EXPECT_EQ(stage.host.lines, expected);
}

// The worked example solved and written, then a smaller circuit over the same tables.
TEST(ResultFiles, SecondSmallerSystemListsAndWritesOnlyItsOwnVariables) {
    Stage stage(3);
    auto& stamp = stage.tables->stamp;
    // x1 = 1, x2 = 2, x3 = 3 as step responses: 3 variables with diagonal 1 and rhs k.
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 4; ++c) stamp[r][c] = StampEntry{0, c == r ? 1.0 : (c == 4 ? double(r) : 0.0), 0.0};
    prepare_system(*stage.tables);
    ASSERT_TRUE(solve_system(*stage.tables, stage.host));
    ASSERT_TRUE(stage.write());
    const std::string earlier_n3 = stage.file(".n3");
    EXPECT_EQ(earlier_n3, "0\n 1.000000000000\n 3.000000000000\n");

    stage.host.lines.clear();
    stage.host.selection = {1, 2, 3};
    stage.host.set(AnalysisOption::details, true);
    stage.tables->variable_count = 1;
    stage.tables->set_variable_name(1, "u");
    stamp[1][1] = StampEntry{0, 4.0, 0.0};
    stamp[1][2] = StampEntry{0, 2.0, 0.0};
    prepare_system(*stage.tables);
    ASSERT_TRUE(solve_system(*stage.tables, stage.host));
    ASSERT_TRUE(stage.write());
    int headers = 0, saved = 0;
    for (const auto& line : stage.host.lines) {
        headers += line.back() == ':' && (line.rfind("Numerador", 0) == 0 || line.rfind("Denominador", 0) == 0);
        saved += line.find("salvo no arquivo") != std::string::npos;
    }
    EXPECT_EQ(headers, 2);
    EXPECT_EQ(saved, 2);
    EXPECT_NE(stage.index_of("Numerador 1 (u):"), stage.host.lines.size());
    EXPECT_EQ(stage.file(".n1"), "0\n 1.000000000000\n 0.500000000000\n");
    EXPECT_EQ(stage.file(".n3"), earlier_n3);  // the earlier run's surplus files stay
    EXPECT_EQ(stage.host.proposed_plot_file, stage.base + ".n1");
}

}  // namespace
}  // namespace quorvat
