#include "store/MsgCatalogue.h"

#include "base/AppHooks.h"
#include "base/ErrorLog.h"
#include "base/Services.h"
#include "store/Database.h"

#include <optional>
#include <sqlite3.h>

namespace {

struct CatalogueRow {
    QString msg;
    int style = 0;
};

// Reads one row of t_MSG. Unlike the data file's result sets, a failure here is not written to
// the log: gDispMsg reports it once under its own name, with the engine's error attached.
// `found` is false when the catalogue holds no row for the code.
bool readCatalogueRow(int code, bool& found, CatalogueRow& row) {
    found = false;
    sqlite3* db = gdbMsg().handle();
    if (!db) {
        gSetLastError(SQLITE_MISUSE, QStringLiteral("gdbMsg"),
                      QStringLiteral("message database not open"));
        return false;
    }
    static const char* const sql = "SELECT MSG, "
                                   "       DLGFLG "
                                   " FROM t_MSG "
                                   " WHERE CODE = ?1";
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_bind_int(st, 1, code);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            found = true;
            row.msg = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                        sqlite3_column_bytes(st, 0));
            row.style = sqlite3_column_int(st, 1);
            rc = SQLITE_DONE;
        }
    }
    if (rc != SQLITE_DONE)
        gSetLastError(sqlite3_extended_errcode(db), QStringLiteral("SQLite"),
                      QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_finalize(st);
    return rc == SQLITE_DONE;
}

} // namespace

Database& gdbMsg() {
    static Database db;
    return db;
}

bool gMsgInit(const QString& path) {
    // The window routines below the store show their numbered messages through the catalogue.
    gAppHooks().dispMsg = [](int code, const QString& addText, int position) {
        return gDispMsg(code, addText, position);
    };
    gdbMsg().close();
    if (!gdbMsg().open(path, QStringLiteral("gMsgInit")))
        return false;
    // The catalogue must hold its table; any other file is refused.
    ResultSet rs(gdbMsg());
    if (!rs.openRecordSet(QStringLiteral("SELECT CODE FROM t_MSG LIMIT 1"), {},
                          QStringLiteral("gMsgInit"))) {
        gdbMsg().close();
        return false;
    }
    return true;
}

void gMsgClose() {
    gdbMsg().close();
}

QString gMsgText(int code, const QString& addText) {
    bool found = false;
    CatalogueRow row;
    if (!readCatalogueRow(code, found, row) || !found)
        return addText + QStringLiteral("（メッセージ番号 %1）").arg(code);
    return addText + row.msg;
}

int gDispMsg(int code, const QString& addText, int position) {
    bool found = false;
    CatalogueRow row;
    if (!readCatalogueRow(code, found, row)) {
        svc().prompt().show(QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。"),
                            QStringLiteral("gDispMsg"), MsgStyle::OKOnly);
        gProcError(QStringLiteral("gDispMsg"));
        return -100;
    }
    if (!found) {
        svc().prompt().show(
            QStringLiteral("ﾒｯｾｰｼﾞｺｰﾄﾞ： %1に対応するﾒｯｾｰｼﾞが登録されていません。").arg(code),
            QStringLiteral("gDispMsg"), MsgStyle::OKOnly);
        gSetLastError(0, QStringLiteral("t_MSG"),
                      QStringLiteral("CODE=%1 is not in the catalogue").arg(code));
        gProcError(QStringLiteral("gDispMsg"));
        return -100;
    }
    const QString text = position == 1 ? row.msg + addText : addText + row.msg;
    return svc().prompt().show(text, QString(), row.style);
}
