#include "tools/bench/scene2_bench.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/egl/headless_gl.h"
#include "scenes/scene2_particles.h"
#include "tests/effects/scene2_reference.h"

namespace {

constexpr char kReferenceName[] = "Scene2 (old text)";
using ReferenceScene2 = ShaderScene<kReferenceName, kScene2Reference>;

struct Size {
    int width, height;
};
constexpr Size kSizes[] = {{640, 360}, {1280, 720}};
// The middle of the first slot, and of the slot at 56 s, the first the scene holds at full turn.
constexpr double kTimes[] = {8.0 / 3.0, 58.666666666666667};

}  // namespace

std::vector<BenchRow> Scene2Rows(const LevelsAt& levels, int frames) {
    std::string error;
    std::unique_ptr<HeadlessGL> context =
        HeadlessGL::Create(kSizes[0].width, kSizes[0].height, HeadlessGL::Format::RGBA8, error);
    if (context == nullptr) {
        std::fprintf(stderr, "tesselune-bench: %s\n", error.c_str());
        std::exit(1);
    }
    ReferenceScene2 reference;
    Scene2 shader(Scene2Path::Shader), particles(Scene2Path::Particles);
    reference.Init();
    shader.Init();
    particles.Init();
    const bool particlePath = particles.DrawingPath() == Scene2Path::Particles;

    std::vector<BenchRow> rows;
    for (const Size& size : kSizes) {
        if (!context->Resize(size.width, size.height)) {
            std::fprintf(stderr, "tesselune-bench: cannot resize the headless framebuffer\n");
            std::exit(1);
        }
        const std::string benchmark =
            "Scene2 " + std::to_string(size.width) + "x" + std::to_string(size.height);
        for (const double time : kTimes) {
            // The frames of the three take turns, so that a change in the machine's load falls on all three.
            SceneBase* const scenes[] = {&reference, &shader, &particles};
            std::vector<double> seconds[3];
            for (int n = 0; n <= frames; ++n) {
                const double at = time + n / 60.0;
                const std::array<float, 3> frameLevels = levels(at);
                for (int i = 0; i < 3; ++i) {
                    const double frame = DrawFrame(*scenes[i], size.width, size.height, at, frameLevels);
                    if (n > 0) seconds[i].push_back(frame);  // the first is a warm-up
                }
            }
            const std::string at = " at " + FormatFigure(time) + " s";
            const Summary old = Summarise(seconds[0]);
            rows.push_back({benchmark, "old text" + at, old.median * 1e3, old.min * 1e3, "ms", ""});
            for (int i = 1; i < 3; ++i) {
                // Each turn's ratio, of frames drawn one after the other, is the figure the load moves least.
                std::vector<double> ratios;
                for (size_t n = 0; n < seconds[i].size(); ++n)
                    ratios.push_back(seconds[0][n] / seconds[i][n]);
                const Summary s = Summarise(seconds[i]);
                const bool drawn = i == 1 || particlePath;
                const double nan = std::nan("");
                rows.push_back({benchmark, (i == 1 ? "shader path" : "particle path") + at,
                                drawn ? s.median * 1e3 : nan, drawn ? s.min * 1e3 : nan, "ms",
                                drawn ? FormatFigure(Summarise(ratios).median) +
                                            " × as fast as the old text (median of the turns' ratios)"
                                      : "the context does not blend float targets"});
            }
            for (size_t i = rows.size() - 3; i < rows.size(); ++i) {
                std::fprintf(stderr, "  %s %s: %s ms\n", rows[i].benchmark.c_str(), rows[i].subject.c_str(),
                             FormatFigure(rows[i].median).c_str());
            }
        }
    }
    return rows;
}
