#include "reports/Cp932Converter.h"

#include <windows.h>

namespace {

constexpr UINT kCodePage = 932;

} // namespace

struct Cp932Converter::State {};

Cp932Converter::Cp932Converter() : m_state(nullptr) {}

Cp932Converter::~Cp932Converter() = default;

bool Cp932Converter::ok() const {
    CPINFO info;
    return GetCPInfo(kCodePage, &info) != 0;
}

bool Cp932Converter::decode(const char* bytes, int n, char16_t& unit) {
    wchar_t out[4];
    // Bytes that are no character fail instead of becoming a replacement character.
    if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, n, out, 4) != 1)
        return false;
    unit = static_cast<char16_t>(out[0]);
    return true;
}

int Cp932Converter::encode(char16_t unit, char out[2]) {
    const wchar_t in = static_cast<wchar_t>(unit);
    char bytes[4];
    BOOL usedDefault = FALSE;
    // No "best fit": a character the code page does not have is not written as a look-alike.
    const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &in, 1, bytes, sizeof bytes,
                                      nullptr, &usedDefault);
    if (usedDefault || (n != 1 && n != 2))
        return 0;
    out[0] = bytes[0];
    out[1] = n == 2 ? bytes[1] : 0;
    return n;
}
