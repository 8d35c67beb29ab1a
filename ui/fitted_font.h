// The program's forms place every widget in a fixed rectangle, drawn for a
// small dialog font. With a larger desktop font their texts would be cut
// off; fitFontToRectangles shrinks a form's font, in half-point steps and
// no smaller than 6 points, until every label's and button's text fits its
// rectangle. Widgets with a point size of their own keep it.
#pragma once

class QWidget;

void fitFontToRectangles(QWidget* form);

// The same, done when the form is first shown: a window that is never
// shown (a program started hidden) never loads the fonts to measure.
void fitFontToRectanglesWhenShown(QWidget* form);
