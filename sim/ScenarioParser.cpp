#include "sim/ScenarioParser.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t position = 0;
    while (position < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", position);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = line.find_first_of(" \t\r", start);
        const std::size_t stop = end == std::string_view::npos ? line.size() : end;
        words.push_back(line.substr(start, stop - start));
        position = stop;
    }
    return words;
}

std::optional<uint32_t> ParseNumber(std::string_view word, uint32_t maximum) {
    uint64_t value = 0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    if (error != std::errc() || stop != end || value > maximum) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<uint8_t> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<uint8_t>(c - '0');
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<uint8_t>(c - 'a' + 10);
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<uint8_t>(c - 'A' + 10);
    }
    return std::nullopt;
}

// Parses one line that holds an action; returns the error text, empty on success.
std::string ParseAction(const std::vector<std::string_view>& words, std::vector<Action>& actions) {
    const std::string_view verb = words[0];
    const std::size_t arguments = words.size() - 1;
    if (verb == "wait") {
        if (arguments != 1) {
            return "wait needs one number of milliseconds";
        }
        const auto milliseconds = ParseNumber(words[1], UINT32_MAX);
        if (!milliseconds) {
            return "wait: \"" + std::string(words[1]) + "\" is not a number of milliseconds";
        }
        actions.push_back(WaitAction(*milliseconds));
        return {};
    }
    if (verb == "event") {
        if (arguments != 5) {
            return "event needs KIND H M S MS";
        }
        uint8_t kind = 0;
        if (words[1] == "start") {
            kind = kKindStart;
        } else if (words[1] == "stop") {
            kind = kKindStop;
        } else if (words[1] == "lap") {
            kind = kKindLap;
        } else if (words[1] == "error") {
            kind = kKindError;
        } else if (const auto number = ParseNumber(words[1], 255)) {
            kind = static_cast<uint8_t>(*number);
        } else {
            return "event: kind \"" + std::string(words[1]) +
                   "\" is none of start, stop, lap, error, 0 to 255";
        }
        static constexpr const char* kFieldNames[] = {"hours", "minutes", "seconds", "milliseconds"};
        static constexpr uint32_t kMaximum[] = {255, 255, 255, 65535};
        uint32_t fields[4] = {};
        for (int i = 0; i < 4; ++i) {
            const auto value = ParseNumber(words[2 + i], kMaximum[i]);
            if (!value) {
                return std::string("event: ") + kFieldNames[i] + " \"" + std::string(words[2 + i]) +
                       "\" is not a number from 0 to " + std::to_string(kMaximum[i]);
            }
            fields[i] = *value;
        }
        const EventTime time{static_cast<uint8_t>(fields[0]), static_cast<uint8_t>(fields[1]),
                             static_cast<uint8_t>(fields[2]), static_cast<uint16_t>(fields[3])};
        actions.push_back(EventAction(kind, time));
        return {};
    }
    if (verb == "raw") {
        std::vector<uint8_t> bytes;
        for (std::size_t i = 1; i < words.size(); ++i) {
            const std::string_view word = words[i];
            if (word.size() % 2 != 0) {
                return "raw: \"" + std::string(word) + "\" is not whole hex bytes";
            }
            for (std::size_t j = 0; j < word.size(); j += 2) {
                const auto high = HexDigit(word[j]);
                const auto low = HexDigit(word[j + 1]);
                if (!high || !low) {
                    return "raw: \"" + std::string(word) + "\" is not whole hex bytes";
                }
                bytes.push_back(static_cast<uint8_t>((*high << 4) | *low));
            }
        }
        if (bytes.empty()) {
            return "raw needs at least one hex byte";
        }
        actions.push_back(RawAction(std::move(bytes)));
        return {};
    }
    if (verb == "unplug" || verb == "plug") {
        if (arguments != 0) {
            return std::string(verb) + " takes no arguments";
        }
        actions.push_back(verb == "unplug" ? UnplugAction() : PlugAction());
        return {};
    }
    return "unknown action \"" + std::string(verb) + "\" (wait, event, raw, unplug, plug)";
}

}  // namespace

ScenarioResult ParseScenario(std::string_view text) {
    ScenarioResult result;
    std::size_t lineNumber = 0;
    std::size_t position = 0;
    while (position < text.size()) {
        ++lineNumber;
        const std::size_t end = text.find('\n', position);
        std::string_view line =
            text.substr(position, end == std::string_view::npos ? std::string_view::npos : end - position);
        position = end == std::string_view::npos ? text.size() : end + 1;
        line = line.substr(0, line.find('#'));
        const std::vector<std::string_view> words = SplitWords(line);
        if (words.empty()) {
            continue;
        }
        const std::string error = ParseAction(words, result.actions);
        if (!error.empty()) {
            result.actions.clear();
            result.error = "line " + std::to_string(lineNumber) + ": " + error;
            return result;
        }
    }
    return result;
}

ScenarioResult LoadScenario(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ScenarioResult result;
        result.error = "cannot read " + path;
        return result;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad()) {
        ScenarioResult result;
        result.error = "cannot read " + path;
        return result;
    }
    return ParseScenario(contents.str());
}
