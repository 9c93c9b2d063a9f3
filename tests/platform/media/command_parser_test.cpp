#include <gtest/gtest.h>

#include "platform/media/command.h"

namespace {

using media::parseCommand;
using media::Verb;

TEST(CommandParser, OpenTakesEverythingBetweenOpenAndTheLastTypeAsTheElement) {
    const struct {
        const char* text;
        const char* element;
    } cases[] = {
        {"open /music/a.mp3 type mpegvideo alias lirovan", "/music/a.mp3"},
        {"open /my music/a song.mp3 type mpegvideo alias lirovan", "/my music/a song.mp3"},
        {"open /a type b/the type c.mp3 type mpegvideo alias lirovan", "/a type b/the type c.mp3"},
        {"open  /lead.mp3 type mpegvideo alias lirovan", " /lead.mp3"},
        {"open C:\\Music\\x.mp3 type mpegvideo alias lirovan", "C:\\Music\\x.mp3"},
        {"OPEN /Ä ö.mp3 TYPE MPEGVIDEO ALIAS Lirovan", "/Ä ö.mp3"},
    };
    for (const auto& c : cases) {
        const auto command = parseCommand(c.text);
        ASSERT_EQ(command.error, MCIERR_NONE) << c.text;
        EXPECT_EQ(command.verb, Verb::Open);
        EXPECT_EQ(command.element, c.element) << c.text;
        EXPECT_EQ(command.alias, "lirovan");
    }
}

TEST(CommandParser, OpenWithoutElementTypeOrAliasFails) {
    for (const char* text :
         {"open", "open ", "open  type mpegvideo alias lirovan", "open type mpegvideo alias lirovan",
          "open /a.mp3", "open /a.mp3 type mpegvideo", "open /a.mp3 type mpegvideo alias",
          "open /a.mp3 type mpegvideo lirovan", "open /a.mp3 type mpegvideo alias x y",
          "open /a.mp3 type cdaudio alias lirovan", "open /a.mp3 type mpegvideo alias all"})
        EXPECT_NE(parseCommand(text).error, MCIERR_NONE) << '"' << text << '"';
}

TEST(CommandParser, DeviceCommandsNameOneAlias) {
    const struct {
        const char* text;
        Verb verb;
    } cases[] = {{"play lirovan", Verb::Play},     {"pause lirovan", Verb::Pause},
                 {"resume lirovan", Verb::Resume}, {"stop lirovan", Verb::Stop},
                 {"close lirovan", Verb::Close},   {"  Play   LIROVAN  ", Verb::Play}};
    for (const auto& c : cases) {
        const auto command = parseCommand(c.text);
        ASSERT_EQ(command.error, MCIERR_NONE) << c.text;
        EXPECT_EQ(command.verb, c.verb) << c.text;
        EXPECT_EQ(command.alias, "lirovan") << c.text;
    }
    EXPECT_EQ(parseCommand("close all").verb, Verb::CloseAll);
    EXPECT_EQ(parseCommand("CLOSE ALL").verb, Verb::CloseAll);
    for (const char* text : {"play", "play a b", "play all", "stop all", "pause all", "close a b"})
        EXPECT_NE(parseCommand(text).error, MCIERR_NONE) << text;
}

TEST(CommandParser, SetAudioAndStatus) {
    auto off = parseCommand("set lirovan audio all off");
    ASSERT_EQ(off.error, MCIERR_NONE);
    EXPECT_EQ(off.verb, Verb::SetAudio);
    EXPECT_FALSE(off.audioOn);
    EXPECT_TRUE(parseCommand("set lirovan audio all on").audioOn);
    for (const char* text :
         {"set lirovan audio all", "set lirovan audio all loud", "set lirovan audio left off",
          "set lirovan video all off", "set all audio all off", "set lirovan audio all off now"})
        EXPECT_NE(parseCommand(text).error, MCIERR_NONE) << text;

    EXPECT_EQ(parseCommand("status lirovan mode").item, media::StatusItem::Mode);
    EXPECT_EQ(parseCommand("status lirovan position").item, media::StatusItem::Position);
    EXPECT_EQ(parseCommand("status lirovan length").item, media::StatusItem::Length);
    for (const char* text :
         {"status", "status lirovan", "status lirovan volume", "status lirovan mode now", "status all mode"})
        EXPECT_NE(parseCommand(text).error, MCIERR_NONE) << text;
}

TEST(CommandParser, UnknownVerbsAndEmptyTextAreUnrecognized) {
    for (const char* text : {"", " ", "seek lirovan to start", "plya lirovan", "opens x"})
        EXPECT_EQ(parseCommand(text).error, MCIERR_UNRECOGNIZED_COMMAND) << '"' << text << '"';
}

}  // namespace
