#include <gtest/gtest.h>

#include "platform/Terminal.h"
#include "support/HostSystem.h"

namespace torven::platform {
namespace {

TEST(TerminalWithoutTty, KeepsOnlyTheShadow) {
    test::Pipe pipe;
    Terminal terminal;
    EXPECT_FALSE(terminal.attach(pipe.writeEnd()));
    EXPECT_FALSE(terminal.attached());
    terminal.write("journal");
    terminal.requestWindowSize(80, 51);
    pipe.closeWriteEnd();
    EXPECT_EQ(pipe.readToEnd(), "");  // nothing was written
    EXPECT_EQ(terminal.screen().rowText(0).substr(0, 8), "journal ");
}

}  // namespace
}  // namespace torven::platform
