#include "timelist/CsvFormat.h"

namespace {
constexpr const char* kLineEnd = "\r\n";
}

std::string CsvHeaderLine() { return std::string("Index,Event,Zeit") + kLineEnd; }

std::string CsvRowLine(const std::string& index, const std::string& event, const std::string& time) {
    std::string timeField = time;
    if (const auto lastColon = timeField.rfind(':'); lastColon != std::string::npos) {
        timeField[lastColon] = '.';
    }
    return index + ',' + event + ',' + timeField + kLineEnd;
}
