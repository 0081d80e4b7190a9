// A file-open dialog behind a small wrapper, so that tests can answer it without a person.
// Shared by the netlist dialog of the main window and the plotter's Adicionar.
#pragma once

#include <memory>
#include <string>

class QFileDialog;
class QWidget;

namespace quorvat {

class OpenDialog {
public:
    virtual ~OpenDialog() = default;
    /// Runs the dialog. On confirmation stores the chosen path in file_name and returns true.
    virtual bool execute() = 0;

    std::string file_name;          // proposed before execute(), chosen after it
    std::string filter;             // "description|pattern|description|pattern..."
    std::string default_extension;  // without the dot, e.g. "net"
};

/// The real dialog, a QFileDialog that starts at file_name.
class QtOpenDialog : public OpenDialog {
public:
    explicit QtOpenDialog(QWidget* parent) : parent_(parent) {}
    bool execute() override;
    /// Sets up dialog with the filter, extension and proposed file, at a size where the
    /// columns of name, size, type and date read in full.
    void prepare(QFileDialog& dialog) const;

private:
    QWidget* parent_;
};

/// The save dialog: a QFileDialog that asks for a file to write, proposing file_name and
/// confirming before it replaces one.
class QtSaveDialog : public OpenDialog {
public:
    explicit QtSaveDialog(QWidget* parent) : parent_(parent) {}
    bool execute() override;

private:
    QWidget* parent_;
};

/// A dialog that answers with a preset name (or a cancel), for tests and scripts.
class ScriptedOpenDialog : public OpenDialog {
public:
    bool execute() override;
    std::string answer;      // the path "chosen"
    bool cancel = false;
    int executions = 0;
};

/// The filter of the design ("netlists (*.net)|*.net") as a Qt name filter list.
std::string to_qt_filter(const std::string& filter);

}  // namespace quorvat
