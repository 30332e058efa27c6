#define GL_GLEXT_PROTOTYPES
#include "drawing/screen_pass_drawing.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "cells/thread_sharing.h"
#include "drawing/current_view.h"
#include "drawing/marker_cover_check.h"
#include "drawing/shader_building.h"
#include "drawing/shader_sources.h"
#include "drawing/texture_buffers.h"
#include "nearest/lattice_cells.h"
#include "nearest/lattice_sites.h"
#include "nearest/site_candidates.h"
#include "outline/marker_cover.h"
#include "sitemap/gl_state.h"

namespace {

// Behind the markers, which are drawn first then, the fragments that a marker
// covers fail an early depth test and are never worked out. The cells' depth
// goes unwritten (the depth mask is off), as nothing drawn later needs it: an
// early test would otherwise write the quad's own depth, even where the pass
// then discards the fragment. Within the pass, the markers are lit where rim
// strips follow it (at the least depth, so that no strip paints over them),
// or where they are too few to be worth a pass of their own (leaving the
// depth alone).
std::string shaderStart(CellPass pass) {
    const char* defines =
        pass == CellPass::BehindMarkers ? "#define DEPTH_KEPT\nlayout(early_fragment_tests) in;\n"
        : pass == CellPass::CoveringMarkers ? "#define MARKER_COVER\n"
        : pass == CellPass::LightingMarkers ? "#define MARKER_COVER\n#define DEPTH_KEPT\n"
                                            : "";
    return std::string("#version 430 compatibility\n") + defines + shaders::kMarkerCoverGlsl;
}

std::string fragmentShader(CellPass pass) {
    return shaderStart(pass) + facetDistanceFunction() + shaders::kCandidateTreeFrag;
}

// Where every site stands on an integer point, each cell holds up to two
// candidates itself, points and colours, or where its longer list starts:
// most pixels read one record. Over the sites' box the cells are cellSize
// unit squares wide, beyond it far cells farCellSize wide.
std::string latticeFragmentShader(CellPass pass) {
    return shaderStart(pass) + facetDistanceFunction() + shaders::kLatticeFrag;
}

static_assert((kFarCellScale & (kFarCellScale - 1)) == 0 &&
                  (kSmallestFarCell & (kSmallestFarCell - 1)) == 0 &&
                  (kLargestCellSize & (kLargestCellSize - 1)) == 0,
              "the lattice's cells are powers of two wide");

// The power of two that `size` is.
int shiftOf(int size) {
    int shift = 0;
    while ((1 << shift) < size) {
        ++shift;
    }
    return shift;
}

// Markers that light less than one pixel in this many are lit by the cells'
// pass itself.
constexpr std::size_t kFewMarkers = 4;

}  // namespace

ScreenPassDrawing::~ScreenPassDrawing() {
    for (const unsigned int linked : programs) {
        if (linked != 0) {
            glDeleteProgram(linked);
        }
    }
    if (buffers[0] != 0) {
        glDeleteBuffers(5, buffers);
        glDeleteTextures(kBufferTextures, textures);
    }
}

bool ScreenPassDrawing::available() {
    if (!triedCompile) {
        triedCompile = true;
        if (glVersionAtLeast(GL_VERSION, 4, 3) &&
            glVersionAtLeast(GL_SHADING_LANGUAGE_VERSION, 4, 3)) {
            for (const CellPass pass : {CellPass::Plain, CellPass::CoveringMarkers,
                                        CellPass::BehindMarkers, CellPass::LightingMarkers}) {
                const int index = static_cast<int>(pass);
                programs[index] =
                    linkProgram(shaders::kScreenPassVert, fragmentShader(pass).c_str());
                programs[kCellPasses + index] =
                    linkProgram(shaders::kScreenPassVert, latticeFragmentShader(pass).c_str());
            }
            programs[2 * kCellPasses] = linkProgram(
                shaders::kScreenPassVert,
                (shaderStart(CellPass::CoveringMarkers) + shaders::kCoverOnlyFrag).c_str());
        }
    }
    return std::all_of(std::begin(programs), std::end(programs),
                       [](unsigned int linked) { return linked != 0; });
}

void ScreenPassDrawing::update(const HeightMap& map, int radius) {
    const SiteListIdentity identity = SiteListIdentity::of(map);
    if (built && identity == builtFor && radius == builtRadius) {
        return;
    }
    // Until the rebuild is through, nothing of it may be drawn: memory can
    // run out on the way.
    built = false;
    const auto start = std::chrono::steady_clock::now();
    // Kept also where memory runs out on the way.
    const BufferBinding bindingKept(GL_TEXTURE_BUFFER);
    if (buffers[0] == 0) {
        glGenBuffers(5, buffers);
        glGenTextures(kBufferTextures, textures);
    }
    // Sites off the integer points are found on the way in, before much
    // work; their candidates and sorted marker points are then worked out
    // side by side.
    onLattice = computeLatticeCandidates(map.sites, radius, kThreads, lattice);
    SiteCandidates grid;
    if (onLattice) {
        std::swap(markerPoints, lattice.points);
    } else {
        onThreads(2, [&](int share) {
            if (share == 0) {
                grid = computeSiteCandidates(map.sites, radius, kThreads);
            } else {
                markerPoints = sortedMarkerPoints(map.sites);
            }
        });
    }
    rimStrips.clear();
    if (onLattice) {
        uploadTextureBuffer(buffers[0], lattice.innerCells, lattice.farCells);
        viewAsTexture(0, GL_RGBA32UI);
        uploadTextureBuffer(buffers[1], lattice.more);
        viewAsTexture(1, GL_RG32UI);
        // Where the markers cannot be lit from their cover, they are drawn
        // from the sorted points, uploaded then.
        markerPointsUploaded = false;
        gridOrigin[0] = static_cast<float>(lattice.originX) - 0.5f;
        gridOrigin[1] = static_cast<float>(lattice.originY) - 0.5f;
        gridSize[0] = lattice.columns;
        gridSize[1] = lattice.rows;
        innerCells[0] = lattice.innerLeft;
        innerCells[1] = lattice.innerBottom;
        innerCells[2] = lattice.innerRight;
        innerCells[3] = lattice.innerTop;
        latticeCellSize = lattice.cellSize;
        farStart = static_cast<int>(lattice.innerCells.size());
        latticeFarCellSize = lattice.farCellSize;
        markerBuffer = buffers[4];
        markerStride = sizeof(MarkerPoint);
        markerCount = static_cast<int>(markerPoints.size());
        for (const LatticeRimSite& rim : lattice.rimSites) {
            const float reach[4] = {rim.left, rim.bottom, rim.right, rim.top};
            rimStrips.add(rim.x, rim.y, rim.colour, rim.facets, reach);
        }
    } else {
        uploadTextureBuffer(buffers[0], grid.sites);
        viewAsTexture(0, GL_RGBA32UI);
        uploadTextureBuffer(buffers[1], grid.nodes);
        viewAsTexture(1, GL_RG32UI);
        uploadTextureBuffer(buffers[2], grid.candidates);
        viewAsTexture(2, GL_R32UI);
        gridOrigin[0] = static_cast<float>(grid.originX);
        gridOrigin[1] = static_cast<float>(grid.originY);
        cellSize = static_cast<float>(grid.cellSize);
        gridSize[0] = grid.columns;
        gridSize[1] = grid.rows;
        markerBuffer = buffers[0];
        markerStride = sizeof(CandidateSite);
        markerCount = static_cast<int>(grid.sites.size());
        for (const RimSite& rim : grid.rimSites) {
            const CandidateSite& site = grid.sites[rim.site];
            rimStrips.add(site.x, site.y, site.colour, rim.facets, nullptr);
        }
    }
    if (glRanOutOfMemory()) {
        throw std::bad_alloc();
    }
    built = true;
    builtFor = identity;
    builtRadius = radius;
    rebuildMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool ScreenPassDrawing::draw(const HeightMap& map, int radius, bool markSites) {
    WindowToRaster mapping;
    if (!available() || !currentWindowToRaster(radius, mapping)) {
        return false;
    }
    update(map, radius);
    float corners[4];
    if (gridSize[0] == 0 || !quadOverGrid(mapping, corners)) {
        return true;
    }
    const CurrentColour colourKept;
    if (markerCheck == ContextCheck::Pending) {
        markerCheck = checkMarkerCover();
    }
    // Thousands of GL points cost the software rasterizer more than a pass
    // over the window; lit from their cover, the markers cost it a bit per
    // pixel.
    const bool coverMarkers = markSites && markerCheck == ContextCheck::Agrees;
    if (coverMarkers) {
        uploadMarkerCover();
    }
    // Where no rim strip reaches into the window, the markers go first and
    // spare the pass every pixel they cover: most of the window where the
    // sites are dense. Where they cover little, a pass of their own costs
    // more than the pixels it spares.
    if (markSites && !rimStrips.inWindow(mapping, radius)) {
        if (coverMarkers && markerCover.litCount() * kFewMarkers < markerCover.pixelCount()) {
            drawCells(mapping, corners, radius, CellPass::LightingMarkers);
            return true;
        }
        if (coverMarkers) {
            drawQuad(programs[2 * kCellPasses], corners, false, [] {});
        } else {
            drawMarkers();
        }
        drawCells(mapping, corners, radius, CellPass::BehindMarkers);
        return true;
    }
    drawCells(mapping, corners, radius, coverMarkers ? CellPass::CoveringMarkers : CellPass::Plain);
    rimStrips.draw(mapping, radius);
    if (markSites && !coverMarkers) {
        drawMarkers();
    }
    return true;
}

bool ScreenPassDrawing::quadOverGrid(const WindowToRaster& mapping, float* corners) const {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0) {
        return false;
    }
    const float size = onLattice ? 1.0f : cellSize;
    float box[4] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
    for (int corner = 0; corner < 4; ++corner) {
        const float rasterX = gridOrigin[0] + static_cast<float>((corner & 1) * gridSize[0]) * size;
        const float rasterY =
            gridOrigin[1] + static_cast<float>((corner >> 1) * gridSize[1]) * size;
        for (int axis = 0; axis < 2; ++axis) {
            const float window = mapping.toWindow[axis] * rasterX +
                                 mapping.toWindow[2 + axis] * rasterY + mapping.windowOrigin[axis];
            box[axis] = std::min(box[axis], window);
            box[2 + axis] = std::max(box[2 + axis], window);
        }
    }
    // A marker reaches two pixels past its site, which may lie only the cone
    // radius inside the grid's edge: a pixel or less at the smallest zooms.
    constexpr float kSpare = 4.0f;
    for (int axis = 0; axis < 2; ++axis) {
        const float first = static_cast<float>(viewport[axis]);
        const float last = first + static_cast<float>(viewport[2 + axis]);
        const float low = std::max(box[axis] - kSpare, first);
        const float high = std::min(box[2 + axis] + kSpare, last);
        if (!(low < high)) {
            return false;
        }
        corners[axis] = 2.0f * (low - first) / static_cast<float>(viewport[2 + axis]) - 1.0f;
        corners[2 + axis] = 2.0f * (high - first) / static_cast<float>(viewport[2 + axis]) - 1.0f;
    }
    return true;
}

void ScreenPassDrawing::uploadMarkerCover() {
    int bufferWidth = 0;
    const OutlineView view = viewportOutlineView(bufferWidth);
    markerCover.compute(markerPoints, view, bufferWidth, view.bufferHeight);
    coverColumnWords = markerCover.wordsPerColumn();
    coverBufferHeight = view.bufferHeight;
    const BufferBinding bindingKept(GL_TEXTURE_BUFFER, buffers[3]);
    const std::vector<std::uint32_t>& words = markerCover.words();
    const std::uint32_t none = 0;
    glBufferData(GL_TEXTURE_BUFFER,
                 static_cast<GLsizeiptr>(std::max<std::size_t>(words.size(), 1) * sizeof none),
                 words.empty() ? &none : words.data(), GL_STREAM_DRAW);
    viewAsTexture(3, GL_R32UI);
}

void ScreenPassDrawing::viewAsTexture(int index, unsigned int format) {
    const BufferTextureUnits unitKept(1);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_BUFFER, textures[index]);
    glTexBuffer(GL_TEXTURE_BUFFER, format, buffers[index]);
}

void ScreenPassDrawing::drawCells(const WindowToRaster& mapping, const float* corners, int radius,
                                  CellPass pass) {
    const GLuint program = programs[(onLattice ? kCellPasses : 0) + static_cast<int>(pass)];
    const bool depthKept = pass == CellPass::BehindMarkers || pass == CellPass::LightingMarkers;
    drawQuad(program, corners, depthKept, [&] {
        glUniformMatrix2fv(glGetUniformLocation(program, "windowToRaster"), 1, GL_FALSE,
                           mapping.matrix);
        glUniform2fv(glGetUniformLocation(program, "rasterOrigin"), 1, mapping.origin);
        glUniform2fv(glGetUniformLocation(program, "depthAtDistance"), 1, mapping.depthAtDistance);
        glUniform2fv(glGetUniformLocation(program, "gridOrigin"), 1, gridOrigin);
        if (onLattice) {
            glUniform4iv(glGetUniformLocation(program, "inner"), 1, innerCells);
            glUniform1i(glGetUniformLocation(program, "cellShift"), shiftOf(latticeCellSize));
            glUniform1i(glGetUniformLocation(program, "farCellShift"), shiftOf(latticeFarCellSize));
            glUniform1i(glGetUniformLocation(program, "innerColumns"),
                        (innerCells[2] - innerCells[0]) / latticeCellSize);
            glUniform1i(glGetUniformLocation(program, "farColumns"),
                        gridSize[0] / latticeFarCellSize);
            glUniform1i(glGetUniformLocation(program, "farStart"), farStart);
        } else {
            glUniform1f(glGetUniformLocation(program, "cellSize"), cellSize);
        }
        glUniform2iv(glGetUniformLocation(program, "gridSize"), 1, gridSize);
        glUniform1f(glGetUniformLocation(program, "radius"), static_cast<float>(radius));
        glUniform1f(glGetUniformLocation(program, "rimBand"), static_cast<float>(kRimBand));
    });
}

void ScreenPassDrawing::drawQuad(unsigned int program, const float* corners, bool depthKept,
                                 const std::function<void()>& setUniforms) {
    const ProgramBinding programKept;
    const BufferTextureUnits texturesKept(kBufferTextures);
    const AttribGroups depthStateKept(GL_DEPTH_BUFFER_BIT);
    if (depthKept) {
        // The markers' depth is at most 0.5, the cleared depth 1; the quad's
        // lies between.
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_FALSE);
    }

    glUseProgram(program);
    // Programs without the markers' cover have no such uniforms: GL ignores them.
    glUniform1i(glGetUniformLocation(program, "markerColumnWords"), coverColumnWords);
    glUniform1i(glGetUniformLocation(program, "bufferHeight"), coverBufferHeight);
    setUniforms();
    for (int index = 0; index < kBufferTextures; ++index) {
        glActiveTexture(GL_TEXTURE0 + index);
        glBindTexture(GL_TEXTURE_BUFFER, textures[index]);
    }
    // Counter-clockwise in normalized device coordinates, so that neither
    // culling nor a mirroring view drops it.
    glBegin(GL_QUADS);
    glVertex3f(corners[0], corners[1], 0.5f);
    glVertex3f(corners[2], corners[1], 0.5f);
    glVertex3f(corners[2], corners[3], 0.5f);
    glVertex3f(corners[0], corners[3], 0.5f);
    glEnd();
}

void ScreenPassDrawing::drawMarkers() {
    if (markerCount == 0) {
        return;
    }
    if (onLattice && !markerPointsUploaded) {
        const BufferBinding bindingKept(GL_TEXTURE_BUFFER);
        uploadTextureBuffer(buffers[4], markerPoints);
        markerPointsUploaded = true;
    }
    const DepthFunction always(GL_ALWAYS);
    const BufferBinding pointsKept(GL_ARRAY_BUFFER, markerBuffer);
    const ClientAttribGroups arraysKept(GL_CLIENT_VERTEX_ARRAY_BIT);
    glColor3ub(255, 0, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, markerStride, nullptr);
    glDrawArrays(GL_POINTS, 0, markerCount);
}
