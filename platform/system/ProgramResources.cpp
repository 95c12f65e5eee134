// The program's icon and cursors; see ProgramResources.h. Every picture is a
// stack of layers on a 32 x 32 design grid. A layer is one shape given by its
// signed distance (negative inside), filled with one colour and edged with
// another; the distance gives each pixel its coverage, so edges come out
// smooth at any size without sampling a pixel more than once.
#include "platform/system/ProgramResources.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>

namespace Platform
{
namespace
{
constexpr float kGrid = 32.0f; // design units across every picture
constexpr int kCursorSize = 32;

struct Point
{
    float x = 0.0f;
    float y = 0.0f;
};

Point operator-(Point a, Point b)
{
    return {a.x - b.x, a.y - b.y};
}

float dot(Point a, Point b)
{
    return a.x * b.x + a.y * b.y;
}

float length(Point a)
{
    return std::sqrt(dot(a, a));
}

using Shape = std::function<float(Point)>;

float circle(Point p, Point centre, float radius)
{
    return length(p - centre) - radius;
}

// A segment from a to b with round ends.
float capsule(Point p, Point a, Point b, float radius)
{
    const Point ab = b - a;
    const Point ap = p - a;
    const float t = std::clamp(dot(ap, ab) / dot(ab, ab), 0.0f, 1.0f);
    return length(Point{ap.x - ab.x * t, ap.y - ab.y * t}) - radius;
}

float roundedBox(Point p, Point centre, Point half, float radius)
{
    const float qx = std::abs(p.x - centre.x) - half.x + radius;
    const float qy = std::abs(p.y - centre.y) - half.y + radius;
    return length(Point{std::max(qx, 0.0f), std::max(qy, 0.0f)}) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float ring(Point p, Point centre, float radius, float thickness)
{
    return std::abs(length(p - centre) - radius) - thickness;
}

// A closed polygon, either winding.
float polygon(Point p, std::initializer_list<Point> corners)
{
    const Point* v = corners.begin();
    const size_t n = corners.size();
    float distance = dot(p - v[0], p - v[0]);
    float sign = 1.0f;
    for (size_t i = 0, j = n - 1; i < n; j = i++)
    {
        const Point e = v[j] - v[i];
        const Point w = p - v[i];
        const float t = std::clamp(dot(w, e) / dot(e, e), 0.0f, 1.0f);
        const Point b{w.x - e.x * t, w.y - e.y * t};
        distance = std::min(distance, dot(b, b));
        const bool above = p.y >= v[i].y;
        const bool below = p.y < v[j].y;
        const bool left = e.x * w.y > e.y * w.x;
        if ((above && below && left) || (!above && !below && !left))
            sign = -sign;
    }
    return sign * std::sqrt(distance);
}

float unite(std::initializer_list<float> distances)
{
    return std::min(distances);
}

struct Colour
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

Colour fromArgb(std::uint32_t argb)
{
    return {float((argb >> 16) & 0xFF) / 255.0f, float((argb >> 8) & 0xFF) / 255.0f, float(argb & 0xFF) / 255.0f,
            float(argb >> 24) / 255.0f};
}

// Straight-alpha "over" of a colour whose alpha is scaled by coverage.
void over(Colour& destination, Colour source, float coverage)
{
    const float a = source.a * coverage;
    if (a <= 0.0f)
        return;
    const float out = a + destination.a * (1.0f - a);
    const float keep = destination.a * (1.0f - a);
    destination.r = (source.r * a + destination.r * keep) / out;
    destination.g = (source.g * a + destination.g * keep) / out;
    destination.b = (source.b * a + destination.b * keep) / out;
    destination.a = out;
}

class Painter
{
public:
    explicit Painter(int size) : size_(size), pixels_(size_t(size) * size_t(size)) {}

    // Fills the shape; an edge of edgeWidth design units in the edge colour
    // runs along the inside of its outline.
    void Layer(const Shape& shape, std::uint32_t fill, std::uint32_t edge = 0, float edgeWidth = 0.0f)
    {
        const float scale = float(size_) / kGrid; // pixels per design unit
        const Colour fillColour = fromArgb(fill);
        const Colour edgeColour = fromArgb(edge);
        for (int y = 0; y < size_; ++y)
            for (int x = 0; x < size_; ++x)
            {
                const Point p{(float(x) + 0.5f) / scale, (float(y) + 0.5f) / scale};
                const float distance = shape(p) * scale; // in pixels
                Colour& pixel = pixels_[size_t(y) * size_t(size_) + size_t(x)];
                if (edgeWidth > 0.0f)
                    over(pixel, edgeColour, std::clamp(0.5f - distance, 0.0f, 1.0f));
                over(pixel, fillColour, std::clamp(0.5f - (distance + edgeWidth * scale), 0.0f, 1.0f));
            }
    }

    ResourcePicture Take(int hotX, int hotY) const
    {
        ResourcePicture picture;
        picture.width = size_;
        picture.height = size_;
        picture.hotX = hotX;
        picture.hotY = hotY;
        picture.rgba.reserve(pixels_.size() * 4);
        const auto byte = [](float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
        for (const Colour& c : pixels_)
        {
            picture.rgba.push_back(byte(c.r));
            picture.rgba.push_back(byte(c.g));
            picture.rgba.push_back(byte(c.b));
            picture.rgba.push_back(byte(c.a));
        }
        return picture;
    }

private:
    int size_;
    std::vector<Colour> pixels_;
};

constexpr std::uint32_t kInk = 0xFF24170C;     // outlines: a dark brown
constexpr std::uint32_t kGold = 0xFFF2C75C;    // the pointer's own colour
constexpr std::uint32_t kPale = 0xFFFFF8EC;    // hands
constexpr float kEdge = 1.3f;

void arrow(Painter& painter)
{
    painter.Layer(
        [](Point p)
        {
            return polygon(p, {{1.0f, 1.0f}, {1.0f, 22.5f}, {6.2f, 17.4f}, {9.8f, 25.4f}, {13.2f, 23.9f},
                               {9.7f, 16.2f}, {16.6f, 16.2f}});
        },
        kGold, kInk, kEdge);
}

// An open hand, fingers apart, as over something that can be picked up.
void openHand(Painter& painter)
{
    painter.Layer(
        [](Point p)
        {
            return unite({roundedBox(p, {16.5f, 21.5f}, {7.5f, 6.5f}, 3.5f),
                          capsule(p, {10.2f, 9.0f}, {10.2f, 19.0f}, 1.8f),
                          capsule(p, {14.7f, 5.5f}, {14.7f, 18.0f}, 1.8f),
                          capsule(p, {19.2f, 6.5f}, {19.2f, 18.0f}, 1.8f),
                          capsule(p, {23.6f, 10.0f}, {23.6f, 19.5f}, 1.7f),
                          capsule(p, {10.5f, 23.0f}, {4.5f, 16.5f}, 2.2f)});
        },
        kPale, kInk, kEdge);
}

// The hand closed around what it carries.
void closedHand(Painter& painter)
{
    painter.Layer(
        [](Point p)
        {
            return unite({roundedBox(p, {16.5f, 19.0f}, {8.0f, 6.5f}, 4.0f), circle(p, {10.2f, 13.2f}, 2.6f),
                          circle(p, {14.4f, 12.2f}, 2.6f), circle(p, {18.6f, 12.2f}, 2.6f),
                          circle(p, {22.6f, 13.4f}, 2.5f)});
        },
        kPale, kInk, kEdge);
    painter.Layer([](Point p) { return capsule(p, {9.5f, 19.5f}, {17.5f, 21.5f}, 2.0f); }, kPale, kInk, kEdge);
}

// A hand pointing with its index finger, over something to click.
void pointingHand(Painter& painter)
{
    painter.Layer(
        [](Point p)
        {
            return unite({capsule(p, {12.0f, 3.0f}, {12.0f, 17.0f}, 2.3f),
                          roundedBox(p, {16.5f, 21.5f}, {7.5f, 6.5f}, 3.5f), circle(p, {16.6f, 15.0f}, 2.4f),
                          circle(p, {20.8f, 15.6f}, 2.4f), circle(p, {24.3f, 17.2f}, 2.1f),
                          capsule(p, {10.0f, 23.0f}, {5.0f, 17.0f}, 2.2f)});
        },
        kPale, kInk, kEdge);
}

// The arrow with a round badge at its lower right.
void badgedArrow(Painter& painter, std::uint32_t badge, const Shape& mark)
{
    arrow(painter);
    painter.Layer([](Point p) { return circle(p, {23.5f, 23.5f}, 7.0f); }, badge, kInk, kEdge);
    painter.Layer(mark, 0xFFFFFFFF);
}

void useArrow(Painter& painter)
{
    badgedArrow(painter, 0xFF3C9D48,
                [](Point p)
                {
                    return unite({capsule(p, {23.5f, 19.8f}, {23.5f, 27.2f}, 1.3f),
                                  capsule(p, {19.8f, 23.5f}, {27.2f, 23.5f}, 1.3f)});
                });
}

void noUseArrow(Painter& painter)
{
    badgedArrow(painter, 0xFFC83A2E,
                [](Point p)
                {
                    return unite({ring(p, {23.5f, 23.5f}, 4.3f, 1.1f),
                                  capsule(p, {20.5f, 20.5f}, {26.5f, 26.5f}, 1.1f)});
                });
}

// A clock face: the game is busy.
void clock(Painter& painter)
{
    painter.Layer([](Point p) { return circle(p, {16.0f, 16.0f}, 13.0f); }, 0xFFFFF3D6, kInk, 1.8f);
    for (int hour = 0; hour < 12; hour += 3)
    {
        const float angle = float(hour) * 3.14159265f / 6.0f;
        const Point outer{16.0f + 10.5f * std::sin(angle), 16.0f - 10.5f * std::cos(angle)};
        const Point inner{16.0f + 8.5f * std::sin(angle), 16.0f - 8.5f * std::cos(angle)};
        painter.Layer([outer, inner](Point p) { return capsule(p, inner, outer, 0.8f); }, kInk);
    }
    painter.Layer(
        [](Point p)
        {
            return unite({capsule(p, {16.0f, 16.0f}, {16.0f, 7.5f}, 1.1f),
                          capsule(p, {16.0f, 16.0f}, {21.5f, 18.5f}, 1.3f), circle(p, {16.0f, 16.0f}, 1.8f)});
        },
        kInk);
}

// A snowflake: clicks are frozen for a while.
void snowflake(Painter& painter)
{
    painter.Layer(
        [](Point p)
        {
            float d = 1e9f;
            for (int spoke = 0; spoke < 6; ++spoke)
            {
                const float angle = float(spoke) * 3.14159265f / 3.0f;
                const float s = std::sin(angle);
                const float c = std::cos(angle);
                const auto at = [&](float along, float across)
                { return Point{16.0f + along * s + across * c, 16.0f - along * c + across * s}; };
                d = std::min({d, capsule(p, at(0.0f, 0.0f), at(13.0f, 0.0f), 1.6f),
                              capsule(p, at(7.5f, 0.0f), at(11.0f, 3.5f), 1.3f),
                              capsule(p, at(7.5f, 0.0f), at(11.0f, -3.5f), 1.3f)});
            }
            return d;
        },
        0xFFA6DBFF, 0xFF123A66, 1.2f);
}

// Pellwood's icon: a tree on a dark green tile, with a loupe for the hidden things.
ResourcePicture icon(int size)
{
    Painter painter(size);
    painter.Layer([](Point p) { return roundedBox(p, {16.0f, 16.0f}, {15.0f, 15.0f}, 5.5f); }, 0xFF1D4B45,
                  0xFF0C2420, 1.2f);
    painter.Layer([](Point p) { return roundedBox(p, {15.0f, 23.5f}, {2.2f, 5.5f}, 1.0f); }, 0xFF8A5A2E,
                  0xFF3A2410, 1.0f);
    painter.Layer(
        [](Point p)
        {
            return unite({circle(p, {15.0f, 12.5f}, 7.5f), circle(p, {9.5f, 16.0f}, 5.0f),
                          circle(p, {20.5f, 16.0f}, 5.0f)});
        },
        0xFF63B84E, 0xFF1F4A1A, 1.2f);
    painter.Layer(
        [](Point p)
        {
            return unite({ring(p, {22.5f, 22.5f}, 4.0f, 1.3f), capsule(p, {25.6f, 25.6f}, {28.5f, 28.5f}, 1.5f)});
        },
        0xFFF2C75C, 0xFF3A2410, 0.8f);
    return painter.Take(0, 0);
}

constexpr std::uint32_t kIconId = 101;

struct CursorResource
{
    std::uint32_t id;
    int hotX;
    int hotY;
    void (*paint)(Painter&);
};

// The game names its cursors by these numbers.
const CursorResource kCursors[] = {
    {102, 16, 16, &clock},       {103, 15, 14, &openHand}, {104, 1, 1, &useArrow},  {105, 1, 1, &noUseArrow},
    {106, 1, 1, &arrow},         {107, 16, 16, &closedHand}, {108, 12, 1, &pointingHand},
    {109, 16, 16, &snowflake},
};
} // namespace

bool LoadIconResource(std::uint32_t id, int size, ResourcePicture& picture)
{
    if (id != kIconId || size < 1 || size > 256)
        return false;
    picture = icon(size);
    return true;
}

bool LoadCursorResource(std::uint32_t id, ResourcePicture& picture)
{
    for (const CursorResource& cursor : kCursors)
        if (cursor.id == id)
        {
            Painter painter(kCursorSize);
            cursor.paint(painter);
            picture = painter.Take(cursor.hotX, cursor.hotY);
            return true;
        }
    return false;
}

} // namespace Platform
