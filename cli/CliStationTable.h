#pragma once

#include <cstdio>
#include <string>

namespace corvanetov {

class Station;

// The station's table on a terminal, drawn again in place at every tick:
// one line per handset, cut to the terminal's width so that no line wraps
// and the next drawing lands on the same lines. Then the summary.
class CliStationTable {
public:
    explicit CliStationTable(std::FILE* out) : m_out(out) {}

    void Draw(const Station& station);
    // Per handset its ESN, result and duration, then the totals.
    static std::string Summary(const Station& station);

private:
    static std::string Line(const Station& station, int row);
    static std::string HeaderLine();

    std::FILE* m_out;
    int m_drawn = 0; // lines of the last drawing
};

} // namespace corvanetov
