#include "base/WindowGeometry.h"

#include <cfenv>
#include <cmath>

bool windowOffsetFor(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                     int position, int& left, int& top) {
    int divisor = 0;
    if (position == 0)
        divisor = 2;
    else if (position == 1)
        divisor = 3;
    else
        return false;
    left = (screenWidth - windowWidth) / 2;
    top = (screenHeight - windowHeight) / divisor;
    return true;
}

int roundHalfEven(double value) {
    // std::nearbyint follows the current rounding mode; make sure it is to-nearest-even.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    std::fesetround(saved);
    return static_cast<int>(r);
}

void windowSizeFor(int screenWidth, int screenHeight, double ratio, int& width, int& height) {
    width = roundHalfEven(screenWidth * ratio);
    height = roundHalfEven(screenHeight * ratio);
}

int twipsToPixels(int twips, double dotsPerInch) {
    return roundHalfEven(twips * dotsPerInch / 1440.0);
}

QPoint windowOverOpener(const QRect& opener, const QSize& window, const QRect& area) {
    const QPoint centred(opener.x() + (opener.width() - window.width()) / 2,
                         opener.y() + (opener.height() - window.height()) / 2);
    const int x = qMax(area.left(), qMin(centred.x(), area.right() + 1 - window.width()));
    const int y = qMax(area.top(), qMin(centred.y(), area.bottom() + 1 - window.height()));
    return {x, y};
}
