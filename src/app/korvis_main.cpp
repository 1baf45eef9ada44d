// korvis: the operator's window for building route groups and writing them into cartridges.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "messages/show_mes.h"
#include "platform/posix_serial_port.h"
#include "shell/mes_dialog.h"
#include "shell/prog_form.h"
#include "sim/programmer_source.h"
#include "sim/simulator.h"

namespace {

const char* const kTitle = "Korvis v1.7";

void PrintHelp(FILE* out) {
    std::fprintf(out,
                 "korvis %s - builds route groups for the informers and writes them into cartridges\n\n"
                 "Usage: korvis [OPTIONS] [GROUP.mrg]\n\n"
                 "  GROUP.mrg         put this group file into the group list and select it\n"
                 "  --simulate N      serve N simulated programmers (each with a blank 2 MB cartridge)\n"
                 "                    instead of the USB programmers of this machine\n"
                 "  --help            this text\n"
                 "  --version         the program's version\n\n"
                 "Settings live in the files of the organisation \"Informer Timora\" (QSettings);\n"
                 "KORVIS_CONFIG_HOME=DIR keeps them in DIR instead. KORVIS_SIM=DIR works with the\n"
                 "simulated programmers that `lmk sim --dir DIR` serves.\n",
                 KORVIS_VERSION);
}

struct Options {
    std::string group;
    int simulate = 0;
};

// 0 to go on, otherwise the exit status + 1.
int ParseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            PrintHelp(stdout);
            return 1;
        }
        if (!std::strcmp(a, "--version")) {
            std::printf("korvis %s\n", KORVIS_VERSION);
            return 1;
        }
        if (!std::strcmp(a, "--simulate")) {
            char* end = nullptr;
            const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : -1;
            if (n < 1 || n > 16 || !end || *end) {
                std::fprintf(stderr, "korvis: --simulate takes a number of programmers from 1 to 16\n");
                return 3;
            }
            o.simulate = static_cast<int>(n);
            ++i;
            continue;
        }
        if (a[0] == '-' && std::strcmp(a, "-") != 0) {
            // Qt's own options (-platform, -style...) are left to QApplication.
            if (!std::strcmp(a, "-platform") || !std::strcmp(a, "-style") || !std::strcmp(a, "-display")) ++i;
            continue;
        }
        if (!o.group.empty()) {
            std::fprintf(stderr, "korvis: one group file at most (see korvis --help)\n");
            return 3;
        }
        o.group = a;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int r = ParseArguments(argc, argv, options)) return r - 1;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvis"));
    QApplication::setApplicationDisplayName(QString::fromUtf8(kTitle));
    QApplication::setApplicationVersion(QStringLiteral(KORVIS_VERSION));

    QtMesPresenter presenter;
    SetMesPresenter(&presenter);
    int status = 1;
    try {
        std::unique_ptr<DeviceSource> source;
        if (options.simulate > 0) {
            auto simulator = std::make_unique<sim::Simulator>();
            for (int i = 0; i < options.simulate; ++i)
                if (sim::SimProgrammer* p = simulator->add()) p->insert(44);
            source = std::move(simulator);
        } else {
            source = MakeProgrammerSource();
        }
        TProgF::Environment env;
        env.source = source.get();
        env.openPort = PosixSerialPortFactory();
        {
            TProgF window(env);
            if (!options.group.empty()) {
                const QFileInfo group(QString::fromLocal8Bit(options.group.c_str()));
                if (group.isFile())
                    window.AddGroup(QDir::cleanPath(group.absoluteFilePath()));
                else
                    ShowMes(1026, MesArg::Text(options.group));
            }
            window.show();
            status = QApplication::exec();
        }
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kTitle), QString::fromLocal8Bit(e.what()));
        status = 1;
    }
    SetMesPresenter(nullptr);
    return status;
}
