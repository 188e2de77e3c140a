#pragma once

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace tarv::fuzz {

// A Qt core application and a temporary folder that live for the whole fuzzing run.
struct Environment {
    explicit Environment(bool gui = false) {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        if (gui) {
            // Text layout needs fonts, which need a GUI application; no display is used.
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
            app = new QGuiApplication(argc, argv);
        } else {
            app = new QCoreApplication(argc, argv);
        }
    }
    QCoreApplication *app = nullptr;
    QTemporaryDir dir;
};

inline Environment &environment() {
    static Environment env;
    return env;
}

// The same with a GUI application, for targets that lay text out.
inline Environment &guiEnvironment() {
    static Environment env(true);
    return env;
}

} // namespace tarv::fuzz
