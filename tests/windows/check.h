#pragma once

// A very small test harness for the cross-compiled test program: GoogleTest is not built for
// Windows here. Tests register themselves with TARV_TEST; checks report and carry on.

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace tarv::wintest {

struct TestCase {
    const char *name;
    void (*run)();
};

std::vector<TestCase> &registry();
// Records one failed check of the test that is running.
void fail(const char *file, int line, const std::string &what);
// Notes a check that could not be made in this environment.
void skip(const std::string &why);

struct Registrar {
    Registrar(const char *name, void (*run)()) { registry().push_back({name, run}); }
};

template <typename T> std::string show(const T &value) {
    std::ostringstream out;
    out << value;
    return out.str();
}
inline std::string show(const std::string &value) {
    return '"' + value + '"';
}
inline std::string show(const char *value) {
    return value ? show(std::string(value)) : "null";
}
inline std::string show(const std::wstring &value) {
    return "(" + show(value.size()) + " wide characters)";
}

} // namespace tarv::wintest

#define TARV_TEST(name)                                                                                      \
    static void name();                                                                                      \
    static const ::tarv::wintest::Registrar name##_registrar(#name, &name);                                  \
    static void name()

#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (!(cond)) ::tarv::wintest::fail(__FILE__, __LINE__, "CHECK(" #cond ")");                          \
    } while (0)

// Compares two values and shows both when they differ; context names the table row, if any.
#define CHECK_EQ_IN(context, actual, expected)                                                               \
    do {                                                                                                     \
        const auto &a_ = (actual);                                                                           \
        const auto &e_ = (expected);                                                                         \
        if (!(a_ == e_))                                                                                     \
            ::tarv::wintest::fail(__FILE__, __LINE__,                                                        \
                                  std::string(context) + ": " #actual " is " + ::tarv::wintest::show(a_) +   \
                                      ", expected " + ::tarv::wintest::show(e_));                            \
    } while (0)

#define CHECK_EQ(actual, expected) CHECK_EQ_IN("", actual, expected)
