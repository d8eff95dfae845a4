#include "Screenshot.h"

#include <cctype>
#include <fstream>

namespace corvanetov {

namespace {
constexpr int kMinButtonWidth = 30;
constexpr int kMinButtonHeight = 14;
constexpr int kMaxButtonHeight = 48;
// Grid lines and frames run across most of the area; a push button does not.
constexpr double kMaxButtonShare = 0.6;
// Keeps the frame and the focus rectangle out of a caption's ink.
constexpr int kCaptionInset = 4;
constexpr int kDarkLuma = 100;
// The highlight (focus) colour is a clear blue; frames are otherwise grey.
constexpr int kHighlightBlueOverRed = 40;
constexpr int kMaxChannel = 255;
// A progress bar's two parts: long enough not to be a frame's corner, over
// enough rows not to be a focus frame's edge.
constexpr int kMinBarPart = 8;
constexpr int kMinBarRows = 4;

// The next number of a PPM header, past blanks and comments.
bool ReadHeaderNumber(std::istream& in, int& value)
{
    for (int c = in.peek(); c == '#' || std::isspace(c); c = in.peek()) {
        if (c == '#')
            in.ignore(1 << 16, '\n');
        else
            in.get();
    }
    return static_cast<bool>(in >> value);
}

int Luma(const Screenshot::Rgb& pixel)
{
    return (pixel.r * 299 + pixel.g * 587 + pixel.b * 114) / 1000;
}

bool IsHighlight(const Screenshot::Rgb& pixel)
{
    return pixel.b - pixel.r > kHighlightBlueOverRed;
}

// A bar's empty part is white; the window around it is a shade darker.
bool IsWhite(const Screenshot::Rgb& pixel)
{
    return pixel.r == kMaxChannel && pixel.g == kMaxChannel && pixel.b == kMaxChannel;
}
} // namespace

std::optional<Screenshot> Screenshot::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    Screenshot shot;
    if (!(in >> magic) || magic != "P6" || !ReadHeaderNumber(in, shot.m_width) || !ReadHeaderNumber(in, shot.m_height)
        || !ReadHeaderNumber(in, maxValue) || maxValue != kMaxChannel)
        return std::nullopt;
    in.get(); // the one blank before the pixels
    shot.m_pixels.resize(static_cast<size_t>(shot.m_width) * static_cast<size_t>(shot.m_height));
    in.read(reinterpret_cast<char*>(shot.m_pixels.data()), static_cast<std::streamsize>(shot.m_pixels.size() * sizeof(Rgb)));
    if (!in)
        return std::nullopt;
    shot.m_path = path;
    return shot;
}

Screenshot::Rgb Screenshot::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return {};
    return m_pixels[static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)];
}

int Screenshot::Count(Rgb colour, const ScreenRect& area, const ScreenRect& except) const
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            count += At(x, y) == colour && !except.Contains(x, y);
    return count;
}

int Screenshot::RunLength(int x, int y, int limit) const
{
    int length = 1;
    while (length < limit && At(x + length, y) == At(x, y))
        ++length;
    return length;
}

std::optional<int> Screenshot::ButtonTop(int x, int bottom, int length) const
{
    const Rgb frame = At(x, bottom);
    const int middle = x + length / 2;
    if (At(middle, bottom + 1) == frame || At(middle, bottom - 1) == frame)
        return std::nullopt;
    for (int top = bottom - kMinButtonHeight; top >= bottom - kMaxButtonHeight; --top) {
        if (At(x, top) == frame && At(x - 1, top) != frame && RunLength(x, top, length + 1) == length
            && At(middle, top - 1) != frame)
            return top;
    }
    return std::nullopt;
}

std::optional<ScreenRect> Screenshot::LowestButton(const ScreenRect& area, Side side) const
{
    const int maxWidth = static_cast<int>(area.width * kMaxButtonShare);
    const int right = area.x + area.width;
    for (int bottom = area.y + area.height - 1; bottom >= area.y + kMinButtonHeight; --bottom) {
        std::optional<ScreenRect> found;
        for (int x = area.x; x < right && !(found && side == Side::Left);) {
            int length = RunLength(x, bottom, right - x);
            if (length >= kMinButtonWidth && length <= maxWidth) {
                if (std::optional<int> top = ButtonTop(x, bottom, length))
                    found = ScreenRect{x, *top, length, bottom - *top + 1};
            }
            x += length;
        }
        if (found)
            return found;
    }
    return std::nullopt;
}

int Screenshot::CaptionInkWidth(const ScreenRect& button) const
{
    int first = -1;
    int last = -1;
    for (int x = button.x + kCaptionInset; x < button.x + button.width - kCaptionInset; ++x) {
        for (int y = button.y + kCaptionInset; y < button.y + button.height - kCaptionInset; ++y) {
            if (Luma(At(x, y)) < kDarkLuma) {
                first = first < 0 ? x : first;
                last = x;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

bool Screenshot::ShowsFocus(const ScreenRect& button) const
{
    return IsHighlight(At(button.CenterX(), button.y));
}

std::optional<Screenshot::BarRow> Screenshot::BarRowAt(int x, int y) const
{
    if (!IsHighlight(At(x, y)) || At(x - 1, y) == At(x, y))
        return std::nullopt;
    const int filled = RunLength(x, y, m_width);
    const int empty = IsWhite(At(x + filled, y)) ? RunLength(x + filled, y, m_width) : 0;
    if (filled < kMinBarPart || empty < kMinBarPart)
        return std::nullopt;
    return BarRow{x, filled, empty};
}

std::optional<double> Screenshot::BarFill(const ScreenRect& area) const
{
    std::optional<BarRow> widest;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            std::optional<BarRow> row = BarRowAt(x, y);
            if (!row || (widest && row->filled + row->empty <= widest->filled + widest->empty))
                continue;
            int rows = 1;
            while (rows < kMinBarRows && BarRowAt(x, y + rows) == row)
                ++rows;
            if (rows == kMinBarRows)
                widest = row;
        }
    }
    if (!widest)
        return std::nullopt;
    return static_cast<double>(widest->filled) / (widest->filled + widest->empty);
}

} // namespace corvanetov
