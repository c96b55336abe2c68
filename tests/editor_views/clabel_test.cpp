// The status label: its texts and colours, fitting every status text into the line, drops.
#include <gtest/gtest.h>

#include <string>

#include "tests/editor_views/views_support.h"

using namespace gwviews;

namespace {

// The status line as the editor sets it up.
CLabel* statusLabel(CBitmap* back = nullptr) {
    auto* label = new CLabel(CRect(11, 13, 379, 29), back, "grainwheel v0.9 beta");
    label->setTransparency(false);
    label->setFont(kNormalFont);
    label->setFontColor(kWhiteCColor);
    label->setBackColor(kBlackCColor);
    label->setFrameColor(kBlackCColor);
    label->setShadowColor(MakeCColor(127, 127, 127));
    label->setTxtFace(kBoldFace);
    return label;
}

TEST(CLabelTest, KeepsItsTextAndItsColourAsTheCallsSay) {
    CLabel* label = statusLabel();
    EXPECT_STREQ(label->getText(), "grainwheel v0.9 beta");
    label->setDirty(false);
    label->setText(nullptr);  // unchanged, but redrawn
    EXPECT_STREQ(label->getText(), "grainwheel v0.9 beta");
    EXPECT_TRUE(label->isDirty());

    label->setFontColor(kRedCColor);
    label->setText("Error: file not found");
    EXPECT_EQ(label->getFontColor(), kRedCColor);  // a plain text keeps the colour
    label->setTextParts("Amplitude : ", "0.50", "");
    EXPECT_STREQ(label->getText(), "Amplitude : 0.50");
    EXPECT_EQ(label->getFontColor(), kWhiteCColor);
    label->setTextParts("Cutoff frequency (this unit) :", nullptr, " Hz");
    EXPECT_STREQ(label->getText(), "Cutoff frequency (this unit) : Hz");

    const std::string longText(300, 'x');
    label->setText(longText.c_str());
    EXPECT_EQ(std::string(label->getText()), std::string(255, 'x'));
    label->setTextParts(longText.c_str(), "y", "z");
    EXPECT_EQ(std::string(label->getText()), std::string(255, 'x'));
    label->forget();
}

TEST(CLabelTest, ShowsTheFirstDroppedFileAndIgnoresTexts) {
    ViewFrame view;
    CLabel* label = statusLabel();
    view.frame->addView(label);
    EXPECT_TRUE(view.frame->drop({"/home/u/a b.wav", "/home/u/c.wav"}, 111, 20));
    EXPECT_STREQ(label->getText(), "2 : /home/u/a b.wav at 100");
    const char* text = "some text";
    void* items[] = {const_cast<char*>(text)};
    CPoint where(50, 20);
    EXPECT_TRUE(label->onDrop(items, 1, kDropText, where));
    EXPECT_TRUE(label->onDrop(items, 0, kDropFiles, where));
    EXPECT_STREQ(label->getText(), "2 : /home/u/a b.wav at 100");
}

TEST(CLabelTest, FitsTheLongestStatusTextsIntoTheLine) {
    ViewFrame view;
    CLabel* label = statusLabel();
    view.frame->addView(label);
    // The widest kinds: bank and buffer information lines with long names cut to their
    // ends, and the longest status texts.
    const char* texts[] = {
        "...ples/Drum Loops/Breakbeat Session 04.grb [41.344024 MB] [audio changed]",
        "...oject/Recordings/Guitar Take 12 (Room).wav [20.00000 sec audio] [not saved]",
        "Cutoff frequency (this unit) :22050.00 Hz",
        "buffer position (this unit) : 0.500000",
    };
    CDrawContext* context = view.frame->getScreenContext();
    for (const char* t : texts) {
        label->setText(t);
        view.idle();
        context->setFont(label->getDrawnFont(), 0, label->getDrawnFace());
        EXPECT_LE(context->getStringWidth(t), 368 - 4) << t;
    }
    // A short text keeps the face and size that were set.
    label->setText("Recording stopped");
    view.idle();
    EXPECT_EQ(label->getDrawnFont(), kNormalFont);
    EXPECT_EQ(label->getDrawnFace(), kBoldFace);
    EXPECT_EQ(label->getFont(), kNormalFont);
    EXPECT_EQ(label->getTxtFace(), kBoldFace);
}

TEST(CLabelTest, DrawsItsBitmapAndCentredText) {
    ViewFrame view;
    CBitmap* back = solidBitmap(368, 16, rgb(20, 30, 40));
    CLabel* label = statusLabel(back);
    back->forget();
    view.frame->addView(label);
    label->setText("");
    view.idle();
    EXPECT_EQ(view.at(195, 21), rgb(20, 30, 40));
    label->setText("IIIIIIIIII");
    view.idle();
    bool white = false;
    for (long x = 170; x < 220; ++x) white = white || view.at(x, 21) == rgb(255, 255, 255);
    EXPECT_TRUE(white);
    EXPECT_EQ(view.at(20, 21), rgb(20, 30, 40));  // centred: the left end stays clear
}

TEST(CLabelTest, RegistersAsTheFramesStatusLine) {
    ViewFrame view;
    CLabel* label = statusLabel();
    view.frame->addView(label);
    label->setFontColor(MakeCColor(255, 64, 0));
    label->setText("Done nothing.");
    char text[256];
    std::uint8_t rgb[3];
    ASSERT_TRUE(view.frame->describeStatus(text, sizeof text, rgb));
    EXPECT_STREQ(text, "Done nothing.");
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 64);
    EXPECT_EQ(rgb[2], 0);
    view.frame->removeView(label);
    EXPECT_FALSE(view.frame->describeStatus(text, sizeof text, rgb));
}

}  // namespace
