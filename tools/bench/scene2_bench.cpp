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
            const std::string at = " at " + FormatFigure(time) + " s";
            const auto measure = [&](SceneBase& scene) {
                return Summarise(TimeFrames(scene, size.width, size.height, time, levels, frames).frames);
            };
            const Summary old = measure(reference);
            rows.push_back({benchmark, "old text" + at, old.median * 1e3, old.min * 1e3, "ms", ""});
            const auto add = [&](const std::string& subject, const Summary& s) {
                rows.push_back({benchmark, subject + at, s.median * 1e3, s.min * 1e3, "ms",
                                FormatFigure(old.median / s.median) + " × as fast as the old text"});
            };
            add("shader path", measure(shader));
            if (particlePath) {
                add("particle path", measure(particles));
            } else {
                rows.push_back({benchmark, "particle path" + at, std::nan(""), std::nan(""), "ms",
                                "the context does not blend float targets"});
            }
            for (size_t i = rows.size() - 3; i < rows.size(); ++i) {
                std::fprintf(stderr, "  %s %s: %s ms\n", rows[i].benchmark.c_str(), rows[i].subject.c_str(),
                             FormatFigure(rows[i].median).c_str());
            }
        }
    }
    return rows;
}
