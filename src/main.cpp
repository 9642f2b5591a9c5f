#include "app/Startup.h"
#include "app/WidgetServices.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    gPrepareApplication(app, QString());
    installWidgetServices();
    if (!Main()) {
        int code = 0;
        desktopEndRequested(code);
        return code;
    }
    int code = 0;
    // Ended during start-up after the menu was shown (no loop was running to leave).
    if (desktopEndRequested(code))
        return code;
    return app.exec();
}
