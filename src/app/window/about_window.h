// The About window: the program's name, its version, what it does, and a button that closes it.
#pragma once

#include <QDialog>

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget *parent = nullptr);
};
