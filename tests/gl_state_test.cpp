#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/frame.h"
#include "drawing/shader_building.h"
#include "sitemap/gl_state.h"
#include "sitemap/height_map.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/site_scenes.h"

namespace {

constexpr int kSize = 160;
// The drawings read their buffers through the first four texture units.
constexpr GLuint kTextureUnits = 4;

// The GL state a drawing may touch, by name.
using GlState = std::map<std::string, std::vector<double>>;

GlState currentState() {
    GlState state;
    const auto integers = [&](const char* name, GLenum pname, int count) {
        GLint values[4] = {};
        glGetIntegerv(pname, values);
        state[name].assign(values, values + count);
    };
    const auto floats = [&](const char* name, GLenum pname, int count) {
        GLfloat values[16] = {};
        glGetFloatv(pname, values);
        state[name].assign(values, values + count);
    };
    const auto booleans = [&](const char* name, GLenum pname, int count) {
        GLboolean values[4] = {};
        glGetBooleanv(pname, values);
        state[name].assign(values, values + count);
    };
    integers("program", GL_CURRENT_PROGRAM, 1);
    integers("array buffer", GL_ARRAY_BUFFER_BINDING, 1);
    integers("element buffer", GL_ELEMENT_ARRAY_BUFFER_BINDING, 1);
    integers("texture buffer", GL_TEXTURE_BUFFER_BINDING, 1);
    {
        const BufferTextureUnits unitsKept(kTextureUnits);
        for (GLuint unit = 0; unit < kTextureUnits; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            GLint texture = 0;
            glGetIntegerv(GL_TEXTURE_BINDING_BUFFER, &texture);
            state["buffer texture " + std::to_string(unit)] = {static_cast<double>(texture)};
        }
    }
    integers("pack buffer", GL_PIXEL_PACK_BUFFER_BINDING, 1);
    integers("unpack buffer", GL_PIXEL_UNPACK_BUFFER_BINDING, 1);
    integers("renderbuffer", GL_RENDERBUFFER_BINDING, 1);
    integers("read framebuffer", GL_READ_FRAMEBUFFER_BINDING, 1);
    integers("draw framebuffer", GL_DRAW_FRAMEBUFFER_BINDING, 1);
    integers("read buffer", GL_READ_BUFFER, 1);
    integers("draw buffer", GL_DRAW_BUFFER, 1);
    integers("pack alignment", GL_PACK_ALIGNMENT, 1);
    integers("unpack alignment", GL_UNPACK_ALIGNMENT, 1);
    integers("pack row length", GL_PACK_ROW_LENGTH, 1);
    integers("unpack row length", GL_UNPACK_ROW_LENGTH, 1);
    integers("viewport", GL_VIEWPORT, 4);
    integers("scissor box", GL_SCISSOR_BOX, 4);
    integers("matrix mode", GL_MATRIX_MODE, 1);
    integers("modelview depth", GL_MODELVIEW_STACK_DEPTH, 1);
    integers("projection depth", GL_PROJECTION_STACK_DEPTH, 1);
    integers("attribute depth", GL_ATTRIB_STACK_DEPTH, 1);
    integers("client attribute depth", GL_CLIENT_ATTRIB_STACK_DEPTH, 1);
    integers("polygon mode", GL_POLYGON_MODE, 2);
    integers("depth func", GL_DEPTH_FUNC, 1);
    integers("cull face", GL_CULL_FACE_MODE, 1);
    integers("active texture", GL_ACTIVE_TEXTURE, 1);
    integers("client active texture", GL_CLIENT_ACTIVE_TEXTURE, 1);
    booleans("depth mask", GL_DEPTH_WRITEMASK, 1);
    booleans("colour mask", GL_COLOR_WRITEMASK, 4);
    floats("modelview", GL_MODELVIEW_MATRIX, 16);
    floats("projection", GL_PROJECTION_MATRIX, 16);
    floats("colour", GL_CURRENT_COLOR, 4);
    floats("clear colour", GL_COLOR_CLEAR_VALUE, 4);
    floats("point size", GL_POINT_SIZE, 1);
    for (const auto& [name, cap] :
         std::map<std::string, GLenum>{{"depth test", GL_DEPTH_TEST},
                                       {"cull face on", GL_CULL_FACE},
                                       {"blend", GL_BLEND},
                                       {"scissor test", GL_SCISSOR_TEST},
                                       {"alpha test", GL_ALPHA_TEST},
                                       {"dither", GL_DITHER},
                                       {"vertex array", GL_VERTEX_ARRAY},
                                       {"colour array", GL_COLOR_ARRAY},
                                       {"texture coordinate array", GL_TEXTURE_COORD_ARRAY}}) {
        state[name] = {static_cast<double>(glIsEnabled(cap))};
    }
    return state;
}

// State a caller may leave, unlike the program's own, for as long as it
// lives: a program, buffers bound everywhere, odd alignments, a viewport and
// projection off the window's, a colour, masks and enables. The guards put
// the window's own back afterwards.
class OddState {
public:
    explicit OddState(GLenum frontMode) {
        glGenBuffers(kBuffers, buffers);
        for (const GLuint buffer : buffers) {
            glBindBuffer(GL_ARRAY_BUFFER, buffer);
            glBufferData(GL_ARRAY_BUFFER, 64, nullptr, GL_STATIC_DRAW);
        }
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[2]);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, buffers[3]);
        glGenTextures(kTextureUnits, textures);
        for (GLuint unit = 0; unit < kTextureUnits; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_BUFFER, textures[unit]);
            glTexBuffer(GL_TEXTURE_BUFFER, GL_R32UI, buffers[4 + unit]);
        }
        glBindBuffer(GL_TEXTURE_BUFFER, buffers[8]);
        program = linkProgram("#version 120\nvoid main() { gl_Position = ftransform(); }\n",
                              "#version 120\nvoid main() { gl_FragColor = vec4(1.0); }\n");
        glUseProgram(program);
        glViewport(2, 3, kSize - 5, kSize - 4);
        glScissor(1, 1, kSize - 2, kSize - 2);
        glEnable(GL_SCISSOR_TEST);
        glEnable(GL_BLEND);
        glDisable(GL_DITHER);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1.0, kSize + 2.0, -3.0, kSize + 1.0, -2.0, 2.0);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(3.0f, 5.0f, 0.0f);
        glColor4f(0.25f, 0.5f, 0.75f, 0.125f);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
        glDepthMask(GL_FALSE);
        glActiveTexture(GL_TEXTURE2);
        glClientActiveTexture(GL_TEXTURE1);
        // What the outlines assume of lines stays; the filled drawings take
        // any depth test.
        glDepthFunc(frontMode == GL_LINE ? GL_LEQUAL : GL_LESS);
        glPolygonMode(GL_FRONT, frontMode);
        glPolygonMode(GL_BACK, GL_POINT);
        if (frontMode == GL_LINE) {
            glEnable(GL_CULL_FACE);
        }
    }
    ~OddState() {
        glUseProgram(0);
        glDeleteProgram(program);
        glDeleteTextures(kTextureUnits, textures);
        glDeleteBuffers(kBuffers, buffers);
    }

private:
    static constexpr int kBuffers = 9;
    AttribGroups attributes{GL_ALL_ATTRIB_BITS};
    ClientAttribGroups clientAttributes{GL_CLIENT_ALL_ATTRIB_BITS};
    MatrixStack projection{GL_PROJECTION};
    MatrixStack modelview{GL_MODELVIEW};
    ProgramBinding programKept;
    BufferBinding textureBufferKept{GL_TEXTURE_BUFFER};
    BufferTextureUnits texturesKept{kTextureUnits};
    BufferBinding packKept{GL_PIXEL_PACK_BUFFER};
    BufferBinding unpackKept{GL_PIXEL_UNPACK_BUFFER};
    PixelStore packAlignment{GL_PACK_ALIGNMENT, 2};
    PixelStore unpackAlignment{GL_UNPACK_ALIGNMENT, 8};
    GLuint buffers[kBuffers] = {};
    GLuint textures[kTextureUnits] = {};
    GLuint program = 0;
};

// Each drawing the frames take, from a renderer of its own (so that its
// programs are compiled and the context checked under that state too), for
// the picture and then its retained copy: the state afterwards is the one
// before, but the modelview matrix, which frames leave as identity.
TEST(GlStateTest, EveryDrawingLeavesTheStateItFound) {
    struct Case {
        const char* scene;
        int cutConeSiteLimit;
        GLenum frontMode;
        FilledDrawingPath path;
    };
    // The random sites' rims show in the window; the curves' markers cover
    // so much of it that they go first.
    const Case cases[] = {
        {"random", FilledConeDrawing::kCutConeSiteLimit, GL_FILL, FilledDrawingPath::CutCones},
        {"random", 0, GL_FILL, FilledDrawingPath::ScreenPass},
        {"curves", 0, GL_FILL, FilledDrawingPath::ScreenPass},
        {"dense", 0, GL_FILL, FilledDrawingPath::ScreenPass},
        {"random", 0, GL_LINE, FilledDrawingPath::None}};
    openTestWindow(kSize, kSize);
    for (const Case& drawn : cases) {
        SCOPED_TRACE(std::string(drawn.scene) + (drawn.frontMode == GL_LINE ? ", lines" : "") +
                     ", cut cones up to " + std::to_string(drawn.cutConeSiteLimit));
        HeightMap map;
        map.size = kSize;
        buildScene(drawn.scene, map, kSize);
        const OddState odd(drawn.frontMode);
        GlState expected = currentState();
        expected["modelview"] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        FrameRenderer renderer(SliceBudget::kDefaultBudgetMs, drawn.cutConeSiteLimit);
        renderer.renderFinished(map, {1.0f, 0.0f, 0.0f});
        EXPECT_EQ(renderer.lastFilledPath(), drawn.path);
        for (const bool retained : {false, true}) {
            if (retained) {
                renderer.render(map, {1.0f, 0.0f, 0.0f});
                EXPECT_TRUE(renderer.lastFrameRetained());
            }
            const GlState found = currentState();
            for (const auto& [name, values] : expected) {
                EXPECT_EQ(found.at(name), values) << name << (retained ? ", retained" : "");
            }
        }
    }
}

}  // namespace
