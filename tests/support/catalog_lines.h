// The lines of channels.dat read one byte at a time, as the line rules are written: a line ends
// at "\r\n", "\r", "\n" or a zero byte; the reader of the program is checked against this.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vistrelle::testing {

inline std::vector<std::string> linesByteByByte(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        std::string line;
        while (at < bytes.size()) {
            const char c = bytes[at++];
            if (c == '\n' || c == '\0') {
                break;
            }
            if (c == '\r') {
                if (at < bytes.size() && bytes[at] == '\n') {
                    ++at;
                }
                break;
            }
            line.push_back(c);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace vistrelle::testing
