#include "bookmarks/x11_window_titles.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <xcb/xcb.h>

namespace tessaly::gui {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

std::string property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr);
    std::string value;
    if (reply != nullptr) {
        value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return value;
}

} // namespace

std::string addressInTitle(const std::string& title)
{
    std::istringstream words(title);
    std::string word;
    while (words >> word) {
        if (word.find("http") != std::string::npos || word.find("ftp") != std::string::npos ||
            word.find("www") != std::string::npos) {
            return word;
        }
    }
    return {};
}

std::vector<BrowserCandidate> x11TitleCandidates()
{
    std::vector<BrowserCandidate> out;
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return out;
    }
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    // The window manager's list of client windows; without one, the root's
    // children are the top-level windows.
    std::vector<xcb_window_t> windows;
    const std::string clients = property(c, root, atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    for (std::size_t at = 0; at + sizeof(xcb_window_t) <= clients.size();
         at += sizeof(xcb_window_t)) {
        xcb_window_t window = 0;
        std::memcpy(&window, clients.data() + at, sizeof window);
        windows.push_back(window);
    }
    if (windows.empty()) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
        if (tree == nullptr) {
            return out;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree);
        windows.assign(children, children + xcb_query_tree_children_length(tree));
        std::free(tree);
    }
    for (const xcb_window_t window : windows) {
        std::string title = property(c, window, netName, utf8);
        if (title.empty()) {
            title = property(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        }
        if (title.empty() || title == "Tessaly 2000" || title == "New Location") {
            continue;
        }
        const std::string address = addressInTitle(title);
        if (!address.empty()) {
            addCandidate(out, {title, address});
        }
    }
    return out;
}

} // namespace tessaly::gui
