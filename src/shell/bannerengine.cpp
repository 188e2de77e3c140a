#include "shell/bannerengine.h"

#ifdef TARV_BANNER_BUILD_DIR
#include "shell/bannerengine_remote.h"
#endif

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
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
// Beside the program, where it is installed, and where this build put it.
QString helperProgram() {
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {dir + QStringLiteral("/tarvbanner"), dir + QStringLiteral("/../lib/tarv/tarvbanner"),
                                    QStringLiteral(TARV_BANNER_INSTALL_DIR "/tarvbanner"),
                                    QStringLiteral(TARV_BANNER_BUILD_DIR "/tarvbanner")};
    for (const QString &candidate : candidates)
        if (QFileInfo(candidate).isExecutable()) return candidate;
    return {};
}
#endif

} // namespace

std::unique_ptr<BannerEngine> createBannerEngine(QWidget *parent) {
#ifdef TARV_BANNER_BUILD_DIR
    // The web engine runs in a helper program, started now and ended with the engine. Where it
    // cannot run, or when the light view is asked for, the light view serves.
    const bool wanted = qEnvironmentVariable("TARV_BANNER_ENGINE") != QLatin1String("text");
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
