#include "app/MsgCatalogue.h"

#include "app/ErrorLog.h"
#include "app/Services.h"
#include "store/Database.h"

Database& gdbMsg() {
    static Database db;
    return db;
}

bool gMsgInit(const QString& path) {
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

int gDispMsg(int code, const QString& addText, int position) {
    ResultSet rs(gdbMsg());
    // Failures to read are reported below, once, under this routine's name.
    const bool opened =
        gdbMsg().isOpen() &&
        rs.openRecordSet(QStringLiteral("SELECT MSG, DLGFLG FROM t_MSG WHERE CODE = ?"), {code},
                         QStringLiteral("MsgDbOpenRecordSet"));
    if (!opened) {
        svc().prompt().show(QStringLiteral("ﾒｯｾｰｼﾞの取得に失敗しました。"),
                            QStringLiteral("gDispMsg"), MsgStyle::OKOnly);
        gProcError(QStringLiteral("gDispMsg"));
        return -100;
    }
    if (rs.recordCount() == 0) {
        svc().prompt().show(
            QStringLiteral("ﾒｯｾｰｼﾞｺｰﾄﾞ： %1に対応するﾒｯｾｰｼﾞが登録されていません。").arg(code),
            QStringLiteral("gDispMsg"), MsgStyle::OKOnly);
        gProcError(QStringLiteral("gDispMsg"), QStringLiteral("CODE=%1").arg(code));
        return -100;
    }
    const QString msg = rs.text(0);
    const int style = static_cast<int>(rs.lng(1));
    const QString text = position == 1 ? msg + addText : addText + msg;
    return svc().prompt().show(text, QString(), style);
}
