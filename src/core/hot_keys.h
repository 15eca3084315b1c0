#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// Hot-key codes: the low byte is the key (Windows virtual-key numbering),
// the high byte the modifiers.
constexpr std::uint16_t kHotKeyAlt = 0x0100;
constexpr std::uint16_t kHotKeyCtrl = 0x0200;
constexpr std::uint16_t kHotKeyShift = 0x0400;
constexpr std::uint16_t kHotKeyWin = 0x0800;

// Reads a hot-key text ("WinU", "*U", "CtrlShiftF10", "^+F10", "Ctrl-Key-Del")
// into its code: leading "+", "^", "%", "*" and the words Shift, Ctrl, Alt,
// Win add modifiers, "-" and the word "Key" are dropped, and the rest is
// looked up in the key-name table (from its last entry, letter case
// ignored). A key name not in the table gives 0 for the key byte.
std::uint16_t parseHotKey(std::string_view text);

// The key-name table: 92 names and their virtual-key codes.
struct KeyName {
    std::string_view name;
    std::uint8_t code;
};
const std::vector<KeyName>& keyNameTable();

// Grabs and releases system-wide keys; the X11 grabber does it for the
// program, tests use a fake.
class HotKeyRegistrar {
public:
    virtual ~HotKeyRegistrar() = default;
    // Claims `code` under identifier `id`; false when the system refuses
    // (another program holds the key, or there is no X11).
    virtual bool grab(int id, std::uint16_t code) = 0;
    virtual void release(int id, std::uint16_t code) = 0;
};

struct HotKey {
    std::uint16_t code = 0;
    std::string name; // at most 32 characters

    friend bool operator==(const HotKey&, const HotKey&) = default;
};

// The program's hot keys: the list, the keys the system refused, and the
// presses waiting to be handled.
class HotKeys final {
public:
    explicit HotKeys(HotKeyRegistrar& registrar) : registrar_(registrar) {}
    ~HotKeys();
    HotKeys(const HotKeys&) = delete;
    HotKeys& operator=(const HotKeys&) = delete;

    // Adds a key unless one with the same code is listed; a text that parses
    // to 0 adds nothing. Once enabled, every key is set up again.
    void add(std::string_view text);
    // Sets up every listed key from now on.
    void enable();
    // Releases every key.
    void disable();

    const std::vector<HotKey>& keys() const { return keys_; }
    const std::vector<HotKey>& failed() const { return failed_; }

    // A press of key number `id` (1-based position in the list); an unknown
    // number queues code 0 with `name`.
    void pressed(int id, std::string_view name = {});
    // The first press waiting, removed from the queue.
    std::optional<HotKey> takePending();

private:
    void setUp();

    HotKeyRegistrar& registrar_;
    std::vector<HotKey> keys_;
    std::vector<HotKey> failed_;
    std::deque<HotKey> pending_;
    bool enabled_ = false;
    bool grabbed_ = false;
};

} // namespace tessaly
