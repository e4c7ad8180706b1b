#pragma once

class QApplication;

namespace orbisight::ui {

// The client's look beyond the skin images: one palette, one font, and the
// style of menus, trees, inputs and tooltips, set once on the application.
void ApplySkinStyle(QApplication& app);

// Colours shared by the windows that draw themselves.
namespace colors {
constexpr unsigned kAccent = 0x1f6fd1;
constexpr unsigned kInk = 0x344458;
constexpr unsigned kPanel = 0xf7f8fa;
constexpr unsigned kToolbar = 0xf6f6f6;
constexpr unsigned kBorder = 0xdfe3e8;
constexpr unsigned kWallBackground = 0x1a2029;
}  // namespace colors

}  // namespace orbisight::ui
