#include "shell/bannerengine.h"

#include <QCoreApplication>
#include <QLibrary>
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
QStringList moduleCandidates() {
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + QStringLiteral("/tarvbanner"), dir + QStringLiteral("/../lib/tarv/tarvbanner"),
            QStringLiteral(TARV_BANNER_INSTALL_DIR "/tarvbanner"),
            QStringLiteral(TARV_BANNER_BUILD_DIR "/tarvbanner")};
}

BannerEngineEntry resolveEntry() {
    static BannerEngineEntry entry = []() -> BannerEngineEntry {
        for (const QString &candidate : moduleCandidates()) {
            QLibrary library(candidate);
            if (!library.load()) continue;
            // The module stays loaded for the rest of the run.
            if (auto f = reinterpret_cast<BannerEngineEntry>(library.resolve(bannerEngineEntry))) return f;
        }
        qWarning("The banner's web engine module could not be loaded; the light view serves instead.");
        return nullptr;
    }();
    return entry;
}
#endif

// The engine draws through shared graphics contexts, which can only be asked for before the
// application object exists; the engine itself is loaded much later.
const bool sharedContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

} // namespace

std::unique_ptr<BannerEngine> createBannerEngine(QWidget *parent) {
#ifdef TARV_BANNER_BUILD_DIR
    const bool wanted = qEnvironmentVariable("TARV_BANNER_ENGINE") != QLatin1String("text");
    if (kEngineAvailable && wanted) {
        if (const BannerEngineEntry entry = resolveEntry()) return std::unique_ptr<BannerEngine>(entry(parent));
    }
#endif
    return createTextBannerEngine(parent);
}

} // namespace tarv
