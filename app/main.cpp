#include <QApplication>
#include <QLoggingCategory>

#include "app/inifile.h"
#include "app/qttranslations.h"
#include "app/tform1.h"
#include "link/eventloop.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "widgets/messagebox.h"

int main(int argc, char** argv) {
    PreferUnixEventDispatcher();
    // With Qt's own event loop a desktop's native (GTK) file dialog would not be served; Qt's
    // dialog works everywhere and reads in Russian with the translations below.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    InstallQtTranslations(app);
    // Raw frames are for diagnosis; QT_LOGGING_RULES="tervex.frames.debug=true" shows them.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("tervex.*.debug=false"));
    SystemClock clock;
    // COM n maps to a device through the configuration file's port map, read when the port
    // opens so that an edited map takes effect on the next open.
    auto* port = new QtSerialPort([](int n) { return IniFile().portOverride(n); });
    TForm1 form(port, &clock);
    form.show();
    return app.exec();
}
