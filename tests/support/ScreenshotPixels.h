#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

namespace kavenra::testing {

// Where tests keep the pictures they take for people to look at: KAVENRA_SCREENSHOT_DIR, else
// <build>/screenshots. Not made by this call.
QString ScreenshotFolder();

// Share of the pixels of a rectangle (in layout pixels, scaled by the image's pixel ratio) that
// differ clearly from a colour: tells a drawn picture or text from an empty area.
double DrawnShare(const QImage& image, const QRect& layoutArea, const QColor& background);

}  // namespace kavenra::testing
