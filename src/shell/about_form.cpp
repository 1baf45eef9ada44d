#include "shell/about_form.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <QDateTime>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>

#include "shell/shell_icons.h"

SystemVersion QuerySystemVersion() {
    SystemVersion v;
    utsname u{};
    if (uname(&u) == 0) {
        v.name = QString::fromLocal8Bit(u.sysname);
        v.extra = QString::fromLocal8Bit(u.version);
        // "6.1.0-18-amd64": major, minor and the third number as the build.
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?")).match(QString::fromLocal8Bit(u.release));
        if (m.hasMatch()) {
            v.major = m.captured(1).toInt();
            v.minor = m.captured(2).toInt();
            v.build = m.captured(3).toInt();
        }
    } else {
        v.name = QStringLiteral("Unknown OS");
        v.major = 3;
        v.minor = 1;
    }
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) v.computer = QString::fromLocal8Bit(host);
    return v;
}

QString SystemLine(const SystemVersion& v) {
    return v.name + QStringLiteral(" (TM)   v.m ") + QString::number(v.major) + QStringLiteral(".") +
           QString::number(v.minor) + QStringLiteral(" Build=") + QString::number(v.build) + QStringLiteral("  ") + v.extra;
}

TAboutF::TAboutF(const SystemVersion& version, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Информация о программе"));
    setFixedSize(698, 438);
    setModal(true);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setGeometry(0, 0, 698, 438);
    Memo1->viewport()->setAutoFillBackground(false);
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));

    const QStringList lines = {
        QStringLiteral("Korvis v1.7 (сборка от %1)").arg(QStringLiteral(__DATE__)),
        QString(),
        QStringLiteral("Программа записывает группу маршрутов для информаторов"),
        QStringLiteral("«Информатор» с картриджами ЛМК (программаторы Vedmar) через USB устройства."),
        QStringLiteral("Позволяет заносить информацию о маршрутах общественного транспорта,"),
        QStringLiteral("рекламную и другую информацию."),
        QString(),
        QStringLiteral("Изготовитель: Korvis, программа для информаторов"),
        QStringLiteral("общественного транспорта, распространяется с исходными текстами"),
        QString(),
        QStringLiteral("Автор: команда разработчиков Korvis"),
        QStringLiteral("Замечания и предложения: через трекер задач проекта"),
        QString(),
        QStringLiteral("УСПЕШНОЙ ВАМ РАБОТЫ!!"),
        QString(),
        SystemLine(version),
        QStringLiteral("Вы работаете на компьютере ") + version.computer,
        QStringLiteral("Сейчас: ") + QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat),
    };
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    // Centre every line, as the memo of the form did.
    QTextCursor c(Memo1->document());
    c.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.mergeBlockFormat(centred);
    c.clearSelection();

    bbExit = new QPushButton(this);
    bbExit->setObjectName(QStringLiteral("bbExit"));
    bbExit->setIcon(ToolIcon(ToolGlyph::Exit));
    bbExit->setIconSize(QSize(28, 28));
    bbExit->setGeometry(698 - 40 - 8, 438 - 40 - 8, 40, 40);
    bbExit->setCursor(Qt::PointingHandCursor);
    bbExit->setToolTip(QStringLiteral("Щелкните мышью по кнопке для выхода из формы"));
    bbExit->setDefault(true);
    connect(bbExit, &QPushButton::clicked, this, &QDialog::accept);
    bbExit->setFocus();
}
