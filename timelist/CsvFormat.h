#pragma once

#include <string>

// Lines of the CSV time-list file. Every line ends in CR LF; nothing is quoted or escaped.

// "Index,Event,Zeit"
std::string CsvHeaderLine();
// The three cells joined by commas, the last ':' of the time cell written as '.': "001,Start,00:01:02.345".
std::string CsvRowLine(const std::string& index, const std::string& event, const std::string& time);
