#pragma once
// The about window: what the program is, who made it, the system it runs on and the time it was
// first opened.
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

// What the about window says about the running system.
struct SystemVersion {
    QString name;      // the kernel's name ("Linux")
    int major = 0;
    int minor = 0;
    int build = 0;
    QString extra;     // the kernel's version text, in place of a service pack
    QString computer;  // the host name
};

// Asks the running system (uname).
SystemVersion QuerySystemVersion();

// The system line: name, " (TM)   v.m ", major, ".", minor, " Build=", build, "  ", extra.
QString SystemLine(const SystemVersion& v);

class TAboutF : public QDialog {
    Q_OBJECT
public:
    explicit TAboutF(const SystemVersion& version, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;
    QPushButton* bbExit;
};
