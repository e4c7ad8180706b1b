#include "sim/stream/TestScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "sim/stream/BitmapFont.h"

namespace orbisight::sim {
namespace {

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint8_t Clamp(int value) {
    return static_cast<uint8_t>(std::clamp(value, 16, 235));
}

// Draws text on a dark box so it reads on any background.
void DrawLabel(YuvPicture& picture, int x, int y, int scale, std::string_view text) {
    int boxWidth = BitmapFont::TextWidth(text, scale) + 2 * scale;
    int boxHeight = BitmapFont::TextHeight(scale) + 2 * scale;
    for (int row = std::max(0, y); row < std::min(picture.height, y + boxHeight); ++row) {
        for (int column = std::max(0, x); column < std::min(picture.width, x + boxWidth);
             ++column) {
            picture.y[static_cast<size_t>(row) * static_cast<size_t>(picture.width) +
                      static_cast<size_t>(column)] = 24;
        }
    }
    for (int row = std::max(0, y / 2); row < std::min(picture.ChromaHeight(), (y + boxHeight) / 2);
         ++row) {
        for (int column = std::max(0, x / 2);
             column < std::min(picture.ChromaWidth(), (x + boxWidth) / 2); ++column) {
            size_t at = static_cast<size_t>(row) * static_cast<size_t>(picture.ChromaWidth()) +
                        static_cast<size_t>(column);
            picture.u[at] = 128;
            picture.v[at] = 128;
        }
    }
    BitmapFont::Draw(picture.y.data(), picture.width, picture.width, picture.height, x + scale,
                     y + scale, scale, text, 235);
}

}  // namespace

void YuvPicture::Allocate(int w, int h) {
    width = w;
    height = h;
    y.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 16);
    size_t chroma = static_cast<size_t>(ChromaWidth()) * static_cast<size_t>(ChromaHeight());
    u.assign(chroma, 128);
    v.assign(chroma, 128);
}

TestScene::TestScene(int width, int height)
    : width_(std::max(2, width)),
      height_(std::max(2, height)),
      sceneWidth_(width_ * 2),
      sceneHeight_(height_ * 2) {
    scene_.Allocate(sceneWidth_, sceneHeight_);
    // Tiles of about a fifth of the picture, each with its own colour and
    // number, over a smooth texture with fixed fine detail.
    int tileWidth = std::max(16, width_ / 5);
    int tileHeight = std::max(16, height_ / 5);
    for (int y = 0; y < sceneHeight_; ++y) {
        for (int x = 0; x < sceneWidth_; ++x) {
            int tile = (y / tileHeight) * 97 + (x / tileWidth);
            double wave = 40.0 * std::sin(x * 0.045) * std::cos(y * 0.06);
            int detail =
                static_cast<int>(Hash(static_cast<uint32_t>(y * sceneWidth_ + x)) & 31) - 16;
            int base = 70 + (tile % 3) * 35;
            scene_.y[static_cast<size_t>(y) * static_cast<size_t>(sceneWidth_) +
                     static_cast<size_t>(x)] = Clamp(base + static_cast<int>(wave) + detail);
        }
    }
    for (int y = 0; y < scene_.ChromaHeight(); ++y) {
        for (int x = 0; x < scene_.ChromaWidth(); ++x) {
            int tile = ((2 * y) / tileHeight) * 97 + (2 * x) / tileWidth;
            double angle = tile * 2.39996;  // golden angle: neighbours differ
            size_t at = static_cast<size_t>(y) * static_cast<size_t>(scene_.ChromaWidth()) +
                        static_cast<size_t>(x);
            scene_.u[at] = static_cast<uint8_t>(128 + 45 * std::cos(angle));
            scene_.v[at] = static_cast<uint8_t>(128 + 45 * std::sin(angle));
        }
    }
    int scale = std::max(1, tileHeight / 16);
    for (int ty = 0; ty * tileHeight < sceneHeight_; ++ty) {
        for (int tx = 0; tx * tileWidth < sceneWidth_; ++tx) {
            std::string label = std::to_string(ty) + "-" + std::to_string(tx);
            BitmapFont::Draw(scene_.y.data(), sceneWidth_, sceneWidth_, sceneHeight_,
                             tx * tileWidth + scale * 2, ty * tileHeight + scale * 2, scale, label,
                             225);
        }
    }
}

std::shared_ptr<const TestScene> TestScene::Shared(int width, int height) {
    // Never destroyed: streaming threads may still ask for a scene while the
    // process exits.
    static auto* mutex = new std::mutex;
    static auto* scenes =
        new std::map<std::pair<int, int>, std::shared_ptr<const TestScene>>;  // by mutex
    std::lock_guard lock(*mutex);
    auto& scene = (*scenes)[{width, height}];
    if (!scene) {
        scene = std::make_shared<const TestScene>(width, height);
    }
    return scene;
}

void TestScene::Render(int index, int x, int y, std::string_view name, std::string_view clock,
                       YuvPicture& out) const {
    if (out.width != width_ || out.height != height_) {
        out.Allocate(width_, height_);
    }
    x = std::clamp(x, 0, MaxX()) & ~1;
    y = std::clamp(y, 0, MaxY()) & ~1;
    for (int row = 0; row < height_; ++row) {
        std::memcpy(&out.y[static_cast<size_t>(row) * static_cast<size_t>(width_)],
                    &scene_.y[static_cast<size_t>(row + y) * static_cast<size_t>(sceneWidth_) +
                              static_cast<size_t>(x)],
                    static_cast<size_t>(width_));
    }
    for (int row = 0; row < out.ChromaHeight(); ++row) {
        size_t from = static_cast<size_t>(row + y / 2) * static_cast<size_t>(scene_.ChromaWidth()) +
                      static_cast<size_t>(x / 2);
        size_t to = static_cast<size_t>(row) * static_cast<size_t>(out.ChromaWidth());
        std::memcpy(&out.u[to], &scene_.u[from], static_cast<size_t>(out.ChromaWidth()));
        std::memcpy(&out.v[to], &scene_.v[from], static_cast<size_t>(out.ChromaWidth()));
    }
    // Sensor grain over the lower third, different in every picture, so
    // predicted pictures carry residual data as a real camera's do.
    for (int row = height_ * 2 / 3; row < height_; ++row) {
        uint8_t* line = &out.y[static_cast<size_t>(row) * static_cast<size_t>(width_)];
        uint32_t seed = Hash(static_cast<uint32_t>(index * 7919 + row));
        for (int column = 0; column < width_; ++column) {
            seed = seed * 1664525u + 1013904223u;
            line[column] = Clamp(line[column] + static_cast<int>((seed >> 28) & 7) - 4);
        }
    }
    // A bright box moving on a Lissajous path.
    int box = std::max(4, height_ / 8);
    int bx = static_cast<int>((width_ - box) * (0.5 + 0.45 * std::sin(index * 0.05)));
    int by = static_cast<int>((height_ - box) * (0.5 + 0.45 * std::sin(index * 0.037 + 1.0)));
    for (int row = by; row < by + box && row < height_; ++row) {
        std::memset(&out.y[static_cast<size_t>(row) * static_cast<size_t>(width_) +
                           static_cast<size_t>(bx)],
                    220, static_cast<size_t>(std::min(box, width_ - bx)));
    }
    int scale = std::max(1, height_ / 180);
    DrawLabel(out, 2 * scale, 2 * scale, scale, name);
    DrawLabel(out, 2 * scale, height_ - BitmapFont::TextHeight(scale) - 4 * scale, scale, clock);
}

}  // namespace orbisight::sim
