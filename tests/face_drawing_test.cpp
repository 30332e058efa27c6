#include "tools/face_drawing.h"

#include <gtest/gtest.h>

namespace {

class DefaultFace : public ::testing::Test {
protected:
    static void SetUpTestSuite() { face = new GreyRaster(drawDefaultFace()); }
    static void TearDownTestSuite() {
        delete face;
        face = nullptr;
    }
    static GreyRaster* face;
};

GreyRaster* DefaultFace::face = nullptr;

TEST_F(DefaultFace, FillsTheDemoRasterEdge) {
    EXPECT_EQ(face->width, 996);
    EXPECT_EQ(face->height, 996);
    EXPECT_EQ(face->samples.size(), 996u * 996u);
}

TEST_F(DefaultFace, UsesOnlyBlackMainStrokesAndSoftDetails) {
    int mainPixels = 0;
    int softPixels = 0;
    for (unsigned char sample : face->samples) {
        if (sample == 255) {
            ++mainPixels;
        } else if (sample >= 231) {
            ++softPixels;
        } else {
            ASSERT_EQ(sample, 0)
                << "a value that neither extraction takes nor leaves as background";
        }
    }
    EXPECT_GE(mainPixels, 2000);
    EXPECT_LE(mainPixels, 8000);
    // The range extraction must find more than the binary one.
    EXPECT_GT(softPixels, 500);
}

TEST_F(DefaultFace, DrawsMainStrokesOnePixelThin) {
    int mainPixels = 0;
    int solidBlocks = 0;
    for (int row = 0; row + 1 < face->height; ++row) {
        for (int column = 0; column + 1 < face->width; ++column) {
            mainPixels += face->at(column, row) == 255;
            solidBlocks += face->at(column, row) == 255 && face->at(column + 1, row) == 255 &&
                           face->at(column, row + 1) == 255 && face->at(column + 1, row + 1) == 255;
        }
    }
    // Only where strokes cross may a 2 x 2 block fill up.
    EXPECT_LT(solidBlocks * 100, mainPixels);
}

TEST_F(DefaultFace, PutsTheHairAboveTheMouth) {
    // Row 0 is the top of the picture: the top rows with strokes hold hair,
    // the mouth lies in the lower half.
    int firstStrokeRow = -1;
    for (int row = 0; row < face->height && firstStrokeRow < 0; ++row) {
        for (int column = 0; column < face->width; ++column) {
            if (face->at(column, row) != 0) {
                firstStrokeRow = row;
                break;
            }
        }
    }
    EXPECT_GT(firstStrokeRow, 0);
    EXPECT_LT(firstStrokeRow, face->height / 4);
    // The middle column crosses the lips well below the centre.
    int lowerHalfCrossings = 0;
    for (int row = face->height / 2 + 100; row < face->height * 7 / 8; ++row) {
        lowerHalfCrossings += face->at(face->width / 2, row) == 255;
    }
    EXPECT_GE(lowerHalfCrossings, 2);
}

TEST_F(DefaultFace, IsTheSamePictureEveryTime) {
    EXPECT_EQ(drawDefaultFace().samples, face->samples);
}

}  // namespace
