// Runs every registered test, or those whose names contain the first argument, and exits with 1
// when any check failed.

#include "check.h"

#include <cstring>

namespace tarv::wintest {

namespace {
int g_failures = 0;
int g_skips = 0;
const char *g_current = "";
} // namespace

std::vector<TestCase> &registry() {
    static std::vector<TestCase> tests;
    return tests;
}

void fail(const char *file, int line, const std::string &what) {
    ++g_failures;
    std::printf("  %s:%d: %s: %s\n", file, line, g_current, what.c_str());
}

void skip(const std::string &why) {
    ++g_skips;
    std::printf("  %s: skipped: %s\n", g_current, why.c_str());
}

} // namespace tarv::wintest

int main(int argc, char **argv) {
    using namespace tarv::wintest;
    setvbuf(stdout, nullptr, _IONBF, 0);
    int run = 0, failedTests = 0;
    for (const TestCase &t : registry()) {
        if (argc > 1 && !std::strstr(t.name, argv[1])) continue;
        g_current = t.name;
        const int before = g_failures;
        t.run();
        ++run;
        const bool ok = g_failures == before;
        failedTests += ok ? 0 : 1;
        std::printf("[%s] %s\n", ok ? "  OK  " : "FAILED", t.name);
    }
    std::printf("%d tests, %d failed, %d checks skipped\n", run, failedTests, g_skips);
    return failedTests == 0 && run > 0 ? 0 : 1;
}
