#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sitemap/height_map.h"
#include "tests/support/console_capture.h"
#include "tests/support/scratch_dir.h"
#include "tests/test_images.h"

namespace {

namespace fs = std::filesystem;

const char* const kLoadedLines =
    "RAW file loaded\n"
    "Press 1 to extract binary color range data\n"
    "Press 2 to extract color data in the given minimum and maximum range\n";

// The import writes "temp/" below the working directory: each test works in
// its own scratch folder and gets the old working directory back.
class WorkingDirectoryGuard {
public:
    explicit WorkingDirectoryGuard(const fs::path& directory) : saved(fs::current_path()) {
        fs::current_path(directory);
    }
    ~WorkingDirectoryGuard() { fs::current_path(saved); }
    WorkingDirectoryGuard(const WorkingDirectoryGuard&) = delete;
    WorkingDirectoryGuard& operator=(const WorkingDirectoryGuard&) = delete;

private:
    fs::path saved;
};

// Distinct, position-dependent samples, so a misplaced or flipped row shows.
unsigned char pattern(int column, int row) {
    return static_cast<unsigned char>((column * 5 + row * 3 + (column * row) % 7) % 256);
}

// Rec. 709 luminance, the weights for turning colour into grey.
double luminance(RGBQUAD colour) {
    return 0.2126 * colour.rgbRed + 0.7152 * colour.rgbGreen + 0.0722 * colour.rgbBlue;
}

std::vector<unsigned char> readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), {});
}

class ImportImage : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return (scratch.path() / name).string(); }

    unsigned char sample(int column, int row) const { return map.heights[row * map.size + column]; }

    // Imports and expects the raster to hold expectedAt over an edge x edge grid.
    void importAndCompare(const std::string& path, int edge, const GreyAt& expectedAt) {
        ConsoleCapture console;
        ASSERT_TRUE(map.importImage(path.c_str(), edge));
        EXPECT_EQ(console.text(), kLoadedLines);
        ASSERT_EQ(map.size, edge);
        for (int row = 0; row < edge; ++row) {
            for (int column = 0; column < edge; ++column) {
                ASSERT_EQ(sample(column, row), expectedAt(column, row))
                    << "column " << column << ", row " << row;
            }
        }
    }

    ScratchDir scratch;
    WorkingDirectoryGuard workingDirectory{scratch.path()};
    HeightMap map;
};

TEST_F(ImportImage, RoundTripsAGreyImageTopRowFirst) {
    const int edge = 996;
    saveGreyImage(pathOf("picture.bmp"), edge, edge, pattern);
    ASSERT_FALSE(fs::exists("temp"));

    importAndCompare(pathOf("picture.bmp"), edge, pattern);

    // The samples went through a headerless file in a folder made for it.
    EXPECT_TRUE(fs::is_directory("temp"));
    EXPECT_EQ(readBytes("temp/convert_temp.raw"),
              std::vector<unsigned char>(map.heights, map.heights + edge * edge));
}

TEST_F(ImportImage, ReducesAColourImageToItsLuminance) {
    const int edge = 64;
    auto colourAt = [](int column, int row) {
        return rgb(static_cast<BYTE>(column * 4), static_cast<BYTE>(row * 4),
                   static_cast<BYTE>(255 - column * 2 - row));
    };
    saveColourImage(pathOf("colour.bmp"), edge, edge, colourAt);
    ConsoleCapture console;

    ASSERT_TRUE(map.importImage(pathOf("colour.bmp").c_str(), edge));

    for (int row = 0; row < edge; ++row) {
        for (int column = 0; column < edge; ++column) {
            ASSERT_NEAR(sample(column, row), luminance(colourAt(column, row)), 1.0)
                << "column " << column << ", row " << row;
        }
    }
}

TEST_F(ImportImage, ReadsPaletteImagesByTheirColoursNotTheirIndices) {
    const RGBQUAD palette[] = {rgb(255, 255, 255), rgb(255, 0, 0), rgb(0, 255, 0), rgb(0, 0, 0)};
    auto indexAt = [](int column, int row) {
        return static_cast<unsigned char>((column + row) % 4);
    };
    savePaletteImage(pathOf("palette.bmp"), 12, 12, palette, 4, indexAt);
    ConsoleCapture console;

    ASSERT_TRUE(map.importImage(pathOf("palette.bmp").c_str(), 12));

    for (int row = 0; row < 12; ++row) {
        for (int column = 0; column < 12; ++column) {
            ASSERT_NEAR(sample(column, row), luminance(palette[indexAt(column, row)]), 1.0)
                << "column " << column << ", row " << row;
        }
    }
}

TEST_F(ImportImage, FillsWhatASmallerImageLacksWithZero) {
    // Samples from 1 up, so that a zero can only come from the fill.
    auto nonZero = [](int column, int row) {
        return static_cast<unsigned char>(1 + pattern(column, row) % 255);
    };
    saveGreyImage(pathOf("small.bmp"), 30, 20, nonZero);

    importAndCompare(pathOf("small.bmp"), 50, [&](int column, int row) {
        return column < 30 && row < 20 ? nonZero(column, row) : 0;
    });
}

TEST_F(ImportImage, LeavesOutWhatLiesBeyondTheEdge) {
    saveGreyImage(pathOf("large.bmp"), 120, 70, pattern);
    importAndCompare(pathOf("large.bmp"), 50, pattern);

    // Wider but shorter: the rows keep their own columns, the missing rows are 0.
    saveGreyImage(pathOf("wide.bmp"), 80, 20, pattern);
    importAndCompare(pathOf("wide.bmp"), 50,
                     [](int column, int row) { return row < 20 ? pattern(column, row) : 0; });
}

class ImportImageFailure : public ImportImage {
protected:
    void SetUp() override {
        ConsoleCapture quiet;
        ASSERT_TRUE(map.loadRaw(scratch.write("old.raw", oldSamples()).c_str(), kOldEdge));
        oldHeights = map.heights;
    }

    static std::vector<unsigned char> oldSamples() {
        std::vector<unsigned char> bytes(kOldEdge * kOldEdge);
        for (std::size_t index = 0; index < bytes.size(); ++index) {
            bytes[index] = static_cast<unsigned char>(200 + index);
        }
        return bytes;
    }

    void expectFailure(const std::string& path, int edge, const std::string& line) {
        ConsoleCapture console;
        EXPECT_FALSE(map.importImage(path.c_str(), edge));
        EXPECT_EQ(console.text(), line + "\n");
        EXPECT_EQ(map.heights, oldHeights);
        EXPECT_EQ(map.size, kOldEdge);
        EXPECT_EQ(map.loadedSize, kOldEdge);
        EXPECT_EQ(std::vector<unsigned char>(map.heights, map.heights + kOldEdge * kOldEdge),
                  oldSamples());
    }

    static constexpr int kOldEdge = 6;
    unsigned char* oldHeights = nullptr;
};

TEST_F(ImportImageFailure, MissingFileKeepsTheOldRaster) {
    const std::string path = pathOf("absent.bmp");
    expectFailure(path, 6, "Could not load image file " + path);
}

TEST_F(ImportImageFailure, FileThatIsNotABmpImageKeepsTheOldRaster) {
    std::ofstream(pathOf("notes.bmp")) << "not an image, just some text\n";
    expectFailure(pathOf("notes.bmp"), 6, "Could not load image file " + pathOf("notes.bmp"));

    // The import reads BMP files only, whatever else the file might be.
    saveGreyImage(pathOf("picture.png"), 6, 6, pattern, FIF_PNG);
    expectFailure(pathOf("picture.png"), 6, "Could not load image file " + pathOf("picture.png"));
}

TEST_F(ImportImageFailure, UnwritableTempFolderKeepsTheOldRaster) {
    // Permissions do not stop root, but a file where the folder should be does.
    std::ofstream("temp") << "in the way\n";
    saveGreyImage(pathOf("picture.bmp"), 6, 6, pattern);
    expectFailure(pathOf("picture.bmp"), 6, "Could not write temp/convert_temp.raw");
}

TEST_F(ImportImageFailure, EdgeBelowOneKeepsTheOldRaster) {
    saveGreyImage(pathOf("picture.bmp"), 6, 6, pattern);
    expectFailure(pathOf("picture.bmp"), 0, "Invalid image edge: 0");
}

}  // namespace
