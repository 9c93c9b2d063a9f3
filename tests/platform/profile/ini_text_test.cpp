#include "platform/profile/ini_text.h"

#include <gtest/gtest.h>

using profile::findValue;
using profile::withValue;

TEST(IniTextRead, NamesMatchWithoutCaseAndOnlyInTheirSection) {
    const std::string text = "path=/top\n[other]\npath=/other\n[VelMyr]\nPATH = /music \n";
    EXPECT_EQ(findValue(text, "velmyr", "path"), "/music");
    EXPECT_EQ(findValue(text, "other", "Path"), "/other");
    EXPECT_EQ(findValue(text, "velmyr", "missing"), std::nullopt);
    EXPECT_EQ(findValue(text, "absent", "path"), std::nullopt);
}

TEST(IniTextRead, FirstOccurrenceWinsAndRepeatedSectionsCountAsOne) {
    const std::string text = "[velmyr]\nx=1\npath=/first\npath=/second\n[velmyr]\ny=2\n";
    EXPECT_EQ(findValue(text, "velmyr", "path"), "/first");
    EXPECT_EQ(findValue(text, "velmyr", "y"), "2");
}

TEST(IniTextRead, CorruptLinesAreSkippedNotFatal) {
    std::string text = "\xEF\xBB\xBF[velmyr]\n[broken\n=nokey\njunk without equals\n";
    text += std::string("pa\0th=/nul", 10) + "\n" + std::string(100000, 'x') + "\npath=/ok";
    EXPECT_EQ(findValue(text, "velmyr", "path"), "/ok");
}

TEST(IniTextWrite, ReplacesOnlyTheKeysLineAndKeepsEveryOtherByte) {
    const std::string text =
        "; head\r\n[Other]\r\na = 1 ; note\r\n[VELMYR]\r\n  Path = /old\r\nx=1\r\n; tail";
    EXPECT_EQ(withValue(text, "velmyr", "path", "/new"),
              "; head\r\n[Other]\r\na = 1 ; note\r\n[VELMYR]\r\nPath=/new\r\nx=1\r\n; tail");
}

TEST(IniTextWrite, AddsTheKeyToTheFirstSectionOrAddsTheSection) {
    EXPECT_EQ(withValue("[velmyr]\nx=1\n\n; about y\n[y]\n", "velmyr", "path", "/p"),
              "[velmyr]\nx=1\npath=/p\n\n; about y\n[y]\n");
    EXPECT_EQ(withValue("[velmyr]\n[velmyr]\nz=1\n", "velmyr", "path", "/p"),
              "[velmyr]\npath=/p\n[velmyr]\nz=1\n");
    EXPECT_EQ(withValue("[a]\r\nb=c", "velmyr", "path", "/p"), "[a]\r\nb=c\r\n[velmyr]\r\npath=/p\r\n");
    EXPECT_EQ(withValue("", "velmyr", "path", "/p"), "[velmyr]\npath=/p\n");
}

TEST(IniTextWrite, EveryStorableValueReadsBackUnchanged) {
    for (const std::string value : {"", " lead", "trail ", "\"quoted\"", "\"", "a=b;c#d", "C:\\Music\\new",
                                    "/m\xC3\xBCsik/\xE9t\xE9", "\t"}) {
        ASSERT_TRUE(profile::isStorable("velmyr", "path", value)) << value;
        const std::string text = withValue("[velmyr]\npath=old\n", "velmyr", "path", value);
        EXPECT_EQ(findValue(text, "velmyr", "path"), value) << text;
    }
}

TEST(IniTextWrite, RefusesWhatWouldInjectOrBreakLines) {
    EXPECT_FALSE(profile::isStorable("velmyr", "path", "/a\n[other]\nkey=x"));
    EXPECT_FALSE(profile::isStorable("velmyr", "path", "/a\rb"));
    EXPECT_FALSE(profile::isStorable("vel]myr", "path", "/a"));
    EXPECT_FALSE(profile::isStorable("velmyr", "pa=th", "/a"));
    EXPECT_FALSE(profile::isStorable("velmyr", ";path", "/a"));
    EXPECT_FALSE(profile::isStorable("", "path", "/a"));
    EXPECT_FALSE(profile::isStorable("velmyr", " path", "/a"));
}
