#pragma once

// The arithmetic of window placement, apart from any screen so it can be checked alone.

#include <QPoint>
#include <QRect>
#include <QSize>

// Offset of a window's top-left corner from the screen's: left = (screen width - window width)
// / 2 and top = (screen height - window height) / d, with d = 2 for position 0 (centred) and
// d = 3 for position 1 (upper third). Both divisions truncate toward zero; a window larger
// than the screen gets negative offsets. False for any other position.
bool windowOffsetFor(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                     int position, int& left, int& top);

// The nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
int roundHalfEven(double value);

// A window of the given share of the screen: each side screen side x ratio, rounded half to
// even.
void windowSizeFor(int screenWidth, int screenHeight, double ratio, int& width, int& height);

// Twips (1/1440 inch) to pixels at the given dots per inch, rounded half to even.
int twipsToPixels(int twips, double dotsPerInch);

// Where a window of the given frame size opens over the window that opened it: centred on the
// opener's frame, then moved just far enough to lie inside the screen's available area (a
// window larger than the area starts at its top-left corner).
QPoint windowOverOpener(const QRect& opener, const QSize& window, const QRect& area);
