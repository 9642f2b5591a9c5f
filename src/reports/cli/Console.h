#pragma once

#include <cstdio>

// The command line's console, one implementation per platform (ConsolePosix.cpp,
// ConsoleWindows.cpp). The program writes UTF-8 text with "\n" line ends on every platform.

// Makes the standard output and error take that text as it is: on Windows they are switched to
// binary (no "\r\n" added) and a console window is told to show UTF-8.
void gPrepareConsole();
// Whether the stream is a terminal (a console window) rather than a file or a pipe.
bool gIsTerminal(std::FILE* stream);
