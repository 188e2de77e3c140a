#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>

class QWidget;

namespace tarv {

// The look the program's own dialogs share with the options dialog: its faces, heading colour,
// background picture and rounded outline.

// The headings' face. Where the named faces are missing, metric-compatible ones stand in before
// any wider default.
QFont dialogHeadingFont();
// The face of the dialogs' text and controls.
QFont dialogPlainFont();
// The headings' colour.
inline const QColor kDialogHeading{0, 0, 128};
// The options dialog's background picture; null when it cannot be read.
QPixmap dialogBackground();
// Gives a frameless dialog of fixed size its rounded outline. Call after its size is set.
void roundDialogOutline(QWidget *dialog);
// Paints the background over the whole of the dialog, or its palette's colour without one.
void paintDialogBackground(QWidget *dialog, const QPixmap &background);

} // namespace tarv
