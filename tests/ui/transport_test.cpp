#include <gtest/gtest.h>

#include "window_harness.h"

using namespace velmyr_test;

namespace {

class Transport : public ::testing::Test {
protected:
    void SetUp() override {
        makeEntries(folder.path(), {"a.mp3", "b.mp3"});
        w->Dir1->setPath(folder.path());
        ASSERT_TRUE(w.show());
    }

    QTemporaryDir folder;
    WindowUnderTest w;
    CommandRecorder commands;
};

using Commands = std::vector<std::string>;

}  // namespace

TEST_F(Transport, PauseClickTogglesAndADoubleClickTogglesOnce) {
    w->File1->setListIndex(0);
    w.click(w->Label6);
    EXPECT_EQ(commands.take(), Commands{"pause lirovan"});
    EXPECT_EQ(w->Label6->text(), "  play");
    w.doubleClick(w->Label6);
    EXPECT_EQ(commands.take(), Commands{"resume lirovan"});
    EXPECT_EQ(w->Label6->text(), "  pause");
}

TEST_F(Transport, PauseAndStopDoNothingWithoutASelection) {
    w.click(w->Label6);
    w.click(w->Label7);
    EXPECT_TRUE(commands.take().empty());
    EXPECT_EQ(w->Label6->text(), "  pause");
}

TEST_F(Transport, StopWhilePausedKeepsTheCaptionAndTheNextPauseClickResumes) {
    w->File1->setListIndex(1);
    w.click(w->Label6);
    w.click(w->Label7);
    EXPECT_EQ(commands.take(), (Commands{"pause lirovan", "stop lirovan", "close all"}));
    EXPECT_EQ(w->Label6->text(), "  play");
    EXPECT_EQ(w->Label7->text(), "stop");
    EXPECT_EQ(w->File1->FileName(), "b.mp3") << "the selection stays";
    w.click(w->Label6);
    EXPECT_EQ(commands.take(), Commands{"resume lirovan"});
    EXPECT_EQ(w->Label6->text(), "  pause");
}

TEST_F(Transport, MuteNeedsNoSelectionAndTogglesItsCaption) {
    w.click(w->Label4);
    EXPECT_EQ(commands.take(), Commands{"set lirovan audio all off"});
    EXPECT_EQ(w->Label4->text(), " un");
    w.click(w->Label4);
    EXPECT_EQ(commands.take(), Commands{"set lirovan audio all on"});
    EXPECT_EQ(w->Label4->text(), " m");
}

TEST_F(Transport, AFileStartedAfterAMuteGetsNoAudioCommand) {
    w.click(w->Label4);
    commands.take();
    w.doubleClick(w->File1, w->File1->visualRect(w->File1->model()->index(0, 0)).center());
    w.click(w->Label8);
    const Commands sent = commands.take();
    ASSERT_EQ(sent.size(), 8u);
    for (const std::string& command : sent) EXPECT_EQ(command.find("audio"), std::string::npos);
    EXPECT_EQ(w->Label4->text(), " un");
}

TEST_F(Transport, CaptionsAreComparedAsExactText) {
    w->File1->setListIndex(0);
    w->Label6->setText(" pause");  // one blank short: not "  pause"
    w.click(w->Label6);
    EXPECT_EQ(commands.take(), Commands{"resume lirovan"});
    EXPECT_EQ(w->Label6->text(), "  pause");
    w->Label4->setText(" M");
    w.click(w->Label4);
    EXPECT_EQ(commands.take(), Commands{"set lirovan audio all on"});
    EXPECT_EQ(w->Label4->text(), " m");
}

TEST_F(Transport, TheCommandGoesOutBeforeTheCaptionTurns) {
    std::vector<std::pair<std::string, QString>> seen;  // command, caption at that moment
    media::setCommandObserver([&](const std::string& command) {
        seen.emplace_back(command,
                          command.find("audio") != std::string::npos ? w->Label4->text() : w->Label6->text());
    });
    w->File1->setListIndex(0);
    w.click(w->Label6);
    w.click(w->Label6);
    w.click(w->Label4);
    media::setCommandObserver({});
    const std::vector<std::pair<std::string, QString>> expected{
        {"pause lirovan", "  pause"}, {"resume lirovan", "  play"}, {"set lirovan audio all off", " m"}};
    EXPECT_EQ(seen, expected);
}
