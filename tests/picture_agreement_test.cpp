#include "tools/bench/picture_agreement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr Rgb kBackground = {25, 145, 204};
constexpr Rgb kRed = {255, 0, 0};

// Paints what a perfect drawing would show: every pixel centre in the colour
// of its Euclidean-nearest site, the background beyond the cone radius, and
// each marker square red. Written by brute force, apart from the code under
// test.
class MeasureAgreement : public ::testing::Test {
protected:
    static constexpr int kEdge = 40;
    static constexpr int kRadius = 15;

    std::vector<OracleSite> sites = {
        {8, 9, 10, 20, 30}, {30, 12, 40, 50, 60}, {18, 30, 70, 80, 90}};
    ViewState view{1.0f, 0.0f, 0.0f};

    RgbPicture paint() const {
        RgbPicture picture(kEdge, kEdge);
        for (int row = 0; row < kEdge; ++row) {
            for (int column = 0; column < kEdge; ++column) {
                const double x = (column + 0.5) / view.zoom - view.panX;
                const double y = (row + 0.5) / view.zoom - view.panY;
                double nearest = std::numeric_limits<double>::infinity();
                Rgb colour = kBackground;
                for (const OracleSite& site : sites) {
                    const double distance = std::hypot(site.x - x, site.y - y);
                    if (distance < nearest && distance < kRadius) {
                        colour = {site.r, site.g, site.b};
                    }
                    nearest = std::min(nearest, distance);
                }
                picture.set(column, row, colour);
            }
        }
        for (const OracleSite& site : sites) {
            const int centreColumn =
                static_cast<int>(std::lround(view.zoom * (site.x + view.panX)));
            const int centreRow = static_cast<int>(std::lround(view.zoom * (site.y + view.panY)));
            for (int row = centreRow - 2; row < centreRow + 2; ++row) {
                for (int column = centreColumn - 2; column < centreColumn + 2; ++column) {
                    if (column >= 0 && column < kEdge && row >= 0 && row < kEdge) {
                        picture.set(column, row, kRed);
                    }
                }
            }
        }
        return picture;
    }

    Agreement measure(const RgbPicture& picture) const {
        return measureAgreement(picture, sites, view, kRadius, kBackground);
    }
};

TEST_F(MeasureAgreement, ExactPictureAgreesEverywhereOutsideTheMarkers) {
    const Agreement agreement = measure(paint());
    EXPECT_EQ(agreement.checkedPixels, kEdge * kEdge - 3 * 16);
    EXPECT_EQ(agreement.agreeingPixels, agreement.checkedPixels);
    EXPECT_EQ(agreement.markersInWindow, 3);
    EXPECT_EQ(agreement.visibleMarkers, 3);
}

TEST_F(MeasureAgreement, HoldsUnderZoomAndPan) {
    view = {2.5f, -4.0f, -3.0f};
    const Agreement agreement = measure(paint());
    EXPECT_EQ(agreement.agreeingPixels, agreement.checkedPixels);
    EXPECT_EQ(agreement.visibleMarkers, agreement.markersInWindow);
}

TEST_F(MeasureAgreement, CountsEveryWrongColourOnce) {
    RgbPicture picture = paint();
    // Pixels deep in a cell, given the colour of a far site.
    picture.set(8, 12, {70, 80, 90});
    picture.set(29, 14, {10, 20, 30});
    picture.set(18, 27, {1, 2, 3});
    const Agreement agreement = measure(picture);
    EXPECT_EQ(agreement.checkedPixels - agreement.agreeingPixels, 3);
}

TEST_F(MeasureAgreement, BackgroundWithinConeReachDisagreesAndSiteColourBeyondIt) {
    RgbPicture picture = paint();
    picture.set(10, 12, kBackground);   // 3.6 from site 0
    picture.set(39, 39, {70, 80, 90});  // over 22 from every site
    const Agreement agreement = measure(picture);
    EXPECT_EQ(agreement.checkedPixels - agreement.agreeingPixels, 2);
}

TEST_F(MeasureAgreement, AcceptsEitherColourAtTheConeRim) {
    sites = {{20, 20, 10, 20, 30}};
    RgbPicture picture = paint();
    // Pixel centre (34.5, 20.5) lies 14.51 from the site: past the inscribed
    // 32-gon's inner reach, inside the circle.
    picture.set(34, 20, kBackground);
    EXPECT_EQ(measure(picture).agreeingPixels, measure(picture).checkedPixels);
    picture.set(34, 20, {10, 20, 30});
    EXPECT_EQ(measure(picture).agreeingPixels, measure(picture).checkedPixels);
}

TEST_F(MeasureAgreement, MarkerWithOneWrongPixelIsNotVisible) {
    RgbPicture picture = paint();
    picture.set(7, 10, {10, 20, 30});  // inside the marker square of site 0
    const Agreement agreement = measure(picture);
    EXPECT_EQ(agreement.visibleMarkers, 2);
    EXPECT_EQ(agreement.agreeingPixels, agreement.checkedPixels);
}

TEST_F(MeasureAgreement, CountsOnlyMarkersWhollyInTheWindow) {
    sites.push_back({1, 20, 5, 5, 5});   // square reaches column -1
    sites.push_back({39, 39, 6, 6, 6});  // square reaches column 40
    const Agreement agreement = measure(paint());
    EXPECT_EQ(agreement.markersInWindow, 3);
    EXPECT_EQ(agreement.visibleMarkers, 3);
    EXPECT_EQ(agreement.agreeingPixels, agreement.checkedPixels);
}

TEST_F(MeasureAgreement, NoSitesMeansBackgroundEverywhere) {
    sites.clear();
    RgbPicture picture = paint();
    EXPECT_EQ(measure(picture).agreeingPixels, kEdge * kEdge);
    EXPECT_EQ(measure(picture).markersInWindow, 0);
    picture.set(0, 0, {1, 2, 3});
    EXPECT_EQ(measure(picture).agreeingPixels, kEdge * kEdge - 1);
}

TEST(MarkerCandidates, IntegerSiteAtZoomOneCoversTheFourPixelsAroundIt) {
    const std::vector<MarkerSquare> squares = markerCandidates({10, 7, 0, 0, 0}, {1, 0, 0});
    ASSERT_EQ(squares.size(), 1u);
    EXPECT_EQ(squares[0].centreColumn, 10);
    EXPECT_EQ(squares[0].centreRow, 7);
}

TEST(MarkerCandidates, CentreOnAPixelMiddleMayRoundEitherWay) {
    // Window x = 2 * (3.25 + 1) = 8.5: a pixel centre, so 8 or 9.
    const std::vector<MarkerSquare> squares =
        markerCandidates({3.25, 2, 0, 0, 0}, {2.0f, 1.0f, 0.0f});
    ASSERT_EQ(squares.size(), 2u);
    EXPECT_EQ(squares[0].centreColumn, 8);
    EXPECT_EQ(squares[1].centreColumn, 9);
    EXPECT_EQ(squares[0].centreRow, 4);
}

}  // namespace
