#include "reports/Cp932Converter.h"

#include <cstddef>
#include <iconv.h>

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One conversion; the number of bytes written, -1 when it failed.
int convertOne(iconv_t cd, const char* in, std::size_t inSize, char* out, std::size_t outSize) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    std::size_t left = inSize, room = outSize;
    if (iconv(cd, &src, &left, &dst, &room) == static_cast<std::size_t>(-1) || left != 0)
        return -1;
    // Some converters keep a shift state to the end; code page 932 has none, but flushing is
    // harmless.
    if (iconv(cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1))
        return -1;
    return static_cast<int>(outSize - room);
}

} // namespace

struct Cp932Converter::State {
    iconv_t toUnicode = iconv_open("UTF-16LE", "CP932");
    iconv_t fromUnicode = iconv_open("CP932", "UTF-16LE");
};

Cp932Converter::Cp932Converter() : m_state(new State) {}

Cp932Converter::~Cp932Converter() {
    if (m_state->toUnicode != kNoConverter)
        iconv_close(m_state->toUnicode);
    if (m_state->fromUnicode != kNoConverter)
        iconv_close(m_state->fromUnicode);
    delete m_state;
}

bool Cp932Converter::ok() const {
    return m_state->toUnicode != kNoConverter && m_state->fromUnicode != kNoConverter;
}

bool Cp932Converter::decode(const char* bytes, int n, char16_t& unit) {
    char out[8];
    if (convertOne(m_state->toUnicode, bytes, static_cast<std::size_t>(n), out, sizeof out) != 2)
        return false;
    unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 (static_cast<unsigned char>(out[1]) << 8));
    return true;
}

int Cp932Converter::encode(char16_t unit, char out[2]) {
    const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    char bytes[8];
    const int n = convertOne(m_state->fromUnicode, in, 2, bytes, sizeof bytes);
    if (n != 1 && n != 2)
        return 0;
    out[0] = bytes[0];
    out[1] = n == 2 ? bytes[1] : 0;
    return n;
}
