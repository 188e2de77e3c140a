#pragma once

#include <QPixmap>
#include <QString>

namespace tarv {

// Reads the picture in a file (a resource among them) whose name ends in its format, such as
// ".png" or ".jpg"; a null pixmap when it cannot. The format is taken from the name alone: left
// to find it, Qt's image reader loads every image plugin on the system to ask each of them,
// which a program that starts in the tray with two small icons has no need of.
QPixmap readPicture(const QString &path);

} // namespace tarv
