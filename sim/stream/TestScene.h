#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace orbisight::sim {

// A planar YUV 4:2:0 picture with tight rows (chroma (w + 1) / 2 wide).
struct YuvPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;

    int ChromaWidth() const { return (width + 1) / 2; }
    int ChromaHeight() const { return (height + 1) / 2; }
    void Allocate(int w, int h);
};

// The moving test picture of a simulated camera: a textured scene with
// numbered coloured tiles, seen through a window of the picture's size.
// Each picture adds a moving box, a little sensor grain, the camera's name
// and a clock. The scene is twice the picture in each direction, so a
// pan/tilt camera can move its window over it.
class TestScene {
  public:
    TestScene(int width, int height);

    // One scene per picture size for the whole process (building one takes
    // tens of milliseconds; rendering from it is const and thread-safe).
    static std::shared_ptr<const TestScene> Shared(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Largest window position.
    int MaxX() const { return sceneWidth_ - width_; }
    int MaxY() const { return sceneHeight_ - height_; }

    // Renders picture `index` with the window's top-left corner at (x, y)
    // (clamped to the scene).
    void Render(int index, int x, int y, std::string_view name, std::string_view clock,
                YuvPicture& out) const;

  private:
    int width_;
    int height_;
    int sceneWidth_;
    int sceneHeight_;
    YuvPicture scene_;
};

}  // namespace orbisight::sim
