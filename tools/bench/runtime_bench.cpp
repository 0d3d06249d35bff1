#include "tools/bench/runtime_bench.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "audio/levels.h"
#include "audio/library.h"
#include "audio/spectrum.h"
#include "platform/gl.h"
#include "scenes/scene.h"
#include "scenes/scene_schedule.h"

namespace {

// An output device that plays only when the benchmark renders through it.
struct SilentOutput final : audio::OutputDevice {
    bool Open(Render r) override {
        render = std::move(r);
        return true;
    }
    void Close() override { render = nullptr; }
    Render render;
};

// Ten seconds of two tones and a little noise, decoded, at the device's rate.
std::shared_ptr<const audio::DecodedTrack> TenSecondTrack() {
    auto track = std::make_shared<audio::DecodedTrack>(audio::DecodedTrack{{}, 2, 44100});
    uint32_t noise = 1;
    for (int n = 0; n < 10 * 44100; ++n) {
        noise = noise * 1664525u + 1013904223u;
        const double t = n / 44100.0, hiss = (noise >> 8) / double(1 << 24) - 0.5;
        track->samples.push_back(static_cast<float>(0.3 * std::sin(2 * M_PI * 440 * t) + 0.05 * hiss));
        track->samples.push_back(static_cast<float>(0.3 * std::sin(2 * M_PI * 1077 * t) + 0.05 * hiss));
    }
    return track;
}

// The real library holding the track, started and played to its fourth second.
struct PlayingLibrary {
    PlayingLibrary() : library(MakePlatform()) {
        library.Init(audio::kDefaultDevice, 44100, 0, nullptr, nullptr);
        handle = library.StreamCreateFile(false, "track", 0, 0, 0);
        library.ChannelPlay(handle, false);
        std::vector<float> out(2 * 4 * 44100);
        output->render(out.data(), 4 * 44100, 0);
    }
    audio::Platform MakePlatform() {
        auto device = std::make_unique<SilentOutput>();
        output = device.get();
        auto track = TenSecondTrack();
        return {std::move(device),
                [track](const char*) {
                    return audio::OpenResult{audio::MemoryDecoder(track), {}};
                },
                [](const char*, int) { return audio::OpenResult::Failure("not a module"); },
                {}};
    }

    SilentOutput* output = nullptr;
    audio::Library library;
    audio::Handle handle = 0;
};

// A fragment shader that reads all four uniforms, so that each one's location is live.
constexpr char kTrivialFragment[] =
    "uniform vec2 resolution;\nuniform float time;\nuniform float scenetime;\nuniform vec3 val;\n"
    "void main() { gl_FragColor = vec4(val, fract(time / scenetime) + resolution.x * 0.0); }\n";

void RegisterAll(PlayingLibrary& playing, uint32_t program) {
    audio::Library& library = playing.library;
    const audio::Handle handle = playing.handle;
    static float spectrum[audio::kSpectrumBins];
    const auto add = [](const char* name, auto body) {
        benchmark::RegisterBenchmark(name, body)->MinTime(0.1)->Unit(benchmark::kNanosecond);
    };
    add("ChannelGetData(FFT2048)", [&library, handle](benchmark::State& state) {
        for (auto _ : state)
            benchmark::DoNotOptimize(library.ChannelGetData(handle, spectrum, audio::kDataFFT2048));
    });
    add("SpectrumLevels", [](benchmark::State& state) {
        float levels[3];
        for (auto _ : state) {
            audio::SpectrumLevels(spectrum, levels);
            benchmark::DoNotOptimize(levels);
        }
    });
    add("ChannelGetPosition + ChannelBytes2Seconds", [&library, handle](benchmark::State& state) {
        for (auto _ : state) {
            benchmark::DoNotOptimize(
                library.ChannelBytes2Seconds(handle, library.ChannelGetPosition(handle, audio::kPosByte)));
        }
    });
    add("ScheduledScene (times across the show)", [](benchmark::State& state) {
        double time = 0.0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(ScheduledScene(time));
            time = time < ShowSchedule().end ? time + 1.0 / 60.0 : 0.0;
        }
    });
    add("GL 2.0 function look-up by name", [](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(GetGLProcAddress("glUniform3f"));
    });
    const float levels[3] = {0.5f, 0.25f, 0.125f};
    add("uniform uploads as RenderProgram makes them", [program, levels](benchmark::State& state) {
        for (auto _ : state) {
            gl::UseProgram(program);
            gl::Uniform2f(gl::GetUniformLocation(program, "resolution"), 1.0f, 1.0f);
            gl::Uniform1f(gl::GetUniformLocation(program, "time"), 1.0f);
            gl::Uniform1f(gl::GetUniformLocation(program, "scenetime"), kSceneTime);
            gl::Uniform3f(gl::GetUniformLocation(program, "val"), levels[0], levels[1], levels[2]);
            gl::UseProgram(0);
        }
    });
    add("uniform uploads, functions and locations looked up once",
        [program, levels](benchmark::State& state) {
            const auto use = gl::Proc<PFNGLUSEPROGRAMPROC>("glUseProgram");
            const auto uniform1f = gl::Proc<PFNGLUNIFORM1FPROC>("glUniform1f");
            const auto uniform2f = gl::Proc<PFNGLUNIFORM2FPROC>("glUniform2f");
            const auto uniform3f = gl::Proc<PFNGLUNIFORM3FPROC>("glUniform3f");
            const GLint resolution = gl::GetUniformLocation(program, "resolution"),
                        time = gl::GetUniformLocation(program, "time"),
                        scenetime = gl::GetUniformLocation(program, "scenetime"),
                        val = gl::GetUniformLocation(program, "val");
            for (auto _ : state) {
                use(program);
                uniform2f(resolution, 1.0f, 1.0f);
                uniform1f(time, 1.0f);
                uniform1f(scenetime, kSceneTime);
                uniform3f(val, levels[0], levels[1], levels[2]);
                use(0);
            }
        });
    add("RenderProgram at 1x1, trivial shader, no wait", [program, levels](benchmark::State& state) {
        for (auto _ : state) RenderProgram(program, 1.0f, 1.0f, 1.0, levels);
        glFinish();
    });
    add("RenderProgram at 1x1, trivial shader, glFinish", [program, levels](benchmark::State& state) {
        for (auto _ : state) {
            RenderProgram(program, 1.0f, 1.0f, 1.0, levels);
            glFinish();
        }
    });
    add("outside the draw: FFT, levels, time, schedule", [&library, handle](benchmark::State& state) {
        float levels[3];
        for (auto _ : state) {
            library.ChannelGetData(handle, spectrum, audio::kDataFFT2048);
            audio::SpectrumLevels(spectrum, levels);
            const double time =
                library.ChannelBytes2Seconds(handle, library.ChannelGetPosition(handle, audio::kPosByte));
            benchmark::DoNotOptimize(ScheduledScene(time));
            benchmark::DoNotOptimize(levels);
        }
    });
}

// Keeps each repetition's time per iteration, by benchmark, and writes a line per benchmark as it ends.
class Collector final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const std::string name = run.run_name.function_name;
            if (samples.find(name) == samples.end()) order.push_back(name);
            samples[name].push_back(run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations));
        }
    }

    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> samples;
};

}  // namespace

std::vector<RuntimeFigure> RunRuntimeBenchmarks(int repetitions) {
    PlayingLibrary playing;
    const uint32_t program = buildProgram("trivial", kTrivialFragment);
    benchmark::ClearRegisteredBenchmarks();
    RegisterAll(playing, program);
    const std::string repetitionsFlag = "--benchmark_repetitions=" + std::to_string(repetitions);
    std::vector<std::string> args = {"tesselune-bench", repetitionsFlag};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    int argc = static_cast<int>(argv.size());
    benchmark::Initialize(&argc, argv.data());
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    std::vector<RuntimeFigure> figures;
    for (const std::string& name : collector.order) {
        figures.push_back({name, Summarise(collector.samples[name])});
        std::fprintf(stderr, "  %-58s %10.0f ns\n", name.c_str(), figures.back().nanoseconds.median);
    }
    return figures;
}
