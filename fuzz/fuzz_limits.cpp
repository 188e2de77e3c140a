// Feeds arbitrary bytes to the reader of tarv.ini, the file the user edits by hand. Crashes and
// overruns are findings, and so are settings that do not read back as themselves once the
// limits dialog has written them into the same text.
#include "fuzzsupport.h"
#include "limits/limitsettings.h"

#include <cstdint>
#include <cstdlib>

using namespace tarv;
using namespace tarv::limits;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::environment();
    const QByteArray ini(reinterpret_cast<const char *>(data), qsizetype(size));
    const LimitSettings read = parseLimitSettings(ini).settings;
    if (read.cycleDay < 1 || read.cycleDay > 31 || read.monthly < 0 || read.daily < 0) std::abort();
    const QByteArray written = updatedIni(ini, read);
    if (parseLimitSettings(written).settings != read) std::abort();
    return 0;
}
