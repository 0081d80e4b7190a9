// Form4, "Resposta em frequência - Arquivos": the list of polynomial files to plot and
// the plot settings. It owns the plotter's state, which Form5 paints and its keys change.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "engine/log.h"
#include "plot/open_dialog.h"
#include "plot/plot_files.h"
#include "plot/plot_windows.h"
#include "plot/response.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TFormTempo;

class TForm4 : public QWidget, public quorvat::PlotSource {
    Q_OBJECT
public:
    /// log is the main window's log, where Plotar reports.
    explicit TForm4(quorvat::LogSink& log, QWidget* parent = nullptr);
    ~TForm4() override;

    /// The plot window that Plotar shows; set once, right after Form5 is created.
    void attach_plot_window(quorvat::PlotDisplay* plot_window);

    /// The open dialog of Adicionar; the analysis run sets its proposed file name.
    quorvat::OpenDialog& OpenDialog1() { return *open_dialog_; }
    /// Replaces the dialog (tests), keeping its proposed file name.
    void set_open_dialog(std::unique_ptr<quorvat::OpenDialog> dialog);

    /// Adicionar: asks for a numerator file and appends it and its denominator to Memo1.
    void Button1Click();
    /// Plotar: hides Form5, reads the settings and the files, shows Form5 on success.
    void Button2Click();
    /// Resposta no tempo: x(t) of the listed pairs in the time window.
    void Button3Click();
    /// The time window of Button3.
    TFormTempo& time_window() { return *time_window_; }

    /// The lines of Memo1 as the file list sees them (a last empty line does not count).
    std::vector<std::string> list_lines() const;
    /// The texts of the edit boxes.
    quorvat::PlotTexts texts() const;
    /// The check boxes, read at each paint and each key.
    quorvat::PlotChecks checks() const override;
    void uncheck_log() override;

    /// The settings, curves, flags and responses of the plot.
    quorvat::PlotterState& plotter() override { return *plotter_; }

    QPlainTextEdit* Memo1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;  // "Resposta no tempo"
    QLineEdit* Ewmin;
    QLineEdit* Ewmax;
    QLineEdit* Egmin;
    QLineEdit* Egmax;
    QLineEdit* Efmin;
    QLineEdit* Efmax;
    QLineEdit* Eamin;
    QLineEdit* Eamax;
    QLineEdit* Esegmentos;
    QCheckBox* CBhz;
    QCheckBox* CBlog;
    QCheckBox* CBgrade;
    QCheckBox* CBfase;
    QCheckBox* CBtg;
    QLabel* Label10;

private:
    void append_line(const std::string& line);

    quorvat::LogSink& log_;
    std::unique_ptr<quorvat::OpenDialog> open_dialog_;
    std::unique_ptr<quorvat::PlotterState> plotter_;
    quorvat::PlotDisplay* plot_window_ = nullptr;
    std::unique_ptr<TFormTempo> time_window_;
};
