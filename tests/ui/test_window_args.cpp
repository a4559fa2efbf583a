// SPDX-License-Identifier: MIT
// The window program's command line, read before Qt starts: our options, Qt's own options left
// for Qt, and every usage error.
#include "WindowArgs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using r8::ui::ParseWindowArgs;

TEST(WindowArgs, OptionsInBothFormsAndQtOptionsPassThrough) {
    const auto a = ParseWindowArgs({"--com1", "/dev/ttyUSB0", "--com2=socket://box:4001",
                                    "--simulate", "--trace", "--trace-file", "t.log", "-platform",
                                    "offscreen", "-style=fusion", "--reverse", "-display", ":3"});
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.com1.value_or(""), "/dev/ttyUSB0");
    EXPECT_EQ(a.com2.value_or(""), "socket://box:4001");
    EXPECT_EQ(a.traceFile.value_or(""), "t.log");
    EXPECT_TRUE(a.simulate && a.trace);
    EXPECT_EQ(a.platform, "offscreen");
    EXPECT_FALSE(a.help || a.version);
    // An option's value may look like an option.
    EXPECT_EQ(ParseWindowArgs({"--trace-file", "--simulate"}).traceFile.value_or(""), "--simulate");
}

TEST(WindowArgs, HelpAndVersion) {
    for (const char* arg : {"-h", "-?", "--help"})
        EXPECT_TRUE(ParseWindowArgs({arg}).help) << arg;
    const auto all = ParseWindowArgs({"--help-all"});
    EXPECT_TRUE(all.help && all.helpAll);
    for (const char* arg : {"-v", "--version"})
        EXPECT_TRUE(ParseWindowArgs({arg}).version) << arg;
    EXPECT_NE(r8::ui::WindowUsage("r8v5mc", true).find("-platform VALUE"), std::string::npos);
    EXPECT_EQ(r8::ui::WindowUsage("r8v5mc", false).find("-platform VALUE"), std::string::npos);
}

TEST(WindowArgs, UsageErrors) {
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"/dev/ttyUSB0"}, "unexpected argument '/dev/ttyUSB0' (a port is named with --com1 PATH)"},
        {{"--com1", "/dev/ttyS0", "extra"}, "unexpected argument 'extra'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-com1", "x"}, "unknown option '-com1'"},
        {{"--"}, "unknown option '--'"},
        {{"--com1"}, "option '--com1' needs a value"},
        {{"-platform"}, "option '-platform' needs a value"},
        {{"--simulate=yes"}, "option '--simulate' takes no value"},
        {{"-reverse=1"}, "option '-reverse=1' takes no value"},
        {{"--bogus", "stray"}, "unknown option '--bogus'"}, // the first error is told
    };
    for (const auto& c : cases) {
        const std::string error = ParseWindowArgs(c.args).error;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.args[0] << ": " << error;
    }
}
