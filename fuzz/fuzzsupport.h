#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>

namespace tarv::fuzz {

// A Qt core application and a temporary folder that live for the whole fuzzing run.
struct Environment {
    Environment() {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
    }
    QCoreApplication *app = nullptr;
    QTemporaryDir dir;
};

inline Environment &environment() {
    static Environment env;
    return env;
}

} // namespace tarv::fuzz
