// Form1, "Quorvat MNA com eliminação": the main window with the message log Memo1, the
// main menu and the netlist open dialog.
#pragma once

#include <memory>

#include <QMainWindow>
#include <QStringList>

#include "plot/open_dialog.h"
#include "ui/deck_options.h"
#include "ui/log_sink.h"
#include "ui/log_view.h"

class QAction;
class QMenu;

namespace quorvat {
class Shell;
}

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    /// shell gives the other windows and the engine that the commands reach.
    explicit TForm1(quorvat::Shell& shell);
    ~TForm1() override;

    quorvat::LogView* Memo1;
    QMenu* Arquivo1;
    QAction* Abrir1;
    QAction* Sair1;
    QMenu* Opes1;
    QAction* Anlise1;  // "Variáveis": disabled until a run reaches the options pause
    QAction* Grfico1;
    QAction* Frmulas1;  // "Fórmulas": enabled after a run that ended with success
    QAction* Sobre1;   // a command on the menu bar itself

    /// The netlist dialog; the run reads the chosen path from its file name.
    quorvat::OpenDialog& OpenDialog1() { return *open_dialog_; }
    /// Replaces the dialog (tests), keeping its proposed file name.
    void set_open_dialog(std::unique_ptr<quorvat::OpenDialog> dialog);

    /// The import options of SPICE decks, asked when Abrir chooses one.
    quorvat::DeckOptionsQuestion& DeckOptions1() { return *deck_question_; }
    /// Replaces the question (tests), keeping its answers.
    void set_deck_question(std::unique_ptr<quorvat::DeckOptionsQuestion> question);

    /// The sink of log_message: appends to Memo1.
    quorvat::MemoLog& log() { return log_; }
    /// The lines of Memo1, pending log lines included.
    QStringList log_lines() const { return Memo1->lines(); }

public slots:
    /// Runs the open dialog; on confirmation runs the analysis to its end.
    void Abrir1Click();
    /// Ends the process at once with status 0.
    void Sair1Click();
    void Anlise1Click();
    void Grfico1Click();
    void Frmulas1Click();
    void Sobre1Click();

protected:
    /// Closing the main window ends the program, also while a run waits at its pause.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    quorvat::Shell& shell_;
    quorvat::MemoLog log_;
    std::unique_ptr<quorvat::OpenDialog> open_dialog_;
    std::unique_ptr<quorvat::DeckOptionsQuestion> deck_question_;

    /// Imports the chosen file when it is a SPICE deck, for the run to read; false (the
    /// refusals logged) when there is nothing to analyse.
    bool import_if_deck(const std::string& path);
};
