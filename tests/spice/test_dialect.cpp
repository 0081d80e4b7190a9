// The constructs that real decks use beyond the core of SPICE: each read with its
// meaning for an AC analysis, or refused with its line; and the notes that say so.
#include <gtest/gtest.h>

#include "spice_testing.h"

namespace quorvat::spice {
namespace {

using testing::element_lines;
using testing::import_text;

TEST(SpiceDialect, ConstructsReadWithTheirMeaning) {
    struct Case {
        const char* what;
        const char* deck;
        const char* lines;  // the netlist's element lines
        const char* note;   // a text the netlist's header holds, or ""
    } cases[] = {
        {"ac= is the resistance of an AC deck", "t\nV1 a 0 AC 1\nR1 a 0 1k ac=4k\n", "V1 a 0 1 IMPULSO\nR1 a 0 4000\n",
         "resistência AC 4000 usada; a DC é 1000"},
        {"ac= plays no part in a step deck", "t\nV1 a 0 DC 1\nR1 a 0 1k ac=4k\n", "V1 a 0 1 DEGRAU\nR1 a 0 1000\n",
         "sem fonte AC, vale a DC"},
        {"scale= and m= on R, C and L", "t\nR1 a 0 1k scale=500 m=2\nC1 a 0 1n scale=4 m=2\nL1 a 0 1m scale=4\n",
         "R1 a 0 250000\nC1 a 0 8e-09\nL1 a 0 0.004\n", ""},
        {".if, .elseif, .else and nested .if on the parameters",
         "t\n.param k=2 on=1\n.if (k == 1)\nR1 a 0 1\n.elseif(k == 2 && on)\n.if (!on)\nR2 a 0 2\n.else\nR3 a 0 3\n"
         ".endif\n.else\nR4 a 0 4\n.endif\n",
         "R3 a 0 3\n", ""},
        {".global: the same node in every instance",
         "t\n.global vdd\n.subckt half a\nR1 a vdd 1k\n.ends\nX1 n1 half\nX2 n2 half\nV1 vdd 0 1\n",
         "R1.X1 n1 vdd 1000\nR1.X2 n2 vdd 1000\nV1 vdd 0 1 DEGRAU\n", ""},
        {"IC= left out of an AC deck", "t\nV1 a 0 AC 1\nR1 a b 1k\nC1 b 0 1u IC=1\nL1 b 0 1 IC=2m\n",
         "V1 a 0 1 IMPULSO\nR1 a b 1000\nC1 b 0 1e-06\nL1 b 0 1\n",
         "condições iniciais deixadas fora das funções de rede, como na análise AC: C1, L1"},
        {"IC= kept in a step deck", "t\nV1 a 0 5\nR1 a b 1k\nC1 b 0 1u IC=1\n",
         "V1 a 0 5 DEGRAU\nR1 a b 1000\nC1 b 0 1e-06 IC=1\n", ""},
        {"dc= and ac= forms, DC 0 AC 1 0, sources without AC worth 0 in an AC deck",
         "t\nV1 a 0 dc=1.27 ac=1\nV2 b 0 DC 0 AC 1 0\nVcc c 0 12\nI1 c 0 SIN(0 1 1k)\nR1 a b 1\nR2 b c 1\n",
         "V1 a 0 1 IMPULSO\nV2 b 0 1 IMPULSO\nVcc c 0 0 IMPULSO\nI1 c 0 0 IMPULSO\nR1 a b 1\nR2 b c 1\n",
         "fontes sem AC valem 0 nas funções de rede, como na análise AC: Vcc, I1"},
        {"a phase common to every AC source, one more turned by 180 degrees",
         "t\nV1 a 0 AC 1 90\nV2 b 0 AC 2 -90\nR1 a b 1\n", "V1 a 0 1 IMPULSO\nV2 b 0 -2 IMPULSO\nR1 a b 1\n",
         "fase 90 graus comum às fontes AC deixada de fora"},
        {"a transient function with a DC value in a step deck", "t\nV1 a 0 DC 2 SIN(2 1 1k)\nR1 a 0 1\n",
         "V1 a 0 2 DEGRAU\nR1 a 0 1\n", "função sin ignorada: vale o valor DC"},
        {"a resistor with a model name, either order, and the model's temperature coefficient",
         "t\n.model rmod R(tc1=0.01)\n.model cm C()\n.temp 37\nR1 a 0 rmod 10k\nR2 a 0 10k rmod\nC1 a 0 cm 1n\n",
         "R1 a 0 11000\nR2 a 0 11000\nC1 a 0 1e-09\n", "valor multiplicado por 1.1: coeficientes de temperatura a 37 °C"},
        {"a semiconductor resistor from its geometry", "t\n.model rp R(rsh=100 narrow=0.25)\n.model rq R(rsh=100)\nR1 a 0 rp l=2 w=1\n"
         "R2 a 0 rq (l=20u)\n",
         "R1 a 0 400\nR2 a 0 200\n", ""},
        {"an RF port: the source with z0 in series", "t\nV1 in 0 dc 0 ac 1 portnum 1 z0 100\nR1 in 0 50\n",
         "V1 n_1 0 1 IMPULSO\nRz0_V1 in n_1 100\nR1 in 0 50\n", "n_1: nó novo entre Rz0_V1 (z0 da porta) e V1"},
        {"POLY(1) is one gain; its constant plays no part",
         "t\nV1 a 0 AC 1\nVs a b 0\nR1 b 0 1\nE1 c 0 POLY(1) a 0 0.5 2\nR2 c 0 1\nF1 d 0 POLY(1) Vs 0 3\nR3 d 0 1\n",
         "V1 a 0 1 IMPULSO\nR1 b 0 1\nE1 c 0 a 0 2\nR2 c 0 1\nF1 d 0 a b 3\nR3 d 0 1\n",
         "termo constante do POLY ignorado: não muda as funções de rede"},
        {".func, an empty .param and the resistor code",
         "t\n.func par(x, y) {x*y/(x+y)}\n.param\n.param r = 4K7\nR1 a 0 {par(r, r)}\nR2 a 0 27R56\nC1 a 0 2n2\n",
         "R1 a 0 2350\nR2 a 0 27.56\nC1 a 0 2.2e-09\n", ".param sem definições, ignorado"},
        {"m= on instances: parallel copies of what scales with them",
         "t\n.param k=4\n.subckt inner a b\nC1 a b 1 m=2\nR1 a b 12\nE1 a b a b 5\nG1 a b POLY(1) a b 0 7\n.ends\n"
         ".subckt outer a b\nX2 a b inner m='k-2'\n.ends\nX1 p 0 outer m=3\n",
         "C1.X1.X2 p 0 12\nR1.X1.X2 p 0 2\nE1.X1.X2 p 0 p 0 5\nG1.X1.X2 p 0 p 0 42\n", ""},
        {"nodes in parentheses", "t\n.subckt half (a b)\nR1 (a b) 1\n.ends\nV1 (1 0) AC 1\nX1 (1 0) half\n",
         "V1 1 0 1 IMPULSO\nR1.X1 1 0 1\n", ""},
        {"a 0 V ammeter adds no note about sources", "t\nV1 a 0 AC 1\nVam a b 0\nR1 b 0 1\n",
         "V1 a 0 1 IMPULSO\nVam a b 0 IMPULSO\nR1 b 0 1\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImportResult r = import_text(c.deck);
        ASSERT_TRUE(r.ok) << r.refusals[0];
        EXPECT_EQ(element_lines(r.netlist), c.lines);
        EXPECT_NE(r.netlist.find(c.note), std::string::npos) << r.netlist;
        for (const std::string& note : r.notes) EXPECT_EQ(note.find("Vam"), std::string::npos) << note;
    }
}

TEST(SpiceDialect, RefusalsNameTheLineAndTheInstance) {
    struct Case {
        const char* deck;
        const char* refusal;
    } cases[] = {
        {"t\n.if (nada > 1)\nR1 a 0 1\n.endif\n",
         "linha 2: .if (nada > 1) (condição inválida: parâmetro desconhecido: nada)"},
        {"t\n.param k=1\n.if (k)\nR1 a 0 1\n", "linha 3: .if (k) (.if sem .endif)"},
        {"t\nR1 a 0 1\n.else\n", "linha 3: .else (.else sem .if)"},
        {"t\n.subckt s a params: k=1\n.if (k > 0)\nR1 a 0 1\n.endif\n.ends\nX1 n s\n",
         "linha 3: .if (k > 0) (condição com parâmetro do subcircuito (k): só parâmetros globais são lidos em .if)"},
        {"t\nE1 a 0 POLY(1) b 0 0 1 0.5\n", "linha 2: E1 a 0 POLY(1) b 0 0 1 0.5 (POLY não linear: termo de grau 2 ou mais não nulo)"},
        {"t\nV1 a 0 AC 1\nV2 b 0 AC 1 45\nR1 a b 1\n",
         "linha 3: V2 b 0 AC 1 45 (fase AC diferente da das outras fontes AC: funções de rede de coeficientes reais não "
         "a representam; analise uma fonte de cada vez)"},
        {"t\nR1 a 0 1k tc=0.1\n", "linha 2: R1 a 0 1k tc=0.1 (parâmetro desconhecido: tc)"},
        {"t\n.model rm RES(R=2)\nR1 a 0 rm 1k\n",
         "linha 3: R1 a 0 rm 1k (o modelo dá r=2: multiplicador num simulador, valor padrão noutro; escreva o valor no "
         "elemento)"},
        {"t\n.model dm D(is=1e-14)\nR1 a 0 dm 1k\n", "linha 3: R1 a 0 dm 1k (o modelo dm é do tipo d, não de resistor)"},
        {"t\nI1 a 0 SIN(0 1 1k)\nR1 a 0 1\n",
         "linha 2: I1 a 0 SIN(0 1 1k) (função sin não tem degrau equivalente e a fonte não tem valor AC nem DC)"},
        {"t\n.param r=1\n.step param r 1 3 1\nR1 a 0 {r}\n", "linha 3: .step param r 1 3 1 (.step muda o circuito entre "
                                                  "análises: importe um caso de cada vez)"},
        {"t\n.subckt tr a b params: k=0.5\nL1 a 0 1\nL2 b 0 1\nK1 L1 L2 {k}\n.ends\nX1 p q tr\nX2 r s tr k=2\n",
         "linha 5: K1 L1 L2 {k} (coeficiente de acoplamento fora de [-1, 1] em X2.K1)"},
        {"t\nR1 a 0 1.5k7\n", "linha 2: R1 a 0 1.5k7 (valor inválido 1.5k7: número mal formado: 1.5k7)"},
        {"t\nV1 a 0 AC 1 z0 50\n", "linha 2: V1 a 0 AC 1 z0 50 (z0 sem portnum)"},
        {"t\n.vsource Vcc 1 0 dc 10\nR1 1 0 1\n", "linha 2: .vsource Vcc 1 0 dc 10 (comando desconhecido: .vsource)"},
        {"t\n.print ac v(1)\n", "o deck não tem elementos"},
        {"t\nR1 a 0 r = 'V(a) < 1 ? 1k : 2k'\n",
         "linha 2: R1 a 0 r = 'V(a) < 1 ? 1k : 2k' (valor inválido 'V(a) < 1 ? 1k : 2k': valor que depende de v(...): "
         "elemento não linear)"},
        {"t\n.func f(x) {f(x)+1}\nR1 a 0 {f(1)}\n",
         "linha 3: R1 a 0 {f(1)} (valor inválido {f(1)}: expressão aninhada demais (mais de 1000 níveis, contando os parâmetros a que se refere))"},
        {"t\nr1 1 0 ac 1k dc 2k\n",
         "linha 2: r1 1 0 ac 1k dc 2k (sintaxe do gnucap, valores por análise (ac ...): escreva o elemento em SPICE)"},
    };
    for (const Case& c : cases) {
        ImportResult r = import_text(c.deck);
        EXPECT_FALSE(r.ok) << c.deck;
        EXPECT_TRUE(r.netlist.empty());
        ASSERT_EQ(r.refusals.size(), 1u) << c.deck << ::testing::PrintToString(r.refusals);
        EXPECT_EQ(r.refusals[0], c.refusal);
    }
}

}  // namespace
}  // namespace quorvat::spice
