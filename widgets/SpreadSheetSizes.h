#pragma once

#include <map>

namespace corvanetov {

// A grid's column widths (in characters of its font) and row heights (in
// points) as the forms gave them. A column the forms left alone has the
// default width; a row they left alone, or gave no height, prints at the
// default height.
struct SpreadSheetSizes {
    static constexpr double kDefaultColumnWidth = 12.0;
    static constexpr double kDefaultRowHeight = 16.0;
    static constexpr double kPointsPerInch = 72.0;

    std::map<int, double> columnWidths;
    std::map<int, double> rowHeights;

    double ColumnWidth(int column) const
    {
        const auto width = columnWidths.find(column);
        return width != columnWidths.end() ? width->second : kDefaultColumnWidth;
    }
    double PrintRowHeight(int row) const
    {
        const auto height = rowHeights.find(row);
        return height != rowHeights.end() && height->second > 0 ? height->second : kDefaultRowHeight;
    }
};

} // namespace corvanetov
