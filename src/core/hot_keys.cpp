#include "core/hot_keys.h"

#include "framework/text.h"

#include <algorithm>

namespace tessaly {

namespace {

std::vector<KeyName> makeKeyNames()
{
    std::vector<KeyName> table;
    static const std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const std::string_view digits = "0123456789";
    static const char* const functionKeys[] = {"F1", "F2", "F3", "F4",  "F5",  "F6",
                                               "F7", "F8", "F9", "F10", "F11", "F12"};
    static const char* const padKeys[] = {"Pad0", "Pad1", "Pad2", "Pad3", "Pad4",
                                          "Pad5", "Pad6", "Pad7", "Pad8", "Pad9"};
    for (std::size_t i = 0; i < letters.size(); ++i) {
        table.push_back({letters.substr(i, 1), static_cast<std::uint8_t>(65 + i)});
    }
    for (std::size_t i = 0; i < digits.size(); ++i) {
        table.push_back({digits.substr(i, 1), static_cast<std::uint8_t>(48 + i)});
    }
    for (std::size_t i = 0; i < 12; ++i) {
        table.push_back({functionKeys[i], static_cast<std::uint8_t>(112 + i)});
    }
    for (std::size_t i = 0; i < 10; ++i) {
        table.push_back({padKeys[i], static_cast<std::uint8_t>(96 + i)});
    }
    const KeyName rest[] = {
        {"Ast", 106},       {"Plus", 107},       {"Minus", 109},     {"Decimal", 110},
        {"Slash", 111},     {"Bs", 8},           {"Backspace", 8},   {"Tab", 9},
        {"Enter", 13},      {"Pause", 19},       {"CapsLock", 20},   {"Caps", 20},
        {"Esc", 27},        {"Space", 32},       {"PgUp", 33},       {"PgDn", 34},
        {"End", 35},        {"Home", 36},        {"Left", 37},       {"Up", 38},
        {"Right", 39},      {"Down", 40},        {"Print", 44},      {"Ins", 45},
        {"Insert", 45},     {"Del", 46},         {"Delete", 46},     {"Mouse", 1},
        {"MouseLeft", 1},   {"MouseRight", 2},   {"MouseCenter", 3}, {"MouseLeft2", 5},
        {"MouseRight2", 6}, {"MouseCenter2", 7},
    };
    table.insert(table.end(), std::begin(rest), std::end(rest));
    return table;
}

std::uint16_t parseUpper(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    // Modifiers combine as bits, so a modifier written twice stays itself.
    switch (text.front()) {
    case '+':
        return kHotKeyShift | parseUpper(text.substr(1));
    case '^':
        return kHotKeyCtrl | parseUpper(text.substr(1));
    case '%':
        return kHotKeyAlt | parseUpper(text.substr(1));
    case '*':
        return kHotKeyWin | parseUpper(text.substr(1));
    case '-':
        return parseUpper(text.substr(1));
    default:
        break;
    }
    if (text.starts_with("SHI")) {
        return kHotKeyShift | parseUpper(text.substr(std::min<std::size_t>(5, text.size())));
    }
    if (text.starts_with("CTR")) {
        return kHotKeyCtrl | parseUpper(text.substr(std::min<std::size_t>(4, text.size())));
    }
    if (text.starts_with("ALT")) {
        return kHotKeyAlt | parseUpper(text.substr(3));
    }
    if (text.starts_with("WIN")) {
        return kHotKeyWin | parseUpper(text.substr(3));
    }
    std::string name{text};
    if (const auto key = name.find("KEY"); key != std::string::npos) {
        name.erase(key, 3);
    }
    const auto& table = keyNameTable();
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        if (text::upper(it->name) == name) {
            return it->code;
        }
    }
    return 0;
}

} // namespace

const std::vector<KeyName>& keyNameTable()
{
    static const std::vector<KeyName> table = makeKeyNames();
    return table;
}

std::uint16_t parseHotKey(std::string_view text)
{
    return parseUpper(text::upper(text::trim(text)));
}

HotKeys::~HotKeys()
{
    disable();
}

void HotKeys::add(std::string_view text)
{
    const std::uint16_t code = parseHotKey(text);
    if (code == 0) {
        return;
    }
    for (const HotKey& key : keys_) {
        if (key.code == code) {
            return;
        }
    }
    keys_.push_back({code, std::string{text::fit(text, 32)}});
    if (enabled_) {
        setUp();
    }
}

void HotKeys::enable()
{
    enabled_ = true;
    setUp();
}

void HotKeys::disable()
{
    if (grabbed_) {
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            registrar_.release(static_cast<int>(i) + 1, keys_[i].code);
        }
        grabbed_ = false;
    }
    enabled_ = false;
}

void HotKeys::setUp()
{
    if (grabbed_) {
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            registrar_.release(static_cast<int>(i) + 1, keys_[i].code);
        }
    }
    failed_.clear();
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (!registrar_.grab(static_cast<int>(i) + 1, keys_[i].code)) {
            failed_.push_back(keys_[i]);
        }
    }
    grabbed_ = true;
}

void HotKeys::pressed(int id, std::string_view name)
{
    if (id >= 1 && static_cast<std::size_t>(id) <= keys_.size()) {
        pending_.push_back(keys_[static_cast<std::size_t>(id - 1)]);
    } else {
        pending_.push_back({0, std::string{name}});
    }
}

std::optional<HotKey> HotKeys::takePending()
{
    if (pending_.empty()) {
        return std::nullopt;
    }
    HotKey key = pending_.front();
    pending_.pop_front();
    return key;
}

} // namespace tessaly
