// Nanoseconds per blended pixel on one core: 10,000 32x32 pictures of 80% alpha at random
// sub-pixel places in an 800x600 frame, as rects, as triangles, turned and scaled, and the
// plain loop beside them.
#include "plain_loop.h"
#include "raster.h"
#include "spans.h"
#include "workers.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

using namespace d3d9soft;

namespace {

constexpr int kWidth = 800, kHeight = 600, kPitch = kWidth + kRowSlack, kSize = 32, kCount = 10000;

struct Frame {
    std::vector<uint32_t> colour = std::vector<uint32_t>(size_t(kPitch) * kHeight);
    std::vector<uint16_t> depth = std::vector<uint16_t>(size_t(kPitch) * kHeight);
    Target target() { return {colour.data(), depth.data(), kWidth, kHeight, kPitch}; }
};

// Best milliseconds of a frame over rounds.
double bestMs(int rounds, const std::function<void()>& frame) {
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        frame();
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

Command clearCommand() {
    Command c;
    c.kind = Command::kFill;
    c.fill = Fill{0, 0, kWidth, kHeight, 0xFF406080, 0xFFFF, true, true};
    return c;
}

// The quad of picture i, turned and scaled or not, centred at a random sub-pixel place.
void quadOf(std::mt19937& rng, int i, bool turned, ScreenVertex q[4]) {
    std::uniform_real_distribution<float> x(40.f, kWidth - 40.f), y(40.f, kHeight - 40.f);
    float cx = x(rng), cy = y(rng), angle = turned ? i * 0.1f : 0.f, sx = turned ? 1.5f : 1.f,
          sy = turned ? 0.75f : 1.f;
    const float corner[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int k = 0; k < 4; ++k) {
        float px = corner[k][0] * kSize / 2 * sx, py = corner[k][1] * kSize / 2 * sy;
        q[k] = {cx + px * std::cos(angle) - py * std::sin(angle), cy + px * std::sin(angle) + py * std::cos(angle),
                0.5f, (corner[k][0] + 1) / 2, (corner[k][1] + 1) / 2};
    }
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    std::vector<uint32_t> texels(kSize * kSize, 0xCC0080FF);  // orange at 80% alpha
    Shading s{texels.data(), kSize, kSize, {1, 1, 1, 1}, true, true, true, true, kBlendSrcAlpha, kBlendInvSrcAlpha,
              kBetween};
    Frame frame;
    // The commands drawn on this thread alone, as one worker draws its band.
    Target target = frame.target();
    Band whole{0, kHeight};
    auto run = [&](const std::vector<Command>& commands) {
        return bestMs(rounds, [&] {
            for (const Command& c : commands) {
                switch (c.kind) {
                case Command::kTriangle: drawTriangle(target, whole, c.triangle); break;
                case Command::kRect: drawRect(target, whole, c.rect); break;
                case Command::kFill: fill(target, whole, c.fill); break;
                }
            }
        });
    };
    double clearMs = run({clearCommand()});
    std::printf("raster (one core, %s kernels): clearing the frame %.3f ms\n",
                std::getenv("GAMEHOST_SIMD") ? std::getenv("GAMEHOST_SIMD") : "best", clearMs);

    for (int scene = 0; scene < 3; ++scene) {
        bool turned = scene == 2, asRects = scene == 0;
        std::mt19937 rng(1);
        std::vector<Command> commands{clearCommand()};
        int rects = 0;
        for (int i = 0; i < kCount; ++i) {
            ScreenVertex q[4];
            quadOf(rng, i, turned, q);
            Command c;
            c.kind = Command::kRect;
            if (asRects && quadAsRect(q, s, false, &c.rect)) {
                commands.push_back(c);
                ++rects;
                continue;
            }
            c.kind = Command::kTriangle;
            c.triangle = Triangle{{q[0], q[1], q[2]}, s};
            commands.push_back(c);
            c.triangle = Triangle{{q[0], q[2], q[3]}, s};
            commands.push_back(c);
        }
        double ms = run(commands) - clearMs, pixels = double(kCount) * kSize * kSize * (turned ? 1.125 : 1.0);
        const char* names[] = {"axis-aligned, as the device draws them", "axis-aligned, all as triangles",
                               "turned and scaled 1.5 x 0.75"};
        std::printf("raster %-40s %7.3f ms  %.3f ns/pixel", names[scene], ms, ms * 1e6 / pixels);
        if (asRects) std::printf("  (%d of %d as rects)", rects, kCount);
        std::printf("\n");
    }

    std::mt19937 rng(1);
    std::uniform_int_distribution<int> x(0, kWidth - kSize), y(0, kHeight - kSize);
    std::vector<int> places;
    for (int i = 0; i < kCount; ++i) places.push_back(x(rng)), places.push_back(y(rng));
    Target t = frame.target();
    double plainMs = bestMs(rounds, [&] {
        spanKernels().fill16(t.depth, kPitch * kHeight, 0xFFFF);
        for (int i = 0; i < kCount; ++i)
            plainSprite(t.colour, t.depth, kPitch, places[2 * i], places[2 * i + 1], texels.data(), kSize, kSize,
                        0x7FFF, 255);
    });
    std::printf("raster %-40s %7.3f ms  %.3f ns/pixel\n", "plain loop (gcc -O3 -mavx2), whole pixels", plainMs,
                plainMs * 1e6 / (double(kCount) * kSize * kSize));
    return 0;
}
