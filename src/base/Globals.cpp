#include "base/Globals.h"

#include "AppConfig.h"

QString gstrAppTitle;
int glngDataKind = 0;
bool gblnMasterFromData = false;

QString appTitle() {
    return QStringLiteral(TOVAKI_TITLE);
}
int appVersionMajor() {
    return TOVAKI_VERSION_MAJOR;
}
int appVersionMinor() {
    return TOVAKI_VERSION_MINOR;
}
int appVersionRevision() {
    return TOVAKI_VERSION_PATCH;
}
QString appVersionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(appVersionMajor())
        .arg(appVersionMinor())
        .arg(appVersionRevision());
}
QString appHomepage() {
    return QStringLiteral(TOVAKI_HOMEPAGE);
}

QString gAddBackSlash(const QString& path) {
    if (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\')))
        return path;
    return path + QLatin1Char('/');
}
