#include "shell/bannerengine.h"

#include "shell/bannerengine_remote.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QWidget>

namespace tarv {

namespace {

// The engine's own library aborts under AddressSanitizer, so a sanitizer build runs without
// it: every navigation there ends on the internal page, as a load without a network would.
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

} // namespace

std::unique_ptr<BannerEngine> createBannerEngine(QWidget *parent) {
    if (!kEngineAvailable) return nullptr;
    // The engine runs in a helper program, started now and ended with the engine.
    const QString program = helperProgram();
    if (program.isEmpty()) {
        qWarning("The banner's helper program is missing; the banner stays hidden.");
        return nullptr;
    }
    auto engine = std::make_unique<RemoteBannerEngine>(program, parent);
    if (!engine->started()) return nullptr;
    return engine;
}

} // namespace tarv
