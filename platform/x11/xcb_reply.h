// Replies of XCB requests, owned. Requests sent through XCB are queued and
// go out together at the first wait, so a reader that sends every request
// before it awaits the first reply costs one round trip.
#pragma once

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

struct XcbFreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename Reply>
using XcbReply = std::unique_ptr<Reply, XcbFreeDeleter>;

// The reply to `cookie`; null when the server answered with an error (which
// is dropped: the call fails) or the connection broke.
template <typename Reply, typename Cookie>
XcbReply<Reply> awaitReply(Reply* (*reply)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                           xcb_connection_t* c, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbReply<Reply> r(reply(c, cookie, &error));
    std::free(error);
    return r;
}
