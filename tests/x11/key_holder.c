/* Holds Super+U on the root window, as another program that owns the key
 * would, until it is killed. Prints "held" once the grab succeeded. */
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

int main(void)
{
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        return 1;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XK_u);
    const uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                 XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
    for (int i = 0; i < 4; ++i) {
        xcb_void_cookie_t cookie = xcb_grab_key_checked(c, 1, root, XCB_MOD_MASK_4 | variants[i],
                                                        codes[0], XCB_GRAB_MODE_ASYNC,
                                                        XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(c, cookie);
        if (error != NULL) {
            free(error);
            return 2;
        }
    }
    free(codes);
    printf("held\n");
    fflush(stdout);
    for (;;) {
        xcb_generic_event_t* event = xcb_wait_for_event(c);
        if (event == NULL) {
            return 0;
        }
        free(event);
    }
}
