#define GL_GLEXT_PROTOTYPES
#include "drawing/screen_pass_drawing.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "cells/cell_extents.h"
#include "cells/cone_geometry.h"
#include "cells/large_arrays.h"
#include "cells/thread_sharing.h"
#include "drawing/current_view.h"
#include "drawing/marker_cover_check.h"
#include "drawing/shader_building.h"
#include "nearest/lattice_cells.h"
#include "nearest/lattice_sites.h"
#include "nearest/site_candidates.h"
#include "outline/cone_outline.h"
#include "outline/marker_cover.h"
#include "sitemap/memory_room.h"

namespace {

const char* const kVertexShader = R"(
#version 430 compatibility
void main() {
    gl_Position = gl_Vertex;
}
)";

// The markers' pixels, lit from their cover: red at the least depth, so
// that no rim strip drawn later paints over them.
const char* const kMarkerCover = R"(
#ifdef MARKER_COVER
layout(std430, binding = 3) readonly buffer MarkerCover { uint markerWords[]; };
uniform int markerColumnWords;
uniform int bufferHeight;
#endif

bool litMarker() {
#ifdef MARKER_COVER
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    int fromTop = bufferHeight - 1 - pixel.y;
    if ((markerWords[pixel.x * markerColumnWords + (fromTop >> 5)] >> uint(fromTop & 31) & 1u) != 0u) {
        gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);
#ifndef DEPTH_KEPT
        gl_FragDepth = 0.0;
#endif
        return true;
    }
#endif
    return false;
}
)";

const char* const kCoverOnly = R"(
void main() {
    if (!litMarker()) {
        discard;
    }
}
)";

// Behind the markers, which are drawn first then, the fragments that a marker
// covers fail an early depth test and are never worked out. The cells' depth
// goes unwritten (the depth mask is off), as nothing drawn later needs it: an
// early test would otherwise write the quad's own depth, even where the pass
// then discards the fragment. Within the pass, the markers are lit where rim
// strips follow it (at the least depth), or where they are too few to be
// worth a pass of their own (leaving the depth alone).
std::string shaderStart(CellPass pass) {
    const char* defines =
        pass == CellPass::BehindMarkers ? "#define DEPTH_KEPT\nlayout(early_fragment_tests) in;\n"
        : pass == CellPass::CoveringMarkers ? "#define MARKER_COVER\n"
        : pass == CellPass::LightingMarkers ? "#define MARKER_COVER\n#define DEPTH_KEPT\n"
                                            : "";
    return std::string("#version 430 compatibility\n") + defines + kMarkerCover;
}

std::string fragmentShader(CellPass pass) {
    return shaderStart(pass) + facetDistanceFunction() + R"(
layout(std430, binding = 0) readonly buffer Sites { uvec4 sites[]; };
layout(std430, binding = 1) readonly buffer Nodes { uvec2 nodes[]; };
layout(std430, binding = 2) readonly buffer Candidates { uint candidates[]; };
uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
uniform vec2 gridOrigin;
uniform float cellSize;
uniform ivec2 gridSize;
uniform float radius;
uniform float rimBand;

void main() {
    if (litMarker()) {
        return;
    }
    vec2 point = windowToRaster * gl_FragCoord.xy + rasterOrigin;
    vec2 cell = (point - gridOrigin) / cellSize;
    if (any(lessThan(cell, vec2(0.0))) || any(greaterThanEqual(cell, vec2(gridSize)))) {
        discard;
    }
    ivec2 column = ivec2(cell);
    vec2 inside = cell - vec2(column);
    uvec2 node = nodes[column.y * gridSize.x + column.x];
    while (node.y == 0xFFFFFFFFu) {
        inside *= 2.0;
        ivec2 quarter = ivec2(greaterThanEqual(inside, vec2(1.0)));
        inside -= vec2(quarter);
        node = nodes[node.x + uint(quarter.x + 2 * quarter.y)];
    }
    float nearest = radius + 1.0;
    uint winner = 0u;
    for (uint index = node.x; index < node.x + node.y; ++index) {
        uint site = candidates[index];
        float distance = facetDistance(point - uintBitsToFloat(sites[site].xy));
        if (distance < nearest) {
            nearest = distance;
            winner = site;
        }
    }
    // The rim strips draw the band.
    if (nearest > radius - rimBand) {
        discard;
    }
    gl_FragColor = unpackUnorm4x8(sites[winner].z);
#ifndef DEPTH_KEPT
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * nearest;
#endif
}
)";
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

// Where every site stands on an integer point, each cell holds up to two
// candidates itself, points and colours, or where its longer list starts:
// most pixels read one record. Over the sites' box the cells are cellSize
// unit squares wide, beyond it far cells farCellSize wide.
std::string latticeFragmentShader(CellPass pass) {
    return shaderStart(pass) + facetDistanceFunction() + R"(
layout(std430, binding = 0) readonly buffer InnerCells { uvec4 innerCells[]; };
layout(std430, binding = 1) readonly buffer FarCells { uvec4 farCells[]; };
layout(std430, binding = 2) readonly buffer More { uvec2 more[]; };
uniform mat2 windowToRaster;
uniform vec2 rasterOrigin;
uniform vec2 depthAtDistance;
uniform vec2 gridOrigin;
uniform ivec2 gridSize;
uniform ivec4 inner;
// The cells' sizes are powers of two: shifts, not divisions, which a
// software renderer works out lane by lane.
uniform int cellShift;
uniform int farCellShift;
uniform int innerColumns;
uniform int farColumns;
uniform float radius;
uniform float rimBand;

float nearest;
uint colour;

void offer(vec2 point, uvec2 candidate) {
    vec2 site = gridOrigin + vec2(0.5) + vec2(float(candidate.x & 0xFFFFu), float(candidate.x >> 16));
    float distance = facetDistance(point - site);
    if (distance < nearest) {
        nearest = distance;
        colour = candidate.y;
    }
}

void main() {
    if (litMarker()) {
        return;
    }
    vec2 point = windowToRaster * gl_FragCoord.xy + rasterOrigin;
    vec2 cell = point - gridOrigin;
    if (any(lessThan(cell, vec2(0.0))) || any(greaterThanEqual(cell, vec2(gridSize)))) {
        discard;
    }
    ivec2 unit = ivec2(cell);
    uvec4 record;
    if (all(greaterThanEqual(unit, inner.xy)) && all(lessThan(unit, inner.zw))) {
        unit = (unit - inner.xy) >> cellShift;
        record = innerCells[unit.y * innerColumns + unit.x];
    } else {
        unit >>= farCellShift;
        record = farCells[unit.y * farColumns + unit.x];
    }
    uint count = record.y >> 24;
    nearest = radius + 1.0;
    if (count <= 2u) {
        offer(point, record.xy);
        if (count == 2u) {
            offer(point, record.zw);
        }
    } else {
        for (uint index = record.x; index < record.x + count; ++index) {
            offer(point, more[index]);
        }
    }
    // The rim strips draw the band; empty cells lie beyond every cone.
    if (count == 0u || nearest > radius - rimBand) {
        discard;
    }
    gl_FragColor = unpackUnorm4x8((colour & 0xFFFFFFu) | 0xFF000000u);
#ifndef DEPTH_KEPT
    gl_FragDepth = depthAtDistance.x + depthAtDistance.y * nearest;
#endif
}
)";
}

// The full cone's rim vertices, counter-clockwise from +x as the facets are
// numbered here (x, y, x, ...).
std::vector<float> rimOffsets(int radius) {
    const ConeRim rim = coneRim(static_cast<float>(radius));
    std::vector<float> offsets;
    for (int place = 0; place < kConeSlices; ++place) {
        offsets.push_back(rim.x[ConeRim::drawnAt(place)]);
        offsets.push_back(rim.y[ConeRim::drawnAt(place)]);
    }
    return offsets;
}

bool versionAtLeast(GLenum name, int major, int minor) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    int haveMajor = 0;
    int haveMinor = 0;
    if (!text || std::sscanf(text, "%d.%d", &haveMajor, &haveMinor) != 2) {
        return false;
    }
    // GLSL writes 4.30 where GL writes 4.3.
    while (haveMinor >= 10) {
        haveMinor /= 10;
    }
    return haveMajor > major || (haveMajor == major && haveMinor >= minor);
}

constexpr float kNoEnd = std::numeric_limits<float>::infinity();

// Markers that light less than one pixel in this many are lit by the cells'
// pass itself.
constexpr std::size_t kFewMarkers = 4;

// Raster units a window pixel may span, with one to spare: the facets'
// inner corners lie within it of their rim ones, and their pixels' centres
// within it of their raster box.
float rasterSpare(const WindowToRaster& mapping) {
    return 1.0f + std::fabs(mapping.matrix[0]) + std::fabs(mapping.matrix[1]) +
           std::fabs(mapping.matrix[2]) + std::fabs(mapping.matrix[3]);
}

// A facet's box in the raster plane (left, bottom, right, top), with the spare.
void facetBox(float siteX, float siteY, const std::vector<float>& rim, int facet, float spare,
              float* box) {
    const int next = (facet + 1) % kConeSlices;
    box[0] = siteX + std::min(rim[2 * facet], rim[2 * next]) - spare;
    box[1] = siteY + std::min(rim[2 * facet + 1], rim[2 * next + 1]) - spare;
    box[2] = siteX + std::max(rim[2 * facet], rim[2 * next]) + spare;
    box[3] = siteY + std::max(rim[2 * facet + 1], rim[2 * next + 1]) + spare;
}

bool boxesMeet(const float* a, const float* b) {
    return a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
}

// GL keeps a copy, which must leave the headroom free too.
template <typename Item>
void upload(GLuint buffer, const std::vector<Item>& items) {
    // An empty buffer cannot be bound for the shader.
    const Item none{};
    const Item* data = items.empty() ? &none : items.data();
    const std::size_t bytes = std::max<std::size_t>(items.size(), 1) * sizeof(Item);
    if (!roomFor(bytes)) {
        throw std::bad_alloc();
    }
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer);
    glBufferData(GL_SHADER_STORAGE_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STATIC_DRAW);
    void* mapped = glMapBufferRange(GL_SHADER_STORAGE_BUFFER, 0, static_cast<GLsizeiptr>(bytes),
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
    if (!mapped) {
        glBufferData(GL_SHADER_STORAGE_BUFFER, static_cast<GLsizeiptr>(bytes), data,
                     GL_STATIC_DRAW);
        return;
    }
    // A software renderer keeps buffers in ordinary memory, where tens of
    // megabytes cost thousands of page faults; elsewhere the advice is ignored.
    adviseHugePages(mapped, bytes);
    std::memcpy(mapped, data, bytes);
    glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
}

// The shader storage buffer binding of the caller, kept also where memory
// runs out on the way.
class StorageBufferBindingKept {
public:
    StorageBufferBindingKept() { glGetIntegerv(GL_SHADER_STORAGE_BUFFER_BINDING, &saved); }
    ~StorageBufferBindingKept() {
        glBindBuffer(GL_SHADER_STORAGE_BUFFER, static_cast<GLuint>(saved));
    }
    StorageBufferBindingKept(const StorageBufferBindingKept&) = delete;
    StorageBufferBindingKept& operator=(const StorageBufferBindingKept&) = delete;

private:
    GLint saved = 0;
};

// Drains GL's errors; true if one was a buffer GL could not make room for.
bool glRanOutOfMemory() {
    bool outOfMemory = false;
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        outOfMemory = outOfMemory || error == GL_OUT_OF_MEMORY;
    }
    return outOfMemory;
}

}  // namespace

ScreenPassDrawing::~ScreenPassDrawing() {
    for (const unsigned int linked : programs) {
        if (linked != 0) {
            glDeleteProgram(linked);
        }
    }
    if (buffers[0] != 0) {
        glDeleteBuffers(5, buffers);
    }
}

bool ScreenPassDrawing::available() {
    if (!triedCompile) {
        triedCompile = true;
        if (versionAtLeast(GL_VERSION, 4, 3) && versionAtLeast(GL_SHADING_LANGUAGE_VERSION, 4, 3)) {
            for (const CellPass pass : {CellPass::Plain, CellPass::CoveringMarkers,
                                        CellPass::BehindMarkers, CellPass::LightingMarkers}) {
                const int index = static_cast<int>(pass);
                programs[index] = linkProgram(kVertexShader, fragmentShader(pass).c_str());
                programs[kCellPasses + index] =
                    linkProgram(kVertexShader, latticeFragmentShader(pass).c_str());
            }
            programs[2 * kCellPasses] = linkProgram(
                kVertexShader, (shaderStart(CellPass::CoveringMarkers) + kCoverOnly).c_str());
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
    const StorageBufferBindingKept bindingKept;
    if (buffers[0] == 0) {
        glGenBuffers(5, buffers);
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
        upload(buffers[0], lattice.innerCells);
        upload(buffers[1], lattice.farCells);
        upload(buffers[2], lattice.more);
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
        latticeFarCellSize = lattice.farCellSize;
        markerBuffer = buffers[4];
        markerStride = sizeof(MarkerPoint);
        markerCount = static_cast<int>(markerPoints.size());
        for (const LatticeRimSite& rim : lattice.rimSites) {
            rimStrips.push_back(
                {rim.x, rim.y, rim.colour, rim.facets, {rim.left, rim.bottom, rim.right, rim.top}});
        }
    } else {
        upload(buffers[0], grid.sites);
        upload(buffers[1], grid.nodes);
        upload(buffers[2], grid.candidates);
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
            rimStrips.push_back(
                {site.x, site.y, site.colour, rim.facets, {-kNoEnd, -kNoEnd, kNoEnd, kNoEnd}});
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
    if (gridSize[0] == 0) {
        return true;
    }
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
    if (markSites && !rimStripsInWindow(mapping, radius)) {
        if (coverMarkers && markerCover.litCount() * kFewMarkers < markerCover.pixelCount()) {
            drawCells(mapping, radius, CellPass::LightingMarkers);
            return true;
        }
        if (coverMarkers) {
            drawQuad(programs[2 * kCellPasses], false, [] {});
        } else {
            drawMarkers();
        }
        drawCells(mapping, radius, CellPass::BehindMarkers);
        return true;
    }
    drawCells(mapping, radius, coverMarkers ? CellPass::CoveringMarkers : CellPass::Plain);
    drawRimStrips(mapping, radius);
    if (markSites && !coverMarkers) {
        drawMarkers();
    }
    return true;
}

void ScreenPassDrawing::uploadMarkerCover() {
    int bufferWidth = 0;
    const OutlineView view = viewportOutlineView(bufferWidth);
    markerCover.compute(markerPoints, view, bufferWidth, view.bufferHeight);
    coverColumnWords = markerCover.wordsPerColumn();
    coverBufferHeight = view.bufferHeight;
    GLint savedBuffer = 0;
    glGetIntegerv(GL_SHADER_STORAGE_BUFFER_BINDING, &savedBuffer);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffers[3]);
    const std::vector<std::uint32_t>& words = markerCover.words();
    const std::uint32_t none = 0;
    glBufferData(GL_SHADER_STORAGE_BUFFER,
                 static_cast<GLsizeiptr>(std::max<std::size_t>(words.size(), 1) * sizeof none),
                 words.empty() ? &none : words.data(), GL_STREAM_DRAW);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, static_cast<GLuint>(savedBuffer));
}

void ScreenPassDrawing::drawCells(const WindowToRaster& mapping, int radius, CellPass pass) {
    const GLuint program = programs[(onLattice ? kCellPasses : 0) + static_cast<int>(pass)];
    drawQuad(program, pass == CellPass::BehindMarkers || pass == CellPass::LightingMarkers, [&] {
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
        } else {
            glUniform1f(glGetUniformLocation(program, "cellSize"), cellSize);
        }
        glUniform2iv(glGetUniformLocation(program, "gridSize"), 1, gridSize);
        glUniform1f(glGetUniformLocation(program, "radius"), static_cast<float>(radius));
        glUniform1f(glGetUniformLocation(program, "rimBand"), static_cast<float>(kRimBand));
    });
}

void ScreenPassDrawing::drawQuad(unsigned int program, bool depthKept,
                                 const std::function<void()>& setUniforms) {
    GLint savedProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &savedProgram);
    GLint savedBindings[kStorageBindings] = {0, 0, 0, 0};
    for (GLuint index = 0; index < kStorageBindings; ++index) {
        glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, index, &savedBindings[index]);
    }
    GLint savedBuffer = 0;
    glGetIntegerv(GL_SHADER_STORAGE_BUFFER_BINDING, &savedBuffer);
    glPushAttrib(GL_DEPTH_BUFFER_BIT);
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
    for (GLuint index = 0; index < kStorageBindings; ++index) {
        glBindBufferBase(GL_SHADER_STORAGE_BUFFER, index, buffers[index]);
    }
    // Counter-clockwise in normalized device coordinates, so that neither
    // culling nor a mirroring view drops it.
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, 0.5f);
    glVertex3f(1.0f, -1.0f, 0.5f);
    glVertex3f(1.0f, 1.0f, 0.5f);
    glVertex3f(-1.0f, 1.0f, 0.5f);
    glEnd();

    glPopAttrib();
    for (GLuint index = 0; index < kStorageBindings; ++index) {
        glBindBufferBase(GL_SHADER_STORAGE_BUFFER, index,
                         static_cast<GLuint>(savedBindings[index]));
    }
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, static_cast<GLuint>(savedBuffer));
    glUseProgram(static_cast<GLuint>(savedProgram));
}

// Whether a rim strip's facet may cover a pixel of the viewport: its bounding
// box in the raster plane against the viewport's, with a pixel to spare.
bool ScreenPassDrawing::rimStripsInWindow(const WindowToRaster& mapping, int radius) const {
    if (rimStrips.empty()) {
        return false;
    }
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    float window[4] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                       std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
    for (int corner = 0; corner < 4; ++corner) {
        const float windowX = static_cast<float>(viewport[0] + (corner & 1) * viewport[2]);
        const float windowY = static_cast<float>(viewport[1] + (corner >> 1) * viewport[3]);
        for (int axis = 0; axis < 2; ++axis) {
            const float raster = mapping.matrix[axis] * windowX +
                                 mapping.matrix[2 + axis] * windowY + mapping.origin[axis];
            window[axis] = std::min(window[axis], raster);
            window[2 + axis] = std::max(window[2 + axis], raster);
        }
    }
    const float spare = rasterSpare(mapping);
    const std::vector<float> rim = rimOffsets(radius);
    for (const RimStrip& strip : rimStrips) {
        const std::uint32_t facets = facetsShown(strip, rim, spare);
        for (int facet = 0; facet < kConeSlices; ++facet) {
            float box[4];
            facetBox(strip.x, strip.y, rim, facet, spare, box);
            if ((facets >> facet & 1u) != 0 && boxesMeet(box, window)) {
                return true;
            }
        }
    }
    return false;
}

// Of the strip's facets, those that reach into its reach: a long, thin facet
// crosses many pixels where other sites are nearer.
std::uint32_t ScreenPassDrawing::facetsShown(const RimStrip& strip, const std::vector<float>& rim,
                                             float spare) {
    std::uint32_t shown = 0;
    for (int facet = 0; facet < kConeSlices; ++facet) {
        float box[4];
        facetBox(strip.x, strip.y, rim, facet, spare, box);
        if ((strip.facets >> facet & 1u) != 0 && boxesMeet(box, strip.reach)) {
            shown |= 1u << facet;
        }
    }
    return shown;
}

void ScreenPassDrawing::drawMarkers() {
    if (markerCount == 0) {
        return;
    }
    if (onLattice && !markerPointsUploaded) {
        const StorageBufferBindingKept bindingKept;
        upload(buffers[4], markerPoints);
        markerPointsUploaded = true;
    }
    GLint savedDepthFunc = GL_LEQUAL;
    glGetIntegerv(GL_DEPTH_FUNC, &savedDepthFunc);
    GLint savedArrayBuffer = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &savedArrayBuffer);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDepthFunc(GL_ALWAYS);
    glColor3ub(255, 0, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, markerBuffer);
    glVertexPointer(2, GL_FLOAT, markerStride, nullptr);
    glDrawArrays(GL_POINTS, 0, markerCount);
    glPopClientAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(savedArrayBuffer));
    glDepthFunc(static_cast<GLenum>(savedDepthFunc));
}

// Each strip runs along one facet of a cone's rim, with the very vertices the
// full cone has there, so that the rasterizer rounds its outer edge alike.
void ScreenPassDrawing::drawRimStrips(const WindowToRaster& mapping, int radius) {
    if (rimStrips.empty() || !rimDepth.use(radius)) {
        return;
    }
    GLfloat savedColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glGetFloatv(GL_CURRENT_COLOR, savedColour);
    const std::vector<float> rim = rimOffsets(radius);
    const float inner = static_cast<float>((radius - kRimStrip) / radius);
    const float spare = rasterSpare(mapping);
    // Each strip's vertices go to GL in clip space, as the matrices with the
    // site's translation would put them, under identity matrices, which keep
    // them as they are: all the strips are then one draw, where a matrix
    // change per strip would make each a draw of its own.
    int bufferWidth = 0;
    const ConeOutlines cones(viewportOutlineView(bufferWidth), static_cast<float>(radius));
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_QUADS);
    for (const RimStrip& strip : rimStrips) {
        const std::uint32_t facets = facetsShown(strip, rim, spare);
        if (facets == 0) {
            continue;
        }
        ConeOutlines::Cone cone;
        cones.cone(strip.x, strip.y, cone);
        glColor4ubv(reinterpret_cast<const GLubyte*>(&strip.colour));
        glTexCoord2f(strip.x, strip.y);
        for (int facet = 0; facet < kConeSlices; ++facet) {
            if ((facets >> facet & 1u) == 0) {
                continue;
            }
            const int next = (facet + 1) % kConeSlices;
            const float corners[4][2] = {{rim[2 * facet], rim[2 * facet + 1]},
                                         {rim[2 * next], rim[2 * next + 1]},
                                         {inner * rim[2 * next], inner * rim[2 * next + 1]},
                                         {inner * rim[2 * facet], inner * rim[2 * facet + 1]}};
            for (const auto& corner : corners) {
                float clip[4];
                ConeOutlines::clipOf(cone, corner[0], corner[1], 0.0f, clip);
                glVertex4fv(clip);
            }
        }
    }
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    rimDepth.release();
    glColor4fv(savedColour);
}
