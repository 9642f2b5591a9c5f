#pragma once

// The system's own converter between code page 932 (Shift_JIS as Windows writes it) and UTF-16,
// asked once per character to build the CSV codec's tables. One implementation per platform:
// Cp932ConverterPosix.cpp (iconv) and Cp932ConverterWindows.cpp (the Windows code page API).
class Cp932Converter {
public:
    Cp932Converter();
    ~Cp932Converter();
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    // False when the system has no such converter (every character beyond ASCII then counts as
    // not writable).
    bool ok() const;
    // The one UTF-16 unit that the n (1 or 2) bytes stand for; false when they stand for none.
    bool decode(const char* bytes, int n, char16_t& unit);
    // The bytes of one UTF-16 unit into out (1 or 2 of them); 0 when the code page has none.
    // The caller checks that they decode back to the same unit.
    int encode(char16_t unit, char out[2]);

private:
    struct State;
    State* m_state;
};
