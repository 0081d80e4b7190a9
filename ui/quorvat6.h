// Form6, "Quorvat": the about box with the program's name, author, institution and version.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

class TForm6 : public QWidget {
    Q_OBJECT
public:
    TForm6();

    QLabel* Label2;       // program and author
    QLabel* Label3;       // institution
    QLabel* Label1;       // version, set at every activation
    QPushButton* Button1; // "Fechar"

public slots:
    /// Sets the version line; runs each time the window becomes active.
    void FormActivate();
    /// "Fechar": hides the window.
    void Button1Click();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
