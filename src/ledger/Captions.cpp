#include "ledger/Captions.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "store/Database.h"

namespace {

bool captionTable(int kind, QString& table) {
    if (kind != 1 && kind != 2)
        return false;
    table = QStringLiteral("T_DATA") + QString::number(kind) + QStringLiteral("_CAPTION");
    return true;
}

} // namespace

const QList<int>& gColumnCaptionNumbers() {
    static const QList<int> numbers{0, 1, 2, 3, 4, 6, 7, 8, 9, 10};
    return numbers;
}

bool gGetColumnCaption(Database& db, int captionNo, int kind, QString& defaultText,
                       QString& caption) {
    const QString procName = QStringLiteral("gGetColumnCaption");
    QString table;
    if (!captionTable(kind, table)) {
        gProcError(procName, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT strDefault, strCaption FROM ") + table +
                              QStringLiteral(" WHERE lngCaptionNo = ?"),
                          {captionNo}, procName))
        return false;
    if (rs.recordCount() != 1)
        return false;
    defaultText = rs.text(0);
    caption = rs.text(1);
    return true;
}

bool gSetColumnCaption(Database& db, int captionNo, int kind, const QString& defaultText,
                       const QString& caption) {
    const QString procName = QStringLiteral("gSetColumnCaption");
    QString table;
    if (!captionTable(kind, table)) {
        gProcError(procName, QStringLiteral("kind=") + QString::number(kind));
        return false;
    }
    if (!db.executeSQL(QStringLiteral("UPDATE ") + table +
                           QStringLiteral(" SET strDefault = ?, strCaption = ?"
                                          " WHERE lngCaptionNo = ?"),
                       {defaultText, caption, captionNo}, procName))
        return false;
    // A missing row would silently lose the caption: report it.
    if (db.changes() != 1) {
        gProcError(procName, QStringLiteral("lngCaptionNo=") + QString::number(captionNo) +
                                 QStringLiteral(" rows=") + QString::number(db.changes()));
        return false;
    }
    return true;
}

QString gTrimHalfWidthSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

int gFirstEmptyCaption(QStringList& texts) {
    int firstEmpty = -1;
    for (int i = 0; i < texts.size(); ++i) {
        texts[i] = gTrimHalfWidthSpaces(texts.at(i));
        if (firstEmpty < 0 && texts.at(i).isEmpty())
            firstEmpty = i;
    }
    return firstEmpty;
}

bool gGetColumnCaption(int captionNo, int kind, QString& defaultText, QString& caption) {
    return gGetColumnCaption(gdbData(), captionNo, kind, defaultText, caption);
}
