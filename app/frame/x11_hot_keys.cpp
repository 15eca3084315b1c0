#include "frame/x11_hot_keys.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/keysym.h>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace tessaly::gui {

namespace {

// The variants of a grab: NumLock (Mod2) and CapsLock (Lock) on or off.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                           XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kRelevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

std::uint16_t xModifiers(std::uint16_t code)
{
    std::uint16_t mods = 0;
    if ((code & kHotKeyShift) != 0) {
        mods |= XCB_MOD_MASK_SHIFT;
    }
    if ((code & kHotKeyCtrl) != 0) {
        mods |= XCB_MOD_MASK_CONTROL;
    }
    if ((code & kHotKeyAlt) != 0) {
        mods |= XCB_MOD_MASK_1;
    }
    if ((code & kHotKeyWin) != 0) {
        mods |= XCB_MOD_MASK_4;
    }
    return mods;
}

} // namespace

X11HotKeys::X11HotKeys(QObject* parent) : QObject(parent)
{
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    connection_ = x11->connection();
    symbols_ = xcb_key_symbols_alloc(connection_);
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    root_ = xcb_setup_roots_iterator(setup).data->root;
    qGuiApp->installNativeEventFilter(this);
}

X11HotKeys::~X11HotKeys()
{
    if (connection_ == nullptr) {
        return;
    }
    qGuiApp->removeNativeEventFilter(this);
    for (const Grab& g : grabs_) {
        for (const std::uint16_t variant : kLockVariants) {
            xcb_ungrab_key(connection_, g.keycode, root_, g.modifiers | variant);
        }
    }
    xcb_flush(connection_);
    xcb_key_symbols_free(symbols_);
}

std::uint32_t X11HotKeys::keysymFor(std::uint8_t vk)
{
    if (vk >= 'A' && vk <= 'Z') {
        return XK_a + (vk - 'A');
    }
    if (vk >= '0' && vk <= '9') {
        return XK_0 + (vk - '0');
    }
    if (vk >= 112 && vk <= 123) {
        return XK_F1 + (vk - 112);
    }
    if (vk >= 96 && vk <= 105) {
        return XK_KP_0 + (vk - 96);
    }
    switch (vk) {
    case 106:
        return XK_KP_Multiply;
    case 107:
        return XK_KP_Add;
    case 109:
        return XK_KP_Subtract;
    case 110:
        return XK_KP_Decimal;
    case 111:
        return XK_KP_Divide;
    case 8:
        return XK_BackSpace;
    case 9:
        return XK_Tab;
    case 13:
        return XK_Return;
    case 19:
        return XK_Pause;
    case 20:
        return XK_Caps_Lock;
    case 27:
        return XK_Escape;
    case 32:
        return XK_space;
    case 33:
        return XK_Prior;
    case 34:
        return XK_Next;
    case 35:
        return XK_End;
    case 36:
        return XK_Home;
    case 37:
        return XK_Left;
    case 38:
        return XK_Up;
    case 39:
        return XK_Right;
    case 40:
        return XK_Down;
    case 44:
        return XK_Print;
    case 45:
        return XK_Insert;
    case 46:
        return XK_Delete;
    default:
        return 0;
    }
}

bool X11HotKeys::grab(int id, std::uint16_t code)
{
    const std::uint32_t keysym = keysymFor(static_cast<std::uint8_t>(code & 0xFFU));
    if (connection_ == nullptr || keysym == 0) {
        return false;
    }
    xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(symbols_, keysym);
    if (keycodes == nullptr) {
        return false;
    }
    const xcb_keycode_t keycode = keycodes[0];
    std::free(keycodes);
    if (keycode == XCB_NO_SYMBOL) {
        return false;
    }
    const std::uint16_t modifiers = xModifiers(code);
    // Checked requests: a key another client holds comes back as BadAccess.
    bool refused = false;
    for (const std::uint16_t variant : kLockVariants) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(connection_, 1, root_, modifiers | variant, keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        for (const std::uint16_t variant : kLockVariants) {
            xcb_ungrab_key(connection_, keycode, root_, modifiers | variant);
        }
        xcb_flush(connection_);
        return false;
    }
    grabs_.push_back({id, keycode, modifiers});
    return true;
}

void X11HotKeys::release(int id, std::uint16_t /*code*/)
{
    if (connection_ == nullptr) {
        return;
    }
    for (auto it = grabs_.begin(); it != grabs_.end();) {
        if (it->id == id) {
            for (const std::uint16_t variant : kLockVariants) {
                xcb_ungrab_key(connection_, it->keycode, root_, it->modifiers | variant);
            }
            it = grabs_.erase(it);
        } else {
            ++it;
        }
    }
    xcb_flush(connection_);
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/)
{
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7FU) != XCB_KEY_PRESS) {
        return false;
    }
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    const std::uint16_t state = press->state & kRelevantModifiers;
    for (const Grab& g : grabs_) {
        if (g.keycode == press->detail && g.modifiers == state) {
            Q_EMIT pressed(g.id);
            return true;
        }
    }
    return false;
}

} // namespace tessaly::gui
