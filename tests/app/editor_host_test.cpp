// The editor host on its own: what happens after an OK besides the redraw — the
// message about what OK repaired, and in the remote layout the remote frames'
// re-evaluation for the editors whose OK changes what they send.

#include <gtest/gtest.h>

#include <QWidget>

#include <vector>

#include "app/qt_app.h"
#include "app/window_doubles.h"
#include "core/encodings.h"
#include "core/image.h"
#include "editors/editor_host.h"
#include "editors/output/relay_editor.h"
#include "editors/timing/dimming_engine_editor.h"

namespace ormid {
namespace {

class EditorHostTest : public testing::Test {
protected:
    void SetUp() override
    {
        panel_.resize(928, 600);
        host_ = new EditorHost({.run = run_,
                                .image = image_,
                                .redraw = [this] { ++redraws_; },
                                .scaled = [](const QRect& design) { return design; },
                                .showMessage = [this](const QString& text) { messages_.push_back(text); },
                                .remoteChanged = [this] { ++remoteChanges_; }},
                               &panel_);
        host_->add(*new DimmingEngineEditor(kEngine1Layout, run_, &panel_));
        host_->add(*new RelayEditor(&panel_));
        panel_.show();
    }

    void press(const char* name) { test::press(panel_, name); }

    // Before the panel: a widget needs the application, also when this test runs alone.
    QApplication& app_ = test::qtApp();
    RunState run_;
    EeBlock image_ = makeDefaultImage();
    QWidget panel_;
    EditorHost* host_ = nullptr;
    int redraws_ = 0;
    int remoteChanges_ = 0;
    std::vector<QString> messages_;
};

TEST_F(EditorHostTest, InTheRemoteLayoutAnEngineOkReEvaluatesTheRemoteFramesAndARelayOkDoesNot)
{
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote" : "local");
        run_.remoteMode = remote;
        remoteChanges_ = 0;
        host_->blockClicked({FunctionBlock::engine1, BlockElement::picture});
        press("bDimmer1_OK");
        host_->blockClicked({FunctionBlock::relay, BlockElement::picture});
        press("bRelay_OK");
        EXPECT_EQ(remoteChanges_, remote ? 1 : 0);
    }
}

TEST_F(EditorHostTest, InTheRemoteLayoutTheLstSwitchReEvaluatesTheRemoteFramesAndTheOtherSwitchesDoNot)
{
    image_[field::holdTime] = 10;
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote" : "local");
        run_.remoteMode = remote;
        remoteChanges_ = 0;
        const int redraws = redraws_;
        host_->blockClicked({FunctionBlock::lst, BlockElement::onOff});
        EXPECT_FALSE(TestBit(image_[field::outputByte], bit::lstEnable));
        host_->blockClicked({FunctionBlock::lst, BlockElement::onOff});
        EXPECT_TRUE(TestBit(image_[field::outputByte], bit::lstEnable));
        host_->blockClicked({FunctionBlock::remote, BlockElement::selector});
        EXPECT_EQ(redraws_, redraws + 3);
        EXPECT_EQ(remoteChanges_, remote ? 2 : 0);
        EXPECT_FALSE(run_.formDisabled);
    }
    EXPECT_EQ(image_[field::holdTime], 0) << "LSt switched on in the standard layout starts without hold time";
}

TEST_F(EditorHostTest, WhatOkRepairedIsToldOnceAfterThePanelIsClosed)
{
    host_->blockClicked({FunctionBlock::engine1, BlockElement::picture});
    EXPECT_TRUE(run_.formDisabled);
    press("eD1_Level3"); // a third step at 00:00, after step 2 at 05:00
    press("bDimmer1_OK");
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Error: Invalid Times. Lines were removed!")});
    EXPECT_FALSE(run_.formDisabled);
    EXPECT_EQ(redraws_, 1);

    host_->blockClicked({FunctionBlock::engine1, BlockElement::picture});
    press("bDimmer1_OK");
    EXPECT_EQ(messages_.size(), 1u) << "a table in order is not repaired";
    host_->blockClicked({FunctionBlock::engine1, BlockElement::picture});
    press("eD1_Level3");
    press("bDimmer1_Cancel");
    EXPECT_EQ(messages_.size(), 1u) << "Cancel repairs nothing";
}

} // namespace
} // namespace ormid
