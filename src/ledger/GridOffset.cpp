#include "ledger/GridOffset.h"

#include "util/FileHelpers.h"

namespace {
const QString kValueName = QStringLiteral("DataGridOffSet");
constexpr int kKindNumber = 4;
} // namespace

int gGetDataGridOffset() {
    bool ok = false;
    const int offset = gRegRead(kValueName, kKindNumber, 0).toInt(&ok);
    return ok ? offset : 0;
}

bool gSetDataGridOffset(int offset) {
    // The writer reports its own failure.
    return gRegWrite(kValueName, kKindNumber, offset);
}
