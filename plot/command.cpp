#include "plot/command.h"

#include <exception>
#include <new>

#include <QApplication>
#include <QMessageBox>

#include "engine/fp_fault.h"

namespace quorvat {

namespace {
void message_box(const QString& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quorvat MNA"), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

ErrorDisplay& error_display() {
    static ErrorDisplay display = message_box;
    return display;
}
}  // namespace

void set_error_display(ErrorDisplay display) { error_display() = display ? std::move(display) : message_box; }

void show_error(const QString& message) {
    FpFlagsGuard keep_flags;
    error_display()(message);
}

bool run_command(const std::function<void()>& work) {
    fp_clear();
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
        fp_clear();
        show_error(QStringLiteral("Memória insuficiente."));
    } catch (const std::exception& error) {
        fp_clear();
        show_error(QString::fromUtf8(error.what()));
    } catch (...) {
        fp_clear();
        show_error(QStringLiteral("Erro desconhecido."));
    }
    return false;
}

}  // namespace quorvat
