#include "framework/processenv.h"

#include <QByteArrayList>
#include <gtest/gtest.h>
#include <map>

using namespace tarv;

namespace {

// Puts the named variables back as they were when the test ends.
class SavedEnv {
public:
    explicit SavedEnv(const QByteArrayList &names) {
        for (const QByteArray &n : names)
            m_saved[n] = {qEnvironmentVariableIsSet(n.constData()), qgetenv(n.constData())};
    }
    ~SavedEnv() {
        for (const auto &[n, v] : m_saved)
            v.first ? qputenv(n.constData(), v.second) : qunsetenv(n.constData());
    }

private:
    std::map<QByteArray, std::pair<bool, QByteArray>> m_saved;
};

} // namespace

TEST(ProcessEnvironment, AsRootTheWebEngineRunsOnlyByExplicitChoiceAndThenWithoutSandbox) {
    SavedEnv saved({"QTWEBENGINE_DISABLE_SANDBOX", "TARV_BANNER_ENGINE"});
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qunsetenv("TARV_BANNER_ENGINE");
    EXPECT_TRUE(webEngineMayRun(1000));
    allowWebEngineAsRoot(1000);
    EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
    // Root without the choice: the light view serves and the sandbox is left alone.
    EXPECT_FALSE(webEngineMayRun(0));
    allowWebEngineAsRoot(0);
    EXPECT_FALSE(qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"));
    qputenv("TARV_BANNER_ENGINE", "text");
    EXPECT_FALSE(webEngineMayRun(0));
    qputenv("TARV_BANNER_ENGINE", "web");
    EXPECT_TRUE(webEngineMayRun(0));
    allowWebEngineAsRoot(0);
    EXPECT_EQ(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), "1");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "0");
    allowWebEngineAsRoot(0);
    EXPECT_EQ(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), "0");
}

TEST(ProcessEnvironment, WaylandWithXWaylandRunsOnXUnlessAPlatformWasChosen) {
    SavedEnv saved({"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY", "XDG_SESSION_TYPE"});
    qunsetenv("XDG_SESSION_TYPE");
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    qunsetenv("DISPLAY");
    preferXWayland();
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM")); // Wayland alone
    qputenv("DISPLAY", ":0");
    preferXWayland();
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "xcb");
    qputenv("QT_QPA_PLATFORM", "wayland");
    preferXWayland();
    EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), "wayland");
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("WAYLAND_DISPLAY");
    preferXWayland(); // plain X
    EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
}
