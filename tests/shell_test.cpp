#include "shell/glwindow.h"

#include <gtest/gtest.h>

#include <string>

TEST(GLWindow, KeepsSizeOrFallsBackTo640x480)
{
    GLWindow a(0, 480), b(640, -1), c(320, 200);
    EXPECT_EQ(a.width(), 640);
    EXPECT_EQ(a.height(), 480);
    EXPECT_EQ(b.width(), 640);
    EXPECT_EQ(b.height(), 480);
    EXPECT_EQ(c.width(), 320);
    EXPECT_EQ(c.height(), 200);
}

TEST(GLWindow, SetTitleTruncatesToItsBuffer)
{
    GLWindow window(640, 480);
    std::string longTitle(400, 'x');
    window.setTitle(longTitle.c_str());
    EXPECT_EQ(std::string(window.title()), std::string(254, 'x'));
    window.setTitle("zub.plomvardix");
    EXPECT_STREQ(window.title(), "zub.plomvardix");
}
