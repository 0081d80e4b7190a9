#include "plot/quorvat4.h"

TForm4::TForm4(quorvat::LogSink& log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), open_dialog_(std::make_unique<quorvat::QtOpenDialog>(this)) {
    setWindowTitle(QStringLiteral("Resposta em frequência - Arquivos"));
    open_dialog_->filter = "Numeradores|*.n*|Denominadores|*.d";
}

TForm4::~TForm4() = default;

void TForm4::attach_plot_window(TForm5* form5) { form5_ = form5; }

void TForm4::set_open_dialog(std::unique_ptr<quorvat::OpenDialog> dialog) {
    dialog->file_name = open_dialog_->file_name;
    dialog->filter = open_dialog_->filter;
    dialog->default_extension = open_dialog_->default_extension;
    open_dialog_ = std::move(dialog);
}
