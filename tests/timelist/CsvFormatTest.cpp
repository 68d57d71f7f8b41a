#include <gtest/gtest.h>

#include "timelist/CsvFormat.h"

namespace {

TEST(CsvFormat, HeaderAndRowLinesAreByteExact) {
    EXPECT_EQ(CsvHeaderLine(), "Index,Event,Zeit\r\n");
    struct Case {
        const char* index;
        const char* event;
        const char* time;
        const char* line;
    };
    const Case cases[] = {
        {"001", "Start", "00:01:02:345", "001,Start,00:01:02.345\r\n"},
        {"1000", "Lap", "01:02:03:1000", "1000,Lap,01:02:03.1000\r\n"},
        {"010", "Stopp", "255:255:255:65535", "010,Stopp,255:255:255.65535\r\n"},
        {"005", "Fehler", "12:34:56:999", "005,Fehler,12:34:56.999\r\n"},
        // Cells are written as they are: no quoting, and a time without a colon stays unchanged.
        {"7", "a,b", "noon", "7,a,b,noon\r\n"},
        {"", "", "", ",,\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CsvRowLine(c.index, c.event, c.time), c.line) << c.time;
    }
}

}  // namespace
