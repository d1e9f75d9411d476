#include "ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace {
double logicalDpi(const QWidget* w)
{
    if (w)
        return w->logicalDpiX();
    if (const QScreen* s = QGuiApplication::primaryScreen())
        return s->logicalDotsPerInchX();
    return 96.0;
}
} // namespace

double twipsToPixels(double twips, const QWidget* w)
{
    return twips * logicalDpi(w) / 1440.0;
}

double pixelsToTwips(double pixels, const QWidget* w)
{
    const double dpi = logicalDpi(w);
    return dpi > 0 ? pixels * 1440.0 / dpi : 0.0;
}

int twipsToPx(double twips, const QWidget* w)
{
    return int(std::lround(twipsToPixels(twips, w)));
}
