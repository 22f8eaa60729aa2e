// SPDX-License-Identifier: MIT
// Reading the io libraries' settings: the comma lists of their QUILLON_* variables (readList)
// and the "name = value" lines of the simulator's state files.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace quillon::settings {

// The text without the spaces, tabs and carriage returns around it.
[[nodiscard]] inline std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The list's first item, trimmed ("" for an empty one), taken off the front of the list.
[[nodiscard]] inline std::string_view takeItem(std::string_view& list) {
    const auto comma = list.find(',');
    const std::string_view item = trimmed(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    return item;
}

// An item "name=value" split at its first '=', both sides trimmed; an item without one is all
// name, with an empty value.
struct NamedValue {
    std::string_view name;
    std::string_view value;
};
[[nodiscard]] inline NamedValue splitItem(std::string_view item) {
    const auto equals = item.find('=');
    return {trimmed(item.substr(0, equals)), equals == std::string_view::npos
                                                 ? std::string_view{}
                                                 : trimmed(item.substr(equals + 1))};
}

// Reads a comma list of items: calls use(item, name, value) for each item that isn't empty, in
// order, with the item split as splitItem splits it, and stops at the first call that answers
// false. Answers false when one did, true when every item was taken.
template <typename Use>
[[nodiscard]] bool readList(std::string_view list, Use&& use) {
    while (!list.empty()) {
        const std::string_view item = takeItem(list);
        if (item.empty()) {
            continue;
        }
        const NamedValue split = splitItem(item);
        if (!use(item, split.name, split.value)) {
            return false;
        }
    }
    return true;
}

// A whole decimal number: false for empty text, any other character or a number too big.
[[nodiscard]] inline bool parseNumber(std::string_view text, uint32_t& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

} // namespace quillon::settings
