// List file import speed: files of 100,000 and 1,000,000 addresses imported
// into the shown main window over the real event pump, with window events
// handled before every line. Prints the time, how often the list repainted
// meanwhile, and the peak memory of the process. For comparison it also
// measures what one idle pass of the event pump costs and what a line costs
// when the view is told of every line at once.
#include "app/linux_platform.h"
#include "app/main_window.h"
#include "sitelist/list_file_import.h"
#include "sitelist/site_list_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

long peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;  // kilobytes on Linux
}

QString writeList(const QTemporaryDir& dir, int lines) {
    const QString path = dir.filePath(QStringLiteral("list-%1.txt").arg(lines));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) std::exit(1);
    QByteArray text;
    text.reserve(lines * 44);
    for (int i = 0; i < lines; ++i)
        text += "http://www.example-" + QByteArray::number(i).rightJustified(7, '0') +
                ".com/index.html\r\n";
    file.write(text);
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    quendrel::LinuxPlatform linux;
    quendrel::MainWindow window(linux.platform);
    quendrel::Form1& form = window.form();
    form.show();
    app.processEvents();
    PaintCounter counter;
    form.ListView1->viewport()->installEventFilter(&counter);
    quendrel::SiteList& list = window.siteList();

    QElapsedTimer timer;
    timer.start();
    const int idlePasses = 100000;
    for (int i = 0; i < idlePasses; ++i) linux.events.processEvents();
    std::printf("idle event pass: %.2f us\n", timer.nsecsElapsed() / 1e3 / idlePasses);

    // Every line shown at once: the tree view lays out all rows and repaints.
    const int shownOneByOne = 2000;
    timer.restart();
    for (int i = 0; i < shownOneByOne; ++i) {
        linux.events.processEvents();
        list.Append(QStringLiteral("http://www.example.com/%1").arg(i));
    }
    std::printf("line shown at once (first %d lines): %.0f us per line\n", shownOneByOne,
                timer.nsecsElapsed() / 1e3 / shownOneByOne);
    list.Clear();
    app.processEvents();

    QTemporaryDir dir;
    std::printf("peak memory before the imports: %ld MB\n", peakRssMb());
    struct Target { int lines; double seconds; };
    for (const Target target : {Target{100000, 2.0}, Target{1000000, 20.0}}) {
        const QString path = writeList(dir, target.lines);
        list.Clear();
        app.processEvents();
        counter.paints = 0;
        timer.restart();
        quendrel::FileToList(list, path, linux.dialogs, linux.events);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const int painted = counter.paints;
        app.processEvents();
        std::printf("import of %d lines: %.2f s (target <= %.0f s), %.2f us per line, "
                    "list repainted %d times, %d entries, view rows %d\n",
                    target.lines, seconds, target.seconds, seconds * 1e6 / target.lines, painted,
                    list.Count(), form.ListView1->model()->rowCount());
        QFile::remove(path);
    }
    std::printf("peak memory: %ld MB (target <= 400 MB)\n", peakRssMb());
    return 0;
}
