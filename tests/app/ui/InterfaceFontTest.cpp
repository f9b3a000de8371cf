// The interface's typeface: a preferred sans family when installed, else any proportional
// one, never a monospace family.

#include "app/ui/InterfaceFont.h"

#include <gtest/gtest.h>

using namespace kalto;

TEST(InterfaceFontTest, ChoosesAProportionalSansFamily) {
    const QStringList fixed{QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                            QStringLiteral("Monospace")};
    const auto isFixed = [&](const QString& f) { return fixed.contains(f); };
    const struct {
        QStringList installed;
        const char* expected;
    } cases[] = {
        {{"Liberation Mono", "Liberation Serif", "DejaVu Sans"}, "DejaVu Sans"},
        {{"Liberation Mono", "Liberation Sans", "Noto Sans"}, "Noto Sans"},
        {{"Liberation Mono", "DejaVu Sans Mono", "Liberation Serif", "Ubuntu"}, "Ubuntu"},
        {{"Monospace", "Liberation Serif"}, "Liberation Serif"},
        {{"Liberation Mono", "Monospace"}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseInterfaceFamily(c.installed, isFixed), QString::fromLatin1(c.expected)) << c.expected;
}
