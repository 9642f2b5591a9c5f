// A build without the PostgreSQL client library (the Windows build for now): server mode says
// that it is not available.
#include "store/EngineConnection.h"

std::unique_ptr<EngineConnection> openServerConnection(const QString&, QString& text,
                                                       const QString&, bool* needsPassword) {
    if (needsPassword)
        *needsPassword = false;
    text = QStringLiteral("server mode is not available in this build");
    return nullptr;
}

bool serverModeAvailable() {
    return false;
}
