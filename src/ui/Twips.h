#pragma once
// Sizes in twips (1,440 per inch) to pixels at a widget's logical DPI.
class QWidget;

// w may be null: the primary screen's logical DPI is used then.
double twipsToPixels(double twips, const QWidget* w);
double pixelsToTwips(double pixels, const QWidget* w);
int twipsToPx(double twips, const QWidget* w); // rounded
