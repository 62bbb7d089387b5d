#include "TestImages.h"

#include "DdsImages.h"

#include <cmath>
#include <random>

namespace velmora::bench {

namespace {

using test::paintDdsImage;

bool inCircle(int x, int y, int cx, int cy, int r) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

std::uint8_t clamp(double v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

std::vector<TestImage> makeTestImages() {
    std::vector<TestImage> images;

    images.push_back({"flat graphic", paintDdsImage([](int x, int y, std::uint8_t* p) {
                          std::uint8_t r = 20, g = 40, b = 90;
                          if (y > 700) {
                              r = 200;
                              g = 30;
                              b = 30;
                          }
                          if (x > 100 && x < 500 && y > 150 && y < 450) {
                              r = 250;
                              g = 210;
                              b = 40;
                          }
                          if (inCircle(x, y, 720, 300, 180)) {
                              r = 240;
                              g = 240;
                              b = 240;
                          }
                          if ((x / 128 + y / 128) % 2 == 0 && y > 800) {
                              r = 10;
                              g = 10;
                              b = 10;
                          }
                          p[0] = r;
                          p[1] = g;
                          p[2] = b;
                          p[3] = 255;
                      })});

    images.push_back({"gradient with shapes", paintDdsImage([](int x, int y, std::uint8_t* p) {
                          double r = x / 4.0, g = y / 4.0,
                                 b = 128 + 100 * std::sin((x + y) / 300.0);
                          if (inCircle(x, y, 512, 512, 300)) {
                              const double d = std::hypot(x - 512.0, y - 512.0) / 300.0;
                              r = 255 * (1 - d);
                              g = 180 * d;
                              b = 60;
                          }
                          if (x > 80 && x < 300 && y > 700 && y < 950) {
                              r = 255 - y / 4.0;
                              g = 255;
                              b = x / 4.0;
                          }
                          p[0] = clamp(r);
                          p[1] = clamp(g);
                          p[2] = clamp(b);
                          p[3] = static_cast<std::uint8_t>(
                              inCircle(x, y, 512, 512, 500) ? 255 : 255 - (x + y) / 8);
                      })});

    // Smooth shapes under sensor-like grain, so about 60 % of it survives compression.
    images.push_back({"photo-like", test::photoLikeImage(1.0, 2024)});
    return images;
}

} // namespace velmora::bench
