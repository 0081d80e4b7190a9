// The files importar, plotar and tempo write: whole or not at all, never over an input,
// never through a link, the old file kept on a full disk.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/cli_run.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using quorvat::testing::read_file;
using quorvat::testing::ScratchDir;
using quorvat::testing::run_cli;
using Outcome = quorvat::testing::CliOutcome;

const char* const rc_deck = "RC\nV1 in 0 AC 1\nR1 in out 1k\nC1 out 0 1u\n";
const char* const rc_net = "RC\nR1 1 2 1000\nC1 2 0 1e-06\nV1 1 0 1 DEGRAU\n";

std::vector<std::string> temporaries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".quorvat-") != std::string::npos)
            names.push_back(entry.path().filename().string());
    return names;
}

struct Fixture {
    ScratchDir dir;
    Fixture() {
        dir.write("rc.cir", rc_deck);
        dir.write("rc.net", rc_net);
        EXPECT_EQ(run_cli(dir, "analisar rc.net").status, 0);
    }
};

TEST(CliOutputs, NeverOverAnInputNorThroughALink) {
    Fixture f;
    f.dir.write("precioso.txt", "precioso\n");
    fs::create_symlink(f.dir.file("precioso.txt"), f.dir.file("ligado.net"));
    fs::create_hard_link(f.dir.file("rc.n2"), f.dir.file("outro_nome.csv"));
    struct Case {
        const char* arguments;
        int status;
        const char* err;  // in standard error
        const char* kept;  // a file that must keep its text
    } cases[] = {
        {"importar --saida rc.cir rc.cir", 1, "rc.cir é um dos arquivos de entrada: nenhum arquivo foi gravado", "rc.cir"},
        {"importar --saida ./rc.cir rc.cir", 1, "é um dos arquivos de entrada", "rc.cir"},
        {"tempo --csv rc.d2 rc.n2", 1, "rc.d2 é um dos arquivos de entrada", "rc.d2"},
        {"tempo --csv x.csv --png rc.net rc.n2", 1, "rc.net é um dos arquivos de entrada", "rc.net"},
        {"plotar --csv outro_nome.csv rc.n2", 1, "é um dos arquivos de entrada", "rc.n2"},
        {"importar --saida ligado.net rc.cir", 0, "", "precioso.txt"},
    };
    for (const Case& c : cases) {
        std::string before = read_file(f.dir.file(c.kept));
        Outcome o = run_cli(f.dir, c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.err;
        EXPECT_NE(o.err.find(c.err), std::string::npos) << c.arguments << "\n" << o.err;
        EXPECT_EQ(read_file(f.dir.file(c.kept)), before) << c.arguments;
    }
    EXPECT_FALSE(fs::exists(f.dir.file("x.csv")));  // the group is refused whole
    EXPECT_FALSE(fs::is_symlink(f.dir.file("ligado.net")));
    EXPECT_NE(read_file(f.dir.file("ligado.net")).find("R1 in out 1000"), std::string::npos);
    EXPECT_EQ(temporaries(f.dir.path()), std::vector<std::string>{});
}

// A small file system of its own, filled up: needs root to mount it.
TEST(CliOutputs, FullDiskKeepsTheOldFiles) {
    if (::geteuid() != 0) GTEST_SKIP() << "montar um tmpfs pequeno precisa de root";
    Fixture f;
    std::string disk = f.dir.file("disco");
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "não foi possível montar um tmpfs (" << std::strerror(errno) << ")";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{disk};
    const std::vector<std::string> old = {"velho.net", "velho.csv", "velho.png"};
    for (const std::string& name : old) quorvat::testing::write_file(disk + "/" + name, "velho " + name + "\n");
    {
        std::string filler = disk + "/enchimento";
        std::FILE* file = std::fopen(filler.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::string block(1024, 'x');
        while (std::fwrite(block.data(), 1, block.size(), file) == block.size() && std::fflush(file) == 0) {
        }
        std::fclose(file);
    }
    const std::string commands[] = {
        "importar --saida disco/velho.net rc.cir",
        "tempo --csv disco/velho.csv rc.n2",
        "tempo --png disco/velho.png rc.n2",
        "tempo --csv disco/velho.csv --png disco/velho.png rc.n2",
        "plotar --png disco/velho.png rc.n2",
        "plotar --csv disco/velho.csv rc.n2",
        "plotar --png disco/velho.png --csv disco/velho.csv rc.n2",
    };
    for (const std::string& command : commands) {
        Outcome o = run_cli(f.dir, command);
        EXPECT_EQ(o.status, 1) << command << "\n" << o.out << o.err;
        EXPECT_NE(o.err.find("disco cheio"), std::string::npos) << command << "\n" << o.err;
        for (const std::string& name : old) EXPECT_EQ(read_file(disk + "/" + name), "velho " + name + "\n") << command;
        EXPECT_EQ(temporaries(disk), std::vector<std::string>{}) << command;
    }
}

}  // namespace
