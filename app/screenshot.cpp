// Saves a picture of the main window after one read of the transducer, for machines without
// a display and for the documentation: tervex-screenshot OUT.png [page [sub-page]]
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTextStream>
#include <QThread>

#include "app/inifile.h"
#include "app/tform1.h"
#include "link/qtserialport.h"
#include "link/timer.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: tervex-screenshot OUT.png [page [sub-page]]\n";
        return 2;
    }
    SystemClock clock;
    auto* port = new QtSerialPort([](int n) { return IniFile().portOverride(n); });
    TForm1 form(port, &clock);
    form.show();
    if (argc > 2) {
        form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))
            ->setCurrentIndex(QString::fromLocal8Bit(argv[2]).toInt());
    }
    if (argc > 3) {
        const int sub = QString::fromLocal8Bit(argv[3]).toInt();
        for (const char* name : {"PageControl_Tervex", "PageControlSetAllParam", "PageControl3"}) {
            if (auto* tabs = form.findChild<QTabWidget*>(QString::fromLatin1(name));
                tabs && tabs->isVisible())
                tabs->setCurrentIndex(sub);
        }
    }
    auto* start = form.findChild<QPushButton*>(QStringLiteral("BitBtnStart"));
    if (start && start->isVisible())
        start->click();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 4000 && form.engine().awaitingReply()) {
        app.processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    app.processEvents();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        QTextStream(stderr) << "cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
