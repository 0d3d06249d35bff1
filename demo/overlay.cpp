#include "demo/overlay.h"

#include <stb_easy_font.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/gl.h"

namespace {

constexpr float kTextScale = 2.0f;  // the font's glyphs are 7 pixels high
constexpr int kLineHeight = 20;

struct Colour {
    GLubyte r, g, b, a;
};

void Rect(float x0, float y0, float x1, float y1, Colour c) {
    glColor4ub(c.r, c.g, c.b, c.a);
    glRectf(x0, y0, x1, y1);
}

// `text` (lines apart at '\n') with its top left at (x, y).
void Text(float x, float y, std::string text, Colour c) {
    std::vector<char> vertices(text.size() * 270 + 1024);  // the font's bound: 270 bytes a character
    unsigned char colour[4] = {c.r, c.g, c.b, c.a};
    const int quads =
        stb_easy_font_print(0, 0, text.data(), colour, vertices.data(), static_cast<int>(vertices.size()));
    glPushMatrix();
    glTranslatef(x, y, 0);
    glScalef(kTextScale, kTextScale, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, 16, vertices.data());
    glColorPointer(4, GL_UNSIGNED_BYTE, 16, vertices.data() + 12);
    glDrawArrays(GL_QUADS, 0, quads * 4);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}

// A colour of its own for each scene on the strip.
Colour SceneColour(SceneId id) {
    const int i = static_cast<int>(id);
    return {static_cast<GLubyte>(70 + (i * 97) % 150), static_cast<GLubyte>(70 + (i * 53) % 150),
            static_cast<GLubyte>(70 + (i * 31) % 150), 220};
}

void Strip(const OverlayView& view, const Schedule& schedule, float width, float height) {
    const float top = height - kStripHeight;
    const auto x = [&](double time) { return static_cast<float>(time / schedule.end * width); };
    double start = 0.0;
    for (size_t i = 0; i <= schedule.rows.size(); ++i) {
        const bool last = i == schedule.rows.size();
        const double end = last ? schedule.end : schedule.rows[i].threshold;
        Rect(x(start), top, x(end), height, SceneColour(last ? schedule.after : schedule.rows[i].scene));
        Rect(x(start), top, x(start) + 1, height, {0, 0, 0, 255});  // the cut
        start = end;
    }
    if (view.looping) Rect(x(view.loop.first), top - 3, x(view.loop.second), top, {255, 200, 0, 255});
    const float at = x(std::clamp(view.time, 0.0, schedule.end));
    Rect(at - 1, top - 4, at + 1, height, {255, 255, 255, 255});
}

std::string Format(const char* format, auto... values) {
    char line[160];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

void Panel(const OverlayView& view, const Schedule& schedule) {
    int slot = 0;
    while (slot < static_cast<int>(schedule.rows.size()) && !(view.time < schedule.rows[slot].threshold))
        ++slot;
    const double bar = std::floor(view.time / schedule.bar);
    const double beat = std::floor((view.time - bar * schedule.bar) / (schedule.bar / 4));
    const std::string lines[] = {
        Format("%.3f s   bar %d  beat %d%s%s", view.time, static_cast<int>(bar) + 1,
               static_cast<int>(beat) + 1, view.paused ? "   PAUSED" : "", view.looping ? "   LOOP" : ""),
        Format("slot %d of %d   %s", slot + 1, static_cast<int>(schedule.rows.size()) + 1,
               kSceneNames[static_cast<int>(schedule.SceneAt(view.time))]),
        Format("frame %.1f ms   %.1f fps", view.frameSeconds * 1000.0, view.framesPerSecond),
    };
    const float left = 10, levelsTop = 10 + 3 * kLineHeight;
    Rect(0, 0, 430, levelsTop + 3 * kLineHeight + 6, {0, 0, 0, 160});
    for (int i = 0; i < 3; ++i) Text(left, 10 + i * kLineHeight, lines[i], {255, 255, 255, 255});
    const char* bands[] = {"431 Hz", "1077 Hz", "4307 Hz"};
    for (int i = 0; i < 3; ++i) {
        const float y = levelsTop + i * kLineHeight;
        const float length = std::clamp(view.levels[i] / 3.0f, 0.0f, 1.0f) * 150.0f;
        Rect(left + 90, y, left + 90 + 150, y + 14, {60, 60, 60, 200});
        Rect(left + 90, y, left + 90 + length, y + 14, {90, 200, 255, 255});
        Text(left, y, bands[i], {200, 200, 200, 255});
        Text(left + 250, y, Format("%.3f", view.levels[i]), {255, 255, 255, 255});
    }
}

void Errors(const std::string& errors, float width, float top) {
    int lines = 1;
    for (char c : errors) lines += c == '\n';
    Rect(0, top, width, top + 10 + lines * kLineHeight, {90, 0, 0, 200});
    Text(10, top + 6, errors, {255, 230, 230, 255});
}

}  // namespace

void DrawOverlay(const OverlayView& view, const Schedule& schedule, int width, int height) {
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const auto w = static_cast<float>(width), h = static_cast<float>(height);
    if (view.full) {
        Panel(view, schedule);
        Strip(view, schedule, w, h);
    }
    if (!view.errors.empty()) Errors(view.errors, w, view.full ? 10.0f + 6 * kLineHeight + 10 : 0.0f);

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
