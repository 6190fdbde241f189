#include "frmTarnwick.h"

#include <QApplication>

#include <csignal>

#include <sys/resource.h>

namespace {

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

} // namespace

int main(int argc, char* argv[])
{
    raiseOpenFileLimit();
    // A peer or a reader of standard output that goes away is an error to
    // handle where the write fails, never a reason to end the program.
    std::signal(SIGPIPE, SIG_IGN);
    useOffscreenWithoutDisplay();
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Tarnwick"));
    frmTarnwick window(QCoreApplication::applicationDirPath());
    window.show();
    return application.exec();
}
