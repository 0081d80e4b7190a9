// The main window's log at millions of lines: every line kept in order, the view at the
// end, and editing (typing, line breaks, deleting across chunks, copy and paste) right
// anywhere in it. The line store is checked against a plain vector of lines.
#include <random>
#include <string>
#include <vector>

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QtTest>

#include "engine/log.h"
#include "shell_testing.h"
#include "ui/line_store.h"
#include "ui/log_view.h"

using namespace quorvat;

namespace {

QString numbered(qsizetype i) { return QStringLiteral("Y[%1] linha número %2").arg(i % 25 + 1).arg(i); }

}  // namespace

class TestLogView : public QObject {
    Q_OBJECT
private slots:
    void store_matches_a_vector_of_lines();
    void millions_of_lines_in_order_and_editable();
    void alt_letters_and_control_keys_do_not_type();
};

void TestLogView::store_matches_a_vector_of_lines() {
    // Random appends and replacements, some across many chunks, against the obvious model.
    LineStore store;
    std::vector<std::string> model{""};
    std::mt19937 random(11);
    auto text = [&](int n) { return "l" + std::to_string(n) + std::string(static_cast<std::size_t>(n % 97), 'x'); };
    for (int step = 0; step < 3000; ++step) {
        const int what = static_cast<int>(random() % 10);
        if (what < 6) {
            int n = static_cast<int>(random() % 1000);
            for (int k = 0; k < n; ++k) {
                std::string line = text(step * 1000 + k);
                store.append(line);
                if (model.size() == 1 && model[0].empty()) model[0] = line;
                else model.push_back(line);
            }
        } else {
            const auto size = static_cast<std::ptrdiff_t>(model.size());
            std::ptrdiff_t first = static_cast<std::ptrdiff_t>(random() % static_cast<unsigned>(size));
            std::ptrdiff_t span = what == 9 ? static_cast<std::ptrdiff_t>(random() % 20000) : static_cast<std::ptrdiff_t>(random() % 3);
            std::ptrdiff_t last = std::min(size - 1, first + span);
            std::vector<std::string> lines(random() % 4 + 1, text(step));
            store.replace(first, last, lines);
            model.erase(model.begin() + first, model.begin() + last + 1);
            model.insert(model.begin() + first, lines.begin(), lines.end());
        }
    }
    QCOMPARE(store.size(), static_cast<std::ptrdiff_t>(model.size()));
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < model.size(); ++i) {
        if (store.line(static_cast<std::ptrdiff_t>(i)) != model[i])
            QFAIL(qPrintable(QStringLiteral("line %1 differs").arg(i)));
        bytes += model[i].size();
    }
    QCOMPARE(store.text_bytes(), bytes);
}

void TestLogView::millions_of_lines_in_order_and_editable() {
    Shell shell;
    TForm1& form1 = shell.form1();
    LogView& memo = *form1.Memo1;
    const qsizetype help = memo.line_count();
    const qsizetype count = 2'500'000;
    for (qsizetype i = 0; i < count; ++i)
        log_message(form1.log(), "Y[%d] linha número %td", static_cast<int>(i % 25 + 1), static_cast<std::ptrdiff_t>(i));
    form1.log().flush();
    QCOMPARE(memo.line_count(), help + count);
    for (qsizetype i = 0; i < count; ++i)
        if (memo.line(help + i) != numbered(i)) QFAIL(qPrintable(QStringLiteral("line %1 out of place").arg(i)));

    // A view that showed the end keeps showing it: the last line is on the screen.
    QScrollBar* bar = memo.verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(memo.first_visible_line() > help + count - 100);

    // Typing at the end, a line break, then at the very start.
    memo.setFocus();
    QTest::keyClick(&memo, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(&memo, QStringLiteral(" fim"));
    QTest::keyClick(&memo, Qt::Key_Return);
    QInputMethodEvent composed;  // accented letters come composed from the input method
    composed.setCommitString(QStringLiteral("ação"));
    QCoreApplication::sendEvent(&memo, &composed);
    QCOMPARE(memo.line(help + count - 1), numbered(count - 1) + QStringLiteral(" fim"));
    QCOMPARE(memo.line(help + count), QStringLiteral("ação"));
    QTest::keyClick(&memo, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(memo.first_visible_line(), 0);
    QTest::keyClicks(&memo, QStringLiteral(">"));
    QVERIFY(memo.line(0).startsWith(QStringLiteral(">Quorvat")));

    // A selection across chunks: from column 3 of one line to column 5 of a line 10000
    // lines further, deleted, joins the two ends and moves every later line up.
    const qsizetype from = help + 123'456, to = from + 10'000;
    memo.set_cursor_position({from, 3});
    memo.set_cursor_position({to, 5}, true);
    QCOMPARE(memo.selected_text().count(QLatin1Char('\n')), 10'000);
    memo.copy();
    QTest::keyClick(&memo, Qt::Key_Delete);
    QCOMPARE(memo.line(from), numbered(123'456).left(3) + numbered(133'456).mid(5));
    QCOMPARE(memo.line(from + 1), numbered(133'457));
    QCOMPARE(memo.line_count(), help + count + 1 - 10'000);

    // Pasting it back restores the lines; Backspace at a line's start joins it with the one above.
    memo.paste();
    QCOMPARE(memo.line_count(), help + count + 1);
    for (qsizetype i = 123'456; i <= 133'457; ++i) QCOMPARE(memo.line(help + i), numbered(i));
    memo.set_cursor_position({help + 2'000'000, 0});
    QTest::keyClick(&memo, Qt::Key_Backspace);
    QCOMPARE(memo.line(help + 1'999'999), numbered(1'999'999) + numbered(2'000'000));
    QCOMPARE(memo.cursor_position(), (TextPosition{help + 1'999'999, numbered(1'999'999).size()}));

    // The log goes on after the user's typing, in order.
    log_message(form1.log(), "depois");
    QCOMPARE(form1.log_lines().last(), QStringLiteral("depois"));
}

void TestLogView::alt_letters_and_control_keys_do_not_type() {
    Shell shell;
    LogView& memo = *shell.form1().Memo1;
    const QStringList before = memo.lines();
    memo.setFocus();
    memo.set_cursor_position({5, 0});
    QTest::keyClick(&memo, Qt::Key_X, Qt::AltModifier);
    QTest::keyClick(&memo, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(&memo, Qt::Key_Escape);
    QCOMPARE(memo.lines(), before);
    QTest::keyClick(&memo, 'X', Qt::ShiftModifier);
    QCOMPARE(memo.line(5), QStringLiteral("X") + before[5]);
}

QUORVAT_SHELL_TEST_MAIN(TestLogView)
#include "tst_log_view.moc"
