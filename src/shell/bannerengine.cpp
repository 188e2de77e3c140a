#include "shell/bannerengine.h"

#ifdef TARV_BANNER_BUILD_DIR
#include "shell/bannerengine_remote.h"
#endif

#include "framework/processenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace tarv {

namespace {

// The engine's own library aborts under AddressSanitizer, so a sanitizer build runs without
// it: the light view serves there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kEngineAvailable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kEngineAvailable = false;
#else
constexpr bool kEngineAvailable = true;
#endif
#else
constexpr bool kEngineAvailable = true;
#endif

#ifdef TARV_BANNER_BUILD_DIR
// A program run from inside the build folder uses the helper this build made. An installed
// program looks only where it was installed, relative to itself, and never in a build folder,
// which anyone may have made anywhere.
QString helperProgram() {
    const QString dir = QCoreApplication::applicationDirPath();
    const QString buildRoot = QFileInfo(QStringLiteral(TARV_BUILD_ROOT)).canonicalFilePath();
    const bool inBuildTree =
        !buildRoot.isEmpty() && (dir == buildRoot || dir.startsWith(buildRoot + QLatin1Char('/')));
    const QString candidate =
        inBuildTree ? QStringLiteral(TARV_BANNER_BUILD_DIR "/tarvbanner")
                    : QDir::cleanPath(dir + QStringLiteral("/" TARV_BANNER_FROM_BINDIR "/tarvbanner"));
    return QFileInfo(candidate).isExecutable() ? candidate : QString();
}
#endif

} // namespace

std::unique_ptr<BannerEngine> createBannerEngine(QWidget *parent) {
#ifdef TARV_BANNER_BUILD_DIR
    // The web engine runs in a helper program, started now and ended with the engine. Where it
    // cannot run, when the light view is asked for, or as root (where the engine would run the
    // pages of a plain-HTTP server without its sandbox), the light view serves.
    const bool wanted =
        qEnvironmentVariable("TARV_BANNER_ENGINE") != QLatin1String("text") && webEngineMayRun();
    const QString program = kEngineAvailable && wanted ? helperProgram() : QString();
    if (!program.isEmpty()) {
        auto engine = std::make_unique<RemoteBannerEngine>(program, parent);
        if (engine->started()) return engine;
        qWarning("The banner's helper program did not start; the light view serves instead.");
    }
#endif
    return createTextBannerEngine(parent);
}

} // namespace tarv
