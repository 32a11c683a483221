#pragma once

// What the window and the data file name dialog both need of the toolkit:
// twips turned into pixels, the program's font, centring on the screen and
// the warning box.

#include <QFont>
#include <QRect>
#include <QString>

class QStyle;
class QWidget;

namespace fb {

/// 15 twips make a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;
constexpr int pixels(int twips) { return twips / kTwipsPerPixel; }
/// A place given as Left, Top, Width, Height in twips, in pixels.
QRect twipsRect(int left, int top, int width, int height);

/// MS P Gothic where the system has it, else IPA P Gothic, which has the same
/// metrics, else any sans-serif font.
QFont programFont(qreal pointSize = 9.75);

/// Moves a shown window to the centre of its screen: left = screen width / 2 -
/// window width / 2 (likewise top), from the outer size, frame included,
/// worked out in floating point and rounded down to a pixel.
void centreOnScreen(QWidget* window);

/// A style for the text boxes that paints each box's panel (its frame and
/// background) once per size and state and then copies it: the run changes
/// the status and result boxes hundreds of times, and the toolkit's styles
/// draw their rounded, antialiased frames anew each time. Owned by `owner`.
QStyle* boxPanelStyle(QWidget* owner);

/// A message box with an exclamation icon and one OK button; returns when it is dismissed.
void showWarning(QWidget* parent, const QString& title, const QString& text);

}  // namespace fb
