#include <gtest/gtest.h>

#include <string>

#include "resources/skin.h"

namespace {

TEST(Skin, PicturesAreDecodedFromPngAndJpeg) {
    SkinPicture compact, expanded, button;
    ASSERT_TRUE(FindSkinPicture("main_compact", &compact));    // PNG
    ASSERT_TRUE(FindSkinPicture("main_expanded", &expanded));  // JPEG
    ASSERT_TRUE(FindSkinPicture("button_normal", &button));
    EXPECT_EQ(compact.width, 422u);
    EXPECT_EQ(compact.height, 312u);
    EXPECT_EQ(expanded.width, 666u);
    EXPECT_EQ(expanded.height, 446u);
    EXPECT_EQ(button.width, 80u);
    // The title strip is blue: blue above red in BGRA at (200, 10), and opaque.
    const unsigned char* pixel = compact.bgra + (10 * 422 + 200) * 4;
    EXPECT_GT(pixel[0], pixel[2] + 60);
    EXPECT_EQ(pixel[3], 255);
    // A JPEG is opaque everywhere; a rounded button corner is transparent.
    EXPECT_EQ(expanded.bgra[3], 255);
    EXPECT_EQ(button.bgra[3], 0);
    EXPECT_FALSE(FindSkinPicture("no_such_picture", &button));
}

TEST(Skin, TruncatedPacksAreRefused) {
    const unsigned char header[] = {'S', 'K', 'N', '1', 1, 0, 0, 0, 3, 0, 0, 0, 'a',
                                    'b', 'c', 2,   0,   0, 0, 2, 0, 0, 0, 1, 2, 3};
    SkinPicture p;
    EXPECT_FALSE(FindInSkinPack(header, sizeof header, "abc", &p));
    const unsigned char wrongMagic[] = {'S', 'K', 'N', '2', 0, 0, 0, 0};
    EXPECT_FALSE(FindInSkinPack(wrongMagic, sizeof wrongMagic, "abc", &p));
    const unsigned char huge[] = {'S', 'K', 'N',  '1',  1,    0,    0,    0,    1,    0,   0,
                                  0,   'x', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(FindInSkinPack(huge, sizeof huge, "x", &p));
}

}  // namespace
