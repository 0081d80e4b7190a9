// Form4, "Resposta em frequência - Arquivos": the list of polynomial files to plot and
// the plot settings.
#pragma once

#include <memory>

#include <QWidget>

#include "engine/log.h"
#include "plot/open_dialog.h"

class TForm5;

class TForm4 : public QWidget {
    Q_OBJECT
public:
    /// log is the main window's log, where Plotar reports.
    explicit TForm4(quorvat::LogSink& log, QWidget* parent = nullptr);
    ~TForm4() override;

    /// The plot window that Plotar shows; set once, right after Form5 is created.
    void attach_plot_window(TForm5* form5);

    /// The open dialog of Adicionar; the analysis run sets its proposed file name.
    quorvat::OpenDialog& OpenDialog1() { return *open_dialog_; }
    /// Replaces the dialog (tests), keeping its proposed file name.
    void set_open_dialog(std::unique_ptr<quorvat::OpenDialog> dialog);

private:
    quorvat::LogSink& log_;
    std::unique_ptr<quorvat::OpenDialog> open_dialog_;
    TForm5* form5_ = nullptr;
};
