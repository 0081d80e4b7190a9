// quorvat-mna, the desktop program: symbolic analysis of linear circuits and the plot of
// their frequency responses. The command line is ignored and the exit status is always 0.
#include <QApplication>

#include "ui/shell.h"

int main(int, char** argv) {
    // Only the program's name reaches Qt: no argument changes what the program does.
    static int argc = 1;
    static char* args[] = {argv[0], nullptr};
    QApplication app(argc, args);
    return quorvat::run_program(app);
}
