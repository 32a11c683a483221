#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace fb {

/// Image1: the tri-linear pullout curve, load against crack width, 100 by 100 pixels.
QPixmap pulloutSketch();

/// Image2: the four formulas of the characteristic points, 125 by 130 pixels.
QPixmap coefficientFormulas();

/// The program's 32 by 32 icon: fibers bridging a crack (the shapes of ui/program_icon.h).
QImage programIconImage();
QIcon programIcon();

}  // namespace fb
