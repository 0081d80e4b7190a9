// The QGuiApplication that a picture needs (fonts, painting on a QImage), made for the
// picture when the command-line run has none.
#pragma once

#include <clocale>
#include <cstdio>
#include <memory>

#include <QGuiApplication>
#include <QString>

namespace quorvat::cli {

// The picture needs a QGuiApplication. A command-line run has none: one is made for the
// picture, on the offscreen platform unless the environment names another, and ends
// with it.
class GuiApplicationScope {
public:
    GuiApplicationScope() {
        if (QCoreApplication::instance()) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's notes about the headless environment (no runtime folder, no display) are not
        // this tool's messages; its errors still go to standard error.
        installed_ = true;
        previous_handler_ = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
        });
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
        // The application object takes the locale of the environment; numbers stay in "C".
        std::setlocale(LC_NUMERIC, "C");
    }
    ~GuiApplicationScope() {
        app_.reset();
        if (installed_) qInstallMessageHandler(previous_handler_);
    }
    GuiApplicationScope(const GuiApplicationScope&) = delete;
    GuiApplicationScope& operator=(const GuiApplicationScope&) = delete;
    bool ready() const { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

private:
    int argc_ = 1;
    char name_[12] = "quorvat-cli";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
    QtMessageHandler previous_handler_ = nullptr;
    bool installed_ = false;
};

}  // namespace quorvat::cli
