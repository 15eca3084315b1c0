#pragma once

#include "core/hot_keys.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <vector>

struct xcb_connection_t;
struct _XCBKeySymbols;

namespace tessaly::gui {

// System-wide keys on X11: each key is grabbed on the root window with its
// modifiers (Win is Super, Mod4) in four variants, so NumLock and CapsLock
// do not get in the way. A key another program holds is refused by the X
// server and reported as failed. Without X11 (Wayland, offscreen) every grab
// fails, silently.
class X11HotKeys final : public QObject, public QAbstractNativeEventFilter, public HotKeyRegistrar {
    Q_OBJECT

public:
    explicit X11HotKeys(QObject* parent = nullptr);
    ~X11HotKeys() override;

    bool grab(int id, std::uint16_t code) override;
    void release(int id, std::uint16_t code) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The X keysym of a key of the key-name table; 0 for keys X cannot grab
    // (the mouse names).
    static std::uint32_t keysymFor(std::uint8_t virtualKey);

Q_SIGNALS:
    // Key number `id` was pressed.
    void pressed(int id);

private:
    struct Grab {
        int id;
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };

    xcb_connection_t* connection_ = nullptr;
    _XCBKeySymbols* symbols_ = nullptr;
    std::uint32_t root_ = 0;
    std::vector<Grab> grabs_;
};

} // namespace tessaly::gui
