#include "ledger/Captions.h"

#include "app/ErrorLog.h"
#include "app/Globals.h"
#include "store/Database.h"

namespace {

bool validKind(int kind) {
    return kind == 1 || kind == 2;
}

QString captionTable(int kind) {
    return QStringLiteral("T_DATA") + QString::number(kind) + QStringLiteral("_CAPTION");
}

} // namespace

bool gGetColumnCaption(int number, int kind, QString& defaultText, QString& caption) {
    const QString proc = QStringLiteral("gGetColumnCaption");
    if (!validKind(kind)) {
        gProcError(proc, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    ResultSet rs(gdbData());
    const QString sql = QStringLiteral(" SELECT strDefault ,strCaption From ") +
                        captionTable(kind) + QStringLiteral(" Where lngCaptionNo=?");
    if (!rs.openRecordSet(sql, {number}, proc))
        return false;
    if (rs.recordCount() != 1)
        return false;
    defaultText = rs.text(0);
    caption = rs.text(1);
    return true;
}

bool gSetColumnCaption(int number, const QString& defaultText, const QString& caption) {
    return gSetColumnCaption(number, defaultText, caption, glngDataKind);
}

bool gSetColumnCaption(int number, const QString& defaultText, const QString& caption, int kind) {
    const QString proc = QStringLiteral("gSetColumnCaption");
    if (!validKind(kind)) {
        gProcError(proc, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    const QString sql = QStringLiteral(" UPDATE ") + captionTable(kind) +
                        QStringLiteral(" SET strDefault=?,strCaption=? Where lngCaptionNo=?");
    return gdbData().executeSQL(sql, {defaultText, caption, number}, proc);
}
