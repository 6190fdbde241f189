// Writes the window's icon into a hicolor icon theme folder, one PNG per
// size: <folder>/<size>x<size>/apps/tarnwick.png.
//   tarnwick-render-icons <folder> <size>...
#include "WindowIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: tarnwick-render-icons <folder> <size>...\n", stderr);
        return 2;
    }
    const QIcon icon = makeWindowIcon();
    for (const QString& argument : arguments.mid(2)) {
        const int size = argument.toInt();
        const QPixmap pixmap = icon.pixmap(size, size);
        // Above its largest drawing the icon hands back a smaller picture
        // rather than a blurred one; a file of the wrong size under a size's
        // folder is worse than a failed build.
        if (size <= 0 || pixmap.size() != QSize(size, size)) {
            std::fprintf(stderr, "tarnwick-render-icons: the icon has no drawing of size %s\n", qPrintable(argument));
            return 1;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments[1]).arg(size);
        if (!QDir().mkpath(folder) || !pixmap.save(folder + QStringLiteral("/tarnwick.png"), "PNG")) {
            std::fprintf(stderr, "tarnwick-render-icons: cannot write %s/tarnwick.png\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
