#include "app/Startup.h"
#include "base/WidgetServices.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    gPrepareApplication(app, QString());
    installWidgetServices();
    int code = 0;
    // A start-up that ended the program (second instance, fatal failure) had no loop to leave.
    if (Main() && !desktopEndRequested(code))
        code = app.exec();
    else
        desktopEndRequested(code);
    gReleaseInstanceLock();
    return code;
}
