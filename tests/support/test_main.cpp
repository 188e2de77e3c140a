#include "framework/application.h"
#include "framework/processenv.h"

#include <QApplication>
#include <QLocale>
#include <gtest/gtest.h>

// Every test binary runs with a Greek locale and, unless told otherwise, without a display:
// gtest_discover_tests runs the binaries at build time without ctest's environment. As root,
// the web engine's sandbox is switched off as the program does it.
int main(int argc, char **argv) {
    tarv::allowWebEngineAsRoot();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Greek, QLocale::Greece));
    tarv::TarvApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
