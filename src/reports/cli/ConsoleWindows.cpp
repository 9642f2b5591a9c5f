#include "Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

void gPrepareConsole() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

bool gIsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}
