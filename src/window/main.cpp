#include "SettingsLocation.h"
#include "TerminationSignals.h"
#include "Version.h"
#include "frmTarnwick.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <csignal>

#include <sys/resource.h>

namespace {

// The status of a command line that cannot be followed, as usual for
// command-line programs.
constexpr int kUsageError = 2;

// Every connected phone holds a descriptor; the usual soft limit of 1,024
// would turn phones away long before the machine runs short.
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Without a screen the window is drawn off screen, and the log is still
// shown on standard output.
void useOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

[[noreturn]] void refuseCommandLine(const QString& why)
{
    std::fprintf(stderr, "tarnwick: %s\nTry 'tarnwick --help' for more information.\n", qPrintable(why));
    std::exit(kUsageError);
}

// The settings file named with --settings, or "" when none is. --help and
// --version answer and end the program here, and so does a command line
// that cannot be followed. Qt's own options (-platform ...) are gone from
// the arguments by now.
QString settingsFileFromCommandLine(const QApplication& application)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Installs J2ME games on phones over the air: serves the game directory\n"
                       "to phones on the network.\n\n") +
        QString::fromStdString(settingsPlaces()) + QStringLiteral("\nMore in: man tarnwick"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settings(QStringLiteral("settings"),
                                      QStringLiteral("Read and write the settings in <file>."), QStringLiteral("file"));
    parser.addOption(settings);

    if (!parser.parse(application.arguments()))
        refuseCommandLine(parser.errorText());
    // A command line that parses leaves Qt's own handling nothing to refuse:
    // it answers --help, --help-all and --version.
    parser.process(application);
    if (!parser.positionalArguments().isEmpty())
        refuseCommandLine(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(settings) && parser.value(settings).isEmpty())
        refuseCommandLine(QStringLiteral("--settings needs a file name."));
    return parser.value(settings);
}

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFileLimit();
    // A peer or a reader of standard output that goes away is an error to
    // handle where the write fails, never a reason to end the program.
    std::signal(SIGPIPE, SIG_IGN);
    useOffscreenWithoutDisplay();
    QApplication application(argc, argv);
    // Before the server starts: a supervisor may stop it as soon as it serves.
    quitOnTerminationSignals();
    application.setApplicationName(QStringLiteral("Tarnwick"));
    application.setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));

    const std::filesystem::path settingsFile = settingsFilePath(
        {settingsFileFromCommandLine(application).toStdString(),
         QCoreApplication::applicationDirPath().toStdString(), TARNWICK_INSTALLED_BINDIR});
    // The folder is there before the first write of a setting; when it
    // cannot be made, that write says so in the log.
    std::string why;
    if (!makeSettingsFolder(settingsFile, why))
        std::fprintf(stderr, "tarnwick: cannot make the folder of %s: %s\n", settingsFile.c_str(), why.c_str());

    frmTarnwick window(QString::fromStdString(settingsFile.string()));
    window.show();
    return application.exec();
}
