#include "cli/CliStationTable.h"

#include <QString>
#include <array>
#include <sys/ioctl.h>
#include <unistd.h>

#include "station/Station.h"

namespace corvanetov {

namespace {
constexpr char kUp[] = "\033[%dA";
constexpr char kClearLine[] = "\r\033[K";
// Every column but the window's buttons; the result takes the rest.
constexpr int kColumns = StationModel::Result + 1;
constexpr int kWidths[kColumns] = {6, 26, 9, 24, 4, 20, 11, 10, 0};
constexpr size_t kDefaultWidth = 160;

size_t TerminalWidth(std::FILE* out)
{
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultWidth;
}

std::string Cells(const std::array<QString, kColumns>& cells)
{
    std::string line;
    for (int column = 0; column < kColumns; ++column) {
        const int width = kWidths[column];
        QString cell = width ? cells[static_cast<size_t>(column)].left(width - 1).leftJustified(width)
                             : cells[static_cast<size_t>(column)];
        line += cell.toStdString();
    }
    return line;
}
} // namespace

std::string CliStationTable::HeaderLine()
{
    std::array<QString, kColumns> cells;
    for (int column = 0; column < kColumns; ++column)
        cells[static_cast<size_t>(column)] = StationModel::Header(column);
    return Cells(cells);
}

std::string CliStationTable::Line(const Station& station, int row)
{
    std::array<QString, kColumns> cells;
    for (int column = 0; column < kColumns; ++column)
        cells[static_cast<size_t>(column)] = station.Model().Text(row, column);
    return Cells(cells);
}

void CliStationTable::Draw(const Station& station)
{
    const size_t width = TerminalWidth(m_out);
    if (m_drawn)
        std::fprintf(m_out, kUp, m_drawn);
    std::string text;
    auto add = [&](const std::string& line) { text += kClearLine + line.substr(0, width - 1) + "\n"; };
    add(HeaderLine());
    for (int row = 0; row < station.Rows(); ++row)
        add(Line(station, row));
    std::fputs(text.c_str(), m_out);
    std::fflush(m_out);
    m_drawn = station.Rows() + 1;
}

std::string CliStationTable::Summary(const Station& station)
{
    std::string text = "Summary:\n";
    char line[512];
    for (int row = 0; row < station.Rows(); ++row) {
        const StationRow& each = station.Row(row);
        std::snprintf(line, sizeof line, "  %-6s %-9s %7.1f s  %s\n", each.port.toStdString().c_str(),
                      each.esn.isEmpty() ? "-" : each.esn.toStdString().c_str(), each.Seconds(),
                      each.StateText().toStdString().c_str());
        text += line;
    }
    const Station::Totals totals = station.Summary();
    std::snprintf(line, sizeof line, "%d of %d completed, %d failed, %d stopped, %.1f s in all\n", totals.completed,
                  station.Rows(), totals.failed, totals.stopped, totals.seconds);
    return text + line;
}

} // namespace corvanetov
