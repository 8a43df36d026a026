#include "x11/ClientLeader.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tarvik::x11 {
namespace {

// Every reply and error is taken here: on the toolkit's connection an error left unclaimed would
// reach its event queue, and a window already gone is no fault.
xcb_atom_t takeAtom(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, &error);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    std::free(error);
    return atom;
}

xcb_intern_atom_cookie_t askAtom(xcb_connection_t* connection, const char* name) {
    return xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
}

void deleteProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    std::free(xcb_request_check(connection, xcb_delete_property_checked(connection, window, property)));
}

}  // namespace

bool untitleClientLeader(xcb_connection_t* connection, unsigned long window) {
    if (connection == nullptr) return false;
    const auto leaderCookie = askAtom(connection, "WM_CLIENT_LEADER");
    const auto netNameCookie = askAtom(connection, "_NET_WM_NAME");
    const xcb_atom_t leaderAtom = takeAtom(connection, leaderCookie);
    const xcb_atom_t netName = takeAtom(connection, netNameCookie);
    if (leaderAtom == XCB_ATOM_NONE) return false;
    const auto id = static_cast<xcb_window_t>(window);
    xcb_generic_error_t* error = nullptr;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, leaderAtom, XCB_ATOM_WINDOW, 0, 1), &error);
    std::free(error);
    bool done = false;
    if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32 &&
        xcb_get_property_value_length(reply) == sizeof(xcb_window_t)) {
        xcb_window_t leader = XCB_WINDOW_NONE;
        std::memcpy(&leader, xcb_get_property_value(reply), sizeof leader);
        if (leader != id) {
            deleteProperty(connection, leader, XCB_ATOM_WM_NAME);
            if (netName != XCB_ATOM_NONE) deleteProperty(connection, leader, netName);
            done = true;
        }
    }
    std::free(reply);
    return done;
}

}  // namespace tarvik::x11
