#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace korvel {

// xcb's replies and errors, freed with free().
struct FreeReply
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

// A connection of our own to the X display.
struct Disconnect
{
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

// Screen `number` of the display; null when it has none such.
inline const xcb_screen_t *screenOf(xcb_connection_t *c, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; it.rem > 0 && i < number; ++i)
        xcb_screen_next(&it);
    return it.rem > 0 ? it.data : nullptr;
}

} // namespace korvel
