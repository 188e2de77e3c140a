#pragma once

#include "stats/chartwindow.h"

#include <QStringList>

namespace tarv {

// How the program makes its chart window. On Linux the window and the chart library it draws
// with live in a module that is loaded the first time a chart is asked for; most runs never
// open it, and a program that does not link the chart library starts and idles lighter.
ChartWindowFactory chartWindowFactory();

#ifndef _WIN32
// Where a program in `programFolder` looks for the chart module, in order: an installed program
// only where the module was installed, any other (the build folder, an unpacked folder) only
// beside itself.
QStringList chartModuleCandidates(const QString &programFolder);
// A factory that loads the first of the candidates that exists, and no other: when that one
// fails to load, the chart fails with its reason, rather than a module of another build or
// another place being loaded in its stead.
ChartWindowFactory chartWindowFactory(const QStringList &candidates);
#endif

} // namespace tarv
