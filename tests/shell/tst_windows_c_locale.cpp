// The windows as a Portuguese-speaking user meets them, run under the C locale: Qt's own
// texts translated, the menus and buttons reached from the keyboard, open dialogs wide
// enough for their columns, no false selection in LBsel, and Form4 at its design size.
#include <QAbstractItemModel>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QDir>
#include <QtTest>

#include "plot/quorvat4.h"
#include "shell_testing.h"
#include "ui/quorvat6.h"

using namespace quorvat;

class TestWindowsCLocale : public QObject {
    Q_OBJECT
private slots:
    void toolkit_texts_are_portuguese();
    void open_dialog_columns_read_in_full();
    void menus_and_buttons_answer_the_keyboard();
    void current_variable_is_not_drawn_selected();
    void plot_file_window_keeps_its_size();
};

void TestWindowsCLocale::toolkit_texts_are_portuguese() {
    QCOMPARE(QString::fromLatin1(setlocale(LC_MESSAGES, nullptr)), QStringLiteral("C"));
    QCOMPARE(QLocale().name(), QStringLiteral("pt_BR"));
    QFileDialog dialog;
    QtOpenDialog(nullptr).prepare(dialog);
    const struct { const char* label; const char* text; } labels[] = {
        {"lookInLabel", "Procurar em:"}, {"fileNameLabel", "&Nome do arquivo:"}, {"fileTypeLabel", "Arquivos do tipo:"}};
    for (const auto& expected : labels) {
        auto* label = dialog.findChild<QLabel*>(QLatin1String(expected.label));
        QVERIFY2(label, expected.label);
        QCOMPARE(label->text(), QString::fromUtf8(expected.text));
    }
    QVERIFY(QCoreApplication::translate("QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.")
                .contains(QString::fromUtf8("Arquivo não encontrado.")));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancelar"));
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (QAction* action : menu->actions()) items << action->text().section(QLatin1Char('\t'), 0, 0);
    QVERIFY2(items.contains(QStringLiteral("&Copiar")) && items.contains(QStringLiteral("Selecionar tudo")),
             qPrintable(items.join(QLatin1Char('|'))));
}

void TestWindowsCLocale::open_dialog_columns_read_in_full() {
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("filtro_passa_faixa_de_ordem_alta.net")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(394, '*'));
    file.close();
    QtOpenDialog opener(nullptr);
    opener.file_name = file.fileName().toStdString();
    opener.filter = "netlists (*.net)|*.net";
    QFileDialog dialog;
    opener.prepare(dialog);
    dialog.show();
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    QVERIFY(view);
    QAbstractItemModel* model = view->model();
    QTRY_COMPARE(model->rowCount(view->rootIndex()), 1);
    const QFontMetrics metrics = view->fontMetrics();
    int total = 0;
    for (int column = 0; column < 4; ++column) {
        const QString shown = model->index(0, column, view->rootIndex()).data().toString();
        // The size, the type and the date in full; the name column keeps Qt's width.
        if (column > 0) QTRY_VERIFY2(view->header()->sectionSize(column) > metrics.horizontalAdvance(shown), qPrintable(shown));
        total += view->header()->sectionSize(column);
    }
    QVERIFY(model->index(0, 3, view->rootIndex()).data().toString().contains(QLatin1Char('/')));  // a Brazilian date
    QVERIFY(view->viewport()->width() >= total);
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Tipo"));

    // A folder's kind in Portuguese; after a visit to "/", the folder typed back has its
    // columns fitted again, although it is not read again.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
    QTRY_COMPARE(model->rowCount(view->rootIndex()), 2);
    QStringList kinds;
    for (int row = 0; row < 2; ++row) kinds << model->index(row, 2, view->rootIndex()).data().toString();
    QVERIFY2(kinds.contains(QStringLiteral("Pasta")), qPrintable(kinds.join(QLatin1Char('|'))));
    dialog.setDirectory(QStringLiteral("/"));
    QTRY_VERIFY(model->rowCount(view->rootIndex()) > 2);
    QTest::qWait(50);
    dialog.setDirectory(folder.path());
    QTRY_COMPARE(model->rowCount(view->rootIndex()), 2);
    for (int row = 0; row < 2; ++row) {
        const QString shown = model->index(row, 2, view->rootIndex()).data().toString();
        QTRY_VERIFY2(view->header()->sectionSize(2) > metrics.horizontalAdvance(shown), qPrintable(shown));
    }
}

void TestWindowsCLocale::menus_and_buttons_answer_the_keyboard() {
    Shell shell;
    TForm1& form1 = shell.form1();
    const struct { QString text; int letter; } mnemonics[] = {
        {form1.Arquivo1->title(), Qt::Key_A}, {form1.Abrir1->text(), Qt::Key_A}, {form1.Sair1->text(), Qt::Key_S},
        {form1.Opes1->title(), Qt::Key_O}, {form1.Anlise1->text(), Qt::Key_V}, {form1.Grfico1->text(), Qt::Key_G},
        {form1.Sobre1->text(), Qt::Key_S}, {shell.form2().Button1->text(), Qt::Key_A},
        {shell.form3().Button1->text(), Qt::Key_L}, {shell.form4().Button1->text(), Qt::Key_A},
        {shell.form4().Button2->text(), Qt::Key_P}, {shell.form6().Button1->text(), Qt::Key_F},
        {form1.Frmulas1->text(), Qt::Key_F}, {shell.form4().Button3->text(), Qt::Key_T}};
    for (const auto& expected : mnemonics)
        QVERIFY2(QKeySequence::mnemonic(expected.text) == QKeySequence(Qt::ALT | expected.letter), qPrintable(expected.text));

    // Alt+A, Alt+O and F10 open the menus and type nothing into the log.
    QVERIFY(QTest::qWaitForWindowActive(&form1));
    form1.Memo1->setFocus();
    const QStringList log = form1.log_lines();
    const struct { Qt::Key key; Qt::KeyboardModifiers modifiers; QMenu* menu; } opening[] = {
        {Qt::Key_A, Qt::AltModifier, form1.Arquivo1}, {Qt::Key_O, Qt::AltModifier, form1.Opes1},
        {Qt::Key_F10, Qt::NoModifier, form1.Arquivo1}};
    for (const auto& press : opening) {
        QTest::keyClick(form1.Memo1, press.key, press.modifiers);
        QTRY_COMPARE(QApplication::activePopupWidget(), press.menu);
        press.menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
    QCOMPARE(form1.log_lines(), log);

    // A button's mnemonic presses it: Alt+F closes the about box.
    form1.Sobre1Click();
    QVERIFY(QTest::qWaitForWindowActive(&shell.form6()));
    QTest::keyClick(&shell.form6(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(!shell.form6().isVisible());
}

void TestWindowsCLocale::current_variable_is_not_drawn_selected() {
    Shell shell;
    TForm3& form3 = shell.form3();
    form3.fill({"1", "2", "3"});
    show_window(form3);
    QVERIFY(QTest::qWaitForWindowActive(&form3));
    form3.LBsel->setFocus();
    QListWidget& list = *form3.LBsel;
    QTRY_COMPARE(list.currentRow(), 0);
    QVERIFY(list.selectedItems().isEmpty());
    // Counts the pixels of the first item tinted like the selection: of its hue, in any
    // shade (the style's focus frame is a pale fill of that colour).
    auto highlighted = [&] {
        const QImage image = list.viewport()->grab().toImage();
        const QRect item = list.visualItemRect(list.item(0));
        const int hue = list.palette().color(QPalette::Highlight).hsvHue();
        int count = 0;
        for (int y = item.top(); y <= item.bottom(); ++y)
            for (int x = item.left(); x <= item.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                count += pixel.hsvSaturation() > 12 && std::abs(pixel.hsvHue() - hue) < 20;
            }
        return count;
    };
    QCOMPARE(highlighted(), 0);
    list.item(0)->setSelected(true);
    QVERIFY(highlighted() > list.visualItemRect(list.item(0)).width());
}

void TestWindowsCLocale::plot_file_window_keeps_its_size() {
    Shell shell;
    show_window(shell.form4());
    QVERIFY(QTest::qWaitForWindowExposed(&shell.form4()));
    QCOMPARE(shell.form4().size(), client_size(720, 445));
}

QUORVAT_SHELL_TEST_MAIN(TestWindowsCLocale)
#include "tst_windows_c_locale.moc"
