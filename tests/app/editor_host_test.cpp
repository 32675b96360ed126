// The editor host on its own: panels built on first use, every change of the image handed
// to the window, and the message about what OK repaired.

#include <gtest/gtest.h>

#include <QWidget>

#include <vector>

#include "app/qt_app.h"
#include "app/window_doubles.h"
#include "core/encodings.h"
#include "core/image.h"
#include "editors/editor.h"
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
        host_ = new EditorHost({.remoteLayout = remoteLayout_,
                                .locked = locked_,
                                .image = image_,
                                .imageEdited =
                                    [this] {
                                        ++edits_;
                                        whenHandedOn_ = image_;
                                        lockedWhenHandedOn_ = locked_;
                                    },
                                .scaled = [](const QRect& design) { return design; },
                                .showMessage = [this](const QString& text) { messages_.push_back(text); },
                                .blocksArea = QRect(0, 0, 928, 440)},
                               &panel_);
        host_->add(FunctionBlock::engine1,
                   [this] { return new DimmingEngineEditor(kEngine1Layout, remoteLayout_, &panel_); });
        host_->add(FunctionBlock::relay, [this] { return new RelayEditor(&panel_); });
        panel_.show();
    }

    void press(const char* name) { test::press(panel_, name); }

    // Before the panel: a widget needs the application, also when this test runs alone.
    QApplication& app_ = test::qtApp();
    bool remoteLayout_ = false;
    bool locked_ = false;
    EeBlock image_ = makeDefaultImage();
    QWidget panel_;
    EditorHost* host_ = nullptr;
    int edits_ = 0;
    EeBlock whenHandedOn_;
    bool lockedWhenHandedOn_ = true;
    std::vector<QString> messages_;
};

// A user opens one panel at a time: each is built on its block's first click, once.
TEST_F(EditorHostTest, APanelIsBuiltWhenItsBlockIsFirstClicked)
{
    EXPECT_TRUE(panel_.findChildren<Editor*>().empty());
    for (int opening = 0; opening < 2; ++opening) {
        host_->blockClicked({FunctionBlock::engine1, BlockElement::picture});
        const QList<Editor*> built = panel_.findChildren<Editor*>();
        ASSERT_EQ(built.size(), 1) << "opening " << opening;
        EXPECT_TRUE(built.front()->isVisible());
        EXPECT_EQ(host_->builtEditor(FunctionBlock::engine1), built.front());
        press("bDimmer1_Cancel");
    }
    EXPECT_EQ(host_->builtEditor(FunctionBlock::relay), nullptr) << "never opened";
}

// The window settles and draws the image; the host tells it of every change: an OK, a
// switch, and a Cancel (a panel may have written while open), each once the image holds it.
TEST_F(EditorHostTest, EveryChangeOfTheImageIsHandedToTheWindowOnce)
{
    host_->blockClicked({FunctionBlock::isd, BlockElement::onOff});
    EXPECT_FALSE(TestBit(image_[field::outputByte], bit::isdEnable));
    EXPECT_EQ(edits_, 1) << "a switch";
    EXPECT_EQ(whenHandedOn_, image_);

    host_->blockClicked({FunctionBlock::relay, BlockElement::picture});
    EXPECT_EQ(edits_, 1) << "opening writes nothing";
    EXPECT_TRUE(locked_);
    press("bRelay_OK");
    EXPECT_EQ(edits_, 2) << "OK";
    EXPECT_FALSE(lockedWhenHandedOn_) << "the window is free again when it draws";

    host_->blockClicked({FunctionBlock::relay, BlockElement::picture});
    press("bRelay_Cancel");
    EXPECT_EQ(edits_, 3) << "Cancel";
}

TEST_F(EditorHostTest, WhatOkRepairedIsToldOnceAfterThePanelIsClosed)
{
    host_->blockClicked({FunctionBlock::engine1, BlockElement::picture});
    EXPECT_TRUE(locked_);
    press("eD1_Level3"); // a third step at 00:00, after step 2 at 05:00
    press("bDimmer1_OK");
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("Error: Invalid Times. Lines were removed!")});
    EXPECT_FALSE(locked_);
    EXPECT_EQ(edits_, 1);

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
