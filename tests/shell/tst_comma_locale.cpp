// The program under a Brazilian environment (CTest sets LC_ALL=pt_BR.UTF-8 for this
// test): Qt takes the locale from the environment, and the start-up must give printf
// its "C" numeric locale back, or the log and the polynomial files would get "1,5".
#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>

#include <QLineEdit>
#include <QtTest>

#include "shell_testing.h"
#include "support/test_files.h"

using namespace quorvat;
using namespace quorvat::testing;

class TestCommaLocale : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void numbers_keep_the_full_stop();
};

void TestCommaLocale::initTestCase() {
    // Without a comma locale from the environment this test would prove nothing: the
    // categories Qt set and the program left alone must write numbers with a comma.
    const char* environment = std::setlocale(LC_MONETARY, nullptr);
    locale_t comma = newlocale(LC_NUMERIC_MASK, environment, locale_t(0));
    bool has_comma = comma && QByteArray(nl_langinfo_l(RADIXCHAR, comma)) == ",";
    if (comma) freelocale(comma);
    if (!has_comma)
        QFAIL(qPrintable(QStringLiteral("the environment's locale (%1) is not a comma locale; run under "
                                        "LC_ALL=pt_BR.UTF-8, made with localedef -i pt_BR -f UTF-8 pt_BR.UTF-8")
                             .arg(QString::fromLocal8Bit(environment))));
}

void TestCommaLocale::numbers_keep_the_full_stop() {
    QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
    char text[16];
    std::snprintf(text, sizeof text, "%g", 1.5);
    QCOMPARE(QByteArray(text), QByteArray("1.5"));

    ScratchDir dir;
    std::string path = dir.write("rc.net", "Filtro RC\nI1 0 1 1 DEGRAU\nR1 1 0 1\nC1 1 0 1e-6\n");
    Shell shell;
    script_netlist_dialog(shell, path);
    qsizetype first = shell.form1().log_lines().size();
    PauseAnswer answer(shell, [](TForm2& form2, TForm3& form3) {
        form2.Ezero->setText(QStringLiteral("1.5e-12"));  // the edit boxes read a full stop too
        press_aplicar(form2, form3);
    });
    shell.form1().Abrir1Click();
    QVERIFY(answer.answered());
    QCOMPARE(shell.form2().zero_threshold, 1.5e-12);
    QStringList lines = log_since(shell, first);
    QVERIFY2(lines.contains(QStringLiteral("C1 1 0 1e-06 () 0")), qPrintable(lines.join('\n')));
    QCOMPARE(lines.last(), QString::fromUtf8("Análise terminada com sucesso."));
    std::string numerator = read_file(dir.file("rc.n1"));
    QVERIFY(!numerator.empty());
    QVERIFY2(numerator.find(',') == std::string::npos, numerator.c_str());
    QVERIFY(numerator.find('.') != std::string::npos);
}

QUORVAT_SHELL_TEST_MAIN(TestCommaLocale)
#include "tst_comma_locale.moc"
