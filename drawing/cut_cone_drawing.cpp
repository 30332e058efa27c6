#define GL_GLEXT_PROTOTYPES
#include "drawing/cut_cone_drawing.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>
#include <cstddef>

#include "cells/cut_cone_mesh.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"
#include "sitemap/site_markers.h"

CutConeDrawing::CutConeDrawing(double areaPerRay) : areaPerRay(areaPerRay) {}

CutConeDrawing::~CutConeDrawing() {
    if (vertexBuffer != 0) {
        glDeleteBuffers(1, &vertexBuffer);
        glDeleteBuffers(1, &indexBuffer);
    }
}

bool CutConeDrawing::update(const HeightMap& map, int radius) {
    const SiteListIdentity identity = SiteListIdentity::of(map);
    if (built && identity == builtFor && radius == builtRadius) {
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const CutConeMesh mesh =
        buildCutConeMesh(computeCellExtents(map.sites, radius, areaPerRay), radius);

    if (vertexBuffer == 0) {
        glGenBuffers(1, &vertexBuffer);
        glGenBuffers(1, &indexBuffer);
    }
    const BufferBinding verticesKept(GL_ARRAY_BUFFER, vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(mesh.vertices.size() * sizeof(ConeVertex)),
                 mesh.vertices.data(), GL_STATIC_DRAW);
    const BufferBinding indicesKept(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(unsigned int)),
                 mesh.indices.data(), GL_STATIC_DRAW);
    indexCount = mesh.indices.size();

    built = true;
    builtFor = identity;
    builtRadius = radius;
    rebuildMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return true;
}

bool CutConeDrawing::draw(HeightMap& map, int radius, bool markSites) {
    update(map, radius);
    const CurrentColour colourKept;
    if (indexCount > 0) {
        const ProgramBinding programKept;
        if (!depthProgram.use(radius)) {
            return false;
        }
        const BufferBinding verticesKept(GL_ARRAY_BUFFER, vertexBuffer);
        const BufferBinding indicesKept(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
        const ClientAttribGroups arraysKept(GL_CLIENT_VERTEX_ARRAY_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(ConeVertex),
                        reinterpret_cast<const void*>(offsetof(ConeVertex, x)));
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ConeVertex),
                       reinterpret_cast<const void*>(offsetof(ConeVertex, r)));
        glClientActiveTexture(GL_TEXTURE0);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, sizeof(ConeVertex),
                          reinterpret_cast<const void*>(offsetof(ConeVertex, siteX)));
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, nullptr);
    }
    if (markSites) {
        drawSiteMarkers(map.sites);
    }
    return true;
}
