#include "Console.h"

#include <unistd.h>

void gPrepareConsole() {}

bool gIsTerminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) != 0;
}
