// Draws the sample content's videos with simple moving shapes and encodes them with the system's
// libtheora (through tests/common/TheoraFiles.h, the encoder helper the tests use). Built and run by
// scripts/make-sample-video.py, which names the output folder.
#include "tests/common/TheoraFiles.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{

using TheoraFiles::Frame;
using TheoraFiles::VideoSpec;

constexpr double kPi = 3.14159265358979323846;

struct Yuv
{
    uint8_t y, u, v;
};

Yuv fromRgb(double r, double g, double b)
{
    const double y = 16 + 65.481 * r + 128.553 * g + 24.966 * b;
    const double u = 128 - 37.797 * r - 74.203 * g + 112.0 * b;
    const double v = 128 + 112.0 * r - 93.786 * g - 18.214 * b;
    auto byte = [](double x) { return uint8_t(std::lround(std::fmin(std::fmax(x, 0.0), 255.0))); };
    return {byte(y), byte(u), byte(v)};
}

// A frame painted pixel by pixel; chroma is taken at the top-left sample of each 2 x 2 block.
template <class Paint> Frame paint(const VideoSpec& spec, Paint colourAt)
{
    Frame frame = TheoraFiles::FlatFrame(spec, 16);
    const uint32_t cw = TheoraFiles::ChromaWidth(spec);
    for (uint32_t y = 0; y < spec.height; ++y)
        for (uint32_t x = 0; x < spec.width; ++x)
        {
            const Yuv c = colourAt(double(x), double(y));
            frame.y[size_t(y) * spec.width + x] = c.y;
            if (x % 2 == 0 && y % 2 == 0)
            {
                frame.u[size_t(y / 2) * cw + x / 2] = c.u;
                frame.v[size_t(y / 2) * cw + x / 2] = c.v;
            }
        }
    return frame;
}

double inside(double distance, double radius)
{
    // One pixel of soft edge.
    return std::fmin(std::fmax(radius - distance + 0.5, 0.0), 1.0);
}

bool write(const std::string& path, const TheoraFiles::Bytes& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// 128 x 96, 3 seconds at 12 frames a second, seamless when looped: a ball circling over a
// gradient and a bar turning once.
TheoraFiles::Bytes shapes()
{
    VideoSpec spec;
    spec.width = 128;
    spec.height = 96;
    spec.fpsNumerator = 12;
    spec.quality = 32;
    const int count = 36;
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
    {
        const double t = double(i) / count;
        const double bx = 64 + 36 * std::cos(2 * kPi * t);
        const double by = 48 + 28 * std::sin(2 * kPi * t);
        const double angle = kPi * t;
        frames.push_back(paint(spec, [&](double x, double y) {
            double r = 0.10 + 0.15 * y / 96;
            double g = 0.15 + 0.20 * x / 128;
            double b = 0.35;
            // The bar through the centre.
            const double along = (x - 64) * std::cos(angle) + (y - 48) * std::sin(angle);
            const double across = -(x - 64) * std::sin(angle) + (y - 48) * std::cos(angle);
            if (std::fabs(along) < 40 && std::fabs(across) < 4)
            {
                r = 0.95;
                g = 0.85;
                b = 0.30;
            }
            const double ball = inside(std::hypot(x - bx, y - by), 12);
            r = r * (1 - ball) + 0.90 * ball;
            g = g * (1 - ball) + 0.25 * ball;
            b = b * (1 - ball) + 0.20 * ball;
            return fromRgb(r, g, b);
        }));
    }
    return TheoraFiles::Encode(spec, frames);
}

// 64 x 64, 2 seconds: a disc whose colour turns, and its alpha video, a disc that swells and shrinks.
void orb(TheoraFiles::Bytes& colour, TheoraFiles::Bytes& alpha)
{
    VideoSpec spec;
    spec.width = 64;
    spec.height = 64;
    spec.fpsNumerator = 12;
    spec.quality = 32;
    const int count = 24;
    std::vector<Frame> colours;
    std::vector<Frame> masks;
    for (int i = 0; i < count; ++i)
    {
        const double t = double(i) / count;
        const double radius = 22 + 8 * std::sin(2 * kPi * t);
        colours.push_back(paint(spec, [&](double x, double y) {
            const double light = 1.0 - std::hypot(x - 26, y - 26) / 60;
            return fromRgb(light * (0.5 + 0.5 * std::cos(2 * kPi * t)), light * 0.6,
                           light * (0.5 + 0.5 * std::sin(2 * kPi * t)));
        }));
        masks.push_back(paint(spec, [&](double x, double y) {
            const double a = inside(std::hypot(x - 31.5, y - 31.5), radius);
            return Yuv{uint8_t(16 + std::lround(224 * a)), 128, 128};
        }));
    }
    colour = TheoraFiles::Encode(spec, colours);
    alpha = TheoraFiles::Encode(spec, masks);
}

// 160 x 128, 2 seconds, played once as a splash screen; its bottom 8 rows are not shown.
TheoraFiles::Bytes splash()
{
    VideoSpec spec;
    spec.width = 160;
    spec.height = 128;
    spec.fpsNumerator = 12;
    spec.quality = 32;
    const int count = 24;
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
    {
        const double t = double(i) / (count - 1);
        const double spread = 60 * (1 - t);
        frames.push_back(paint(spec, [&](double x, double y) {
            double r = 0.05, g = 0.05, b = 0.10;
            const double centres[3][2] = {{80 - spread, 60}, {80 + spread, 60}, {80, 60 - spread}};
            const double tints[3][3] = {{0.9, 0.3, 0.2}, {0.2, 0.8, 0.3}, {0.3, 0.4, 0.95}};
            for (int k = 0; k < 3; ++k)
            {
                const double a = inside(std::hypot(x - centres[k][0], y - centres[k][1]), 18);
                r += tints[k][0] * a;
                g += tints[k][1] * a;
                b += tints[k][2] * a;
            }
            return fromRgb(std::fmin(r, 1.0), std::fmin(g, 1.0), std::fmin(b, 1.0));
        }));
    }
    return TheoraFiles::Encode(spec, frames);
}

// The credits' clips, 128 x 96 at 12 frames a second, played one after another by the credits'
// playlist. A candle flame that flickers in the dark, 2 seconds.
TheoraFiles::Bytes candle()
{
    VideoSpec spec;
    spec.width = 128;
    spec.height = 96;
    spec.fpsNumerator = 12;
    spec.quality = 32;
    const int count = 24;
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
    {
        const double t = double(i) / count;
        const double sway = 3 * std::sin(2 * kPi * t * 3) + 1.5 * std::sin(2 * kPi * t * 7);
        const double tall = 20 + 3 * std::sin(2 * kPi * t * 5);
        frames.push_back(paint(spec, [&](double x, double y) {
            // The glow around the flame, the candle below it.
            const double glow = std::fmax(0.0, 1.0 - std::hypot(x - 64, y - 40) / (60 + 4 * std::sin(2 * kPi * t * 4)));
            double r = 0.05 + 0.45 * glow * glow, g = 0.04 + 0.30 * glow * glow, b = 0.06 + 0.08 * glow * glow;
            if (std::fabs(x - 64) < 9 && y > 52)
            {
                r = 0.90;
                g = 0.86;
                b = 0.74;
            }
            // The flame: a drop shape, pointed at its top, leaning with the sway.
            const double along = (52 - y) / tall;
            if (along > 0 && along < 1)
            {
                const double centre = 64 + sway * along;
                const double half = 7 * std::sin(kPi * std::pow(along, 0.6)) * (1 - 0.3 * along);
                const double a = inside(std::fabs(x - centre), half);
                r = r * (1 - a) + 1.00 * a;
                g = g * (1 - a) + (0.65 + 0.30 * (1 - along)) * a;
                b = b * (1 - a) + 0.20 * (1 - along) * a;
            }
            return fromRgb(std::fmin(r, 1.0), std::fmin(g, 1.0), std::fmin(b, 1.0));
        }));
    }
    return TheoraFiles::Encode(spec, frames);
}

// The moon passing the attic's round window, 3 seconds.
TheoraFiles::Bytes moon()
{
    VideoSpec spec;
    spec.width = 128;
    spec.height = 96;
    spec.fpsNumerator = 12;
    spec.quality = 32;
    const int count = 36;
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
    {
        const double t = double(i) / (count - 1);
        const double mx = 30 + 68 * t;
        const double my = 56 - 18 * std::sin(kPi * t);
        frames.push_back(paint(spec, [&](double x, double y) {
            const double d = std::hypot(x - 64, y - 48);
            // The wooden frame of the window and its cross bars.
            if (d > 44 || (d > 40 && d <= 44) || std::fabs(x - 64) < 2 || std::fabs(y - 48) < 2)
                return d > 44 ? fromRgb(0.22, 0.15, 0.10) : fromRgb(0.35, 0.24, 0.16);
            double r = 0.06, g = 0.08, b = 0.22 + 0.10 * (96 - y) / 96;
            // A few fixed stars.
            const double stars[4][2] = {{40, 30}, {86, 24}, {74, 70}, {50, 66}};
            for (const auto& star : stars)
                if (std::hypot(x - star[0], y - star[1]) < 1.2)
                    r = g = b = 0.9;
            const double a = inside(std::hypot(x - mx, y - my), 11);
            r = r * (1 - a) + 0.96 * a;
            g = g * (1 - a) + 0.94 * a;
            b = b * (1 - a) + 0.80 * a;
            return fromRgb(r, g, b);
        }));
    }
    return TheoraFiles::Encode(spec, frames);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s SAMPLE_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    TheoraFiles::Bytes colour;
    TheoraFiles::Bytes alpha;
    orb(colour, alpha);
    const bool ok = write(root + "/input/video/shapes.ogv", shapes()) &&
                    write(root + "/input/video/orb.ogv", colour) && write(root + "/input/video/orb_alpha.ogv", alpha) &&
                    write(root + "/splash.ogv", splash()) &&
                    write(root + "/input/video/credits_candle.ogv", candle()) &&
                    write(root + "/input/video/credits_moon.ogv", moon());
    return ok ? 0 : 1;
}
