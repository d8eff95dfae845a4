#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvanetov {

// A rectangle of the screen, in pixels.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool Contains(int px, int py) const { return px >= x && px < x + width && py >= y && py < y + height; }
    int CenterX() const { return x + width / 2; }
    int CenterY() const { return y + height / 2; }
    bool operator==(const ScreenRect&) const = default;
};

// A picture of the whole virtual screen (binary PPM, as ImageMagick's
// import writes it) and what a test reads from it: colours by region, and
// the push buttons Qt drew.
class Screenshot {
public:
    struct Rgb {
        uint8_t r = 0;
        uint8_t g = 0;
        uint8_t b = 0;
        bool operator==(const Rgb&) const = default;
    };

    // Empty when the file is not a binary PPM.
    static std::optional<Screenshot> Load(const std::string& path);

    const std::string& Path() const { return m_path; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Rgb At(int x, int y) const;

    bool SamePixels(const Screenshot& other) const { return m_width == other.m_width && m_pixels == other.m_pixels; }
    // Pixels of the colour inside `area` and outside `except`.
    int Count(Rgb colour, const ScreenRect& area, const ScreenRect& except = {}) const;
    // Which of the buttons in the lowest row.
    enum class Side { Left, Right };
    // The lowest push button inside `area`: a frame whose top and bottom
    // edges are runs of one colour of the same extent, not as wide as the
    // area's grid lines. A drop-down list may pass for one too: a view whose
    // start button shares its row with a list asks for the right one.
    std::optional<ScreenRect> LowestButton(const ScreenRect& area, Side side = Side::Left) const;
    // How wide the dark ink of a button's caption is.
    int CaptionInkWidth(const ScreenRect& button) const;
    // Whether the button's frame is drawn in the highlight colour that marks
    // the keyboard focus.
    bool ShowsFocus(const ScreenRect& button) const;
    // How far the progress bar inside `area` is filled (0 to 1): its filled
    // part in the highlight colour, then its empty part in white, over
    // several rows. Empty when no bar shows a filled and an empty part.
    std::optional<double> BarFill(const ScreenRect& area) const;

private:
    // The run of one colour starting at (x, y), up to `limit` pixels.
    int RunLength(int x, int y, int limit) const;
    // The top row of a button whose bottom edge is this run, if it is one.
    std::optional<int> ButtonTop(int x, int bottom, int length) const;
    // A highlight-coloured run followed by a white one on row y, starting at x.
    struct BarRow {
        int x = 0;
        int filled = 0;
        int empty = 0;
        bool operator==(const BarRow&) const = default;
    };
    std::optional<BarRow> BarRowAt(int x, int y) const;

    std::string m_path;
    int m_width = 0;
    int m_height = 0;
    std::vector<Rgb> m_pixels;
};

} // namespace corvanetov
