// Netlists in Windows-1252 and in UTF-8: names are shown as the characters they are,
// counted as characters, and the result files keep the file name's own bytes.
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "engine/analysis_run.h"
#include "engine/fp_fault.h"
#include "engine/text.h"
#include "support/fake_host.h"
#include "support/test_files.h"

namespace quorvat {
namespace {

using testing::FakeHost;
using testing::ScratchDir;

struct CharsetRun {
    std::unique_ptr<EngineTables> tables = std::make_unique<EngineTables>();
    FakeHost host;
    bool ok;
    CharsetRun(const ScratchDir& dir, const std::string& file, const std::string& text) {
        host.file_name = dir.write(file, text);
        fp_clear();
        ok = run_analysis(*tables, host);
    }
};

TEST(Charsets, Windows1252NamesAreShownAsTheirCharacters) {
    ScratchDir dir;
    // "nó", "ação" and "pé" in Windows-1252 bytes
    CharsetRun r(dir, "acentos.net", "t\nI1 0 n\xF3 1 DEGRAU\nR1 n\xF3 a\xE7\xE3o 1\nC1 a\xE7\xE3o p\xE9 1\nR2 p\xE9 0 1\n");
    ASSERT_TRUE(r.ok) << r.host.text();
    EXPECT_EQ(to_utf8(r.host.lines.at(3)), "R1 nó ação 1");
    EXPECT_EQ(r.host.listed_variables,
              (std::vector<std::string>{"n\xF3", "a\xE7\xE3o", "p\xE9"}));
    EXPECT_EQ(to_utf8(r.host.listed_variables[1]), "ação");
    EXPECT_TRUE(std::filesystem::exists(dir.file("acentos.n3")));
}

TEST(Charsets, Utf8NamesAreKeptAndCountedAsCharacters) {
    ScratchDir dir;
    CharsetRun r(dir, "utf8.net", "t\nI1 0 coração 1 DEGRAU\nR1 coração 0 1\n");
    ASSERT_TRUE(r.ok) << r.host.text();
    EXPECT_EQ(r.host.lines.at(3), "R1 coração 0 1");
    EXPECT_EQ(to_utf8(r.host.lines.at(3)), r.host.lines.at(3));
    // Ten characters of UTF-8 text (16 bytes) are accepted; eleven are refused whole.
    CharsetRun ten(dir, "dez.net", "t\nR1 ããããããçççç 0 1\n");
    EXPECT_TRUE(ten.ok) << ten.host.text();
    CharsetRun eleven(dir, "onze.net", "t\nR1 ããããããççççç 0 1\n");
    EXPECT_FALSE(eleven.ok);
    EXPECT_EQ(eleven.host.lines.back(), "Campo com mais de 10 caracteres: ããããããççççç");
    // In Windows-1252 every byte is one character.
    CharsetRun cp_eleven(dir, "cp.net", "t\nR1 \xE3\xE3\xE3\xE3\xE3\xE3\xE7\xE7\xE7\xE7\xE7 0 1\n");
    EXPECT_FALSE(cp_eleven.ok);
}

TEST(Charsets, ResultFilesAreNamedFromTheFileNamesOwnBytes) {
    ScratchDir dir;
    CharsetRun utf8(dir, "filtro_ação.net", "t\nI1 0 1 1 DEGRAU\nR1 1 0 1\n");
    ASSERT_TRUE(utf8.ok);
    EXPECT_TRUE(std::filesystem::exists(dir.file("filtro_ação.n1")));
    CharsetRun latin(dir, "filtro_\xE9.net", "t\nI1 0 1 1 DEGRAU\nR1 1 0 1\n");
    ASSERT_TRUE(latin.ok);
    EXPECT_TRUE(std::filesystem::exists(dir.file("filtro_\xE9.d1")));
}

TEST(Charsets, DecodingRules) {
    EXPECT_TRUE(is_valid_utf8("ação"));
    EXPECT_FALSE(is_valid_utf8("a\xE7\xE3o"));
    EXPECT_FALSE(is_valid_utf8("\xC0\x80"));    // overlong
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(to_utf8("\x80 \x93x\x94"), "€ “x”");
    EXPECT_EQ(character_count("ação"), 4u);
    EXPECT_EQ(character_count("a\xE7\xE3o"), 4u);
}

}  // namespace
}  // namespace quorvat
