#pragma once

#include "stats/chartwindow.h"

namespace tarv {

// How the program makes its chart window. On Linux the window and the chart library it draws
// with live in a module that is loaded the first time a chart is asked for; most runs never
// open it, and a program that does not link the chart library starts and idles lighter.
ChartWindowFactory chartWindowFactory();

} // namespace tarv
