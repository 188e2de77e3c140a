#include "shell/bannerview.h"
#include "shellrig.h"
#include "support/parts.h"

#include <gtest/gtest.h>

using namespace tarv;
using tarv::test::part;

// The main window hands the banner's links to the desktop under the vendor menu's rules.
TEST(BannerLinks, OpenOnlyWebAddressesThroughTheShell) {
    tarv::test::ShellRig rig;
    ASSERT_NE(part<BannerView>(rig.form), nullptr);
    for (const char *link : {"http://www.pelmo.example/offer.html", "file:///etc/passwd", "MMexit",
                             "javascript:alert(1)", "https://www.pelmo.example/x"})
        emit part<BannerView>(rig.form)->LinkActivated(QString::fromLatin1(link));
    EXPECT_EQ(rig.shell->opened,
              QStringList({"http://www.pelmo.example/offer.html", "https://www.pelmo.example/x"}));
    EXPECT_TRUE(rig.errors.isEmpty());
}
