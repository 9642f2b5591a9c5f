#pragma once

#include <QString>

class Database;

// The message catalogue: rows of t_MSG (CODE, MSG, DLGFLG) in "sys/msg".

// Opens the catalogue (the program never writes it). Failure: log entry "gMsgInit", false.
bool gMsgInit(const QString& path);
void gMsgClose();
Database& gdbMsg();

// Shows catalogue message `code` through the prompt service. The additional text stands before
// the catalogue text (after it when position is 1). Returns the button pressed, or -100 when
// no catalogue message could be shown (the fallback box is shown and logged under "gDispMsg").
int gDispMsg(int code, const QString& addText = {}, int position = 0);
// The text gDispMsg would show (addText before the catalogue text), for lists of reasons that
// are printed or shown together; "メッセージ番号 <code>" after addText when the catalogue holds
// no text for the code or is not open.
QString gMsgText(int code, const QString& addText = {});
