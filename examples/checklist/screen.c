/* The checklist's screens: everything is drawn into the drawing surface, which is then copied to
 * the display in one go, so the display never shows a half-drawn screen. */
#include "checklist.h"

#include "nuvoka_text.h"
#include "platform/text.h"

#define WIDTH 176
#define HEIGHT 220
#define TITLE_HEIGHT 18
#define ROW_HEIGHT 18
#define FOOTER_TOP 202

static UINT32 ctx = 0;          /* the drawing context */
static UINT32 draw_surface = 0; /* where the screen is drawn */
static UINT32 display_surface = 0;

void screen_bind(void) {
    ctx = DAL_GetDeviceContext(0);
    draw_surface = DAL_GetDrawingSurface(0);
    AhiDispSurfGet(ctx, &display_surface);
    AhiDrawClipDstSet(ctx, NULL);
    AhiDrawClipSrcSet(ctx, NULL);
}

/* "done/count" of the list, right-aligned in the title bar. */
static void draw_count(void) {
    WCHAR text[24];
    UINT32 done = 0;
    for (UINT32 i = 0; i < list->count; ++i) done += list->items[i].ticked;
    u_ltou((INT32)done, text);
    UINT32 n = u_strlen(text);
    text[n] = '/';
    u_ltou((INT32)list->count, text + n + 1);
    nuvoka_draw_text(ctx, WIDTH - 4 - nuvoka_text_width(text), 3, text, NUVOKA_RGB(255, 255, 255));
}

/* A box of 10 x 10 pixels, filled in when the item is ticked. */
static void draw_box(INT32 x, INT32 y, UINT8 ticked) {
    nuvoka_fill(ctx, x, y, 10, 10, NUVOKA_RGB(220, 220, 220));
    nuvoka_fill(ctx, x + 1, y + 1, 8, 8, NUVOKA_RGB(24, 32, 48));
    if (ticked) nuvoka_fill(ctx, x + 2, y + 2, 6, 6, NUVOKA_RGB(80, 200, 120));
}

static void draw_items(void) {
    if (list->count == 0) {
        nuvoka_draw_ascii(ctx, 8, 40, "Nothing to do.", NUVOKA_RGB(255, 255, 255));
        nuvoka_draw_ascii(ctx, 8, 60, "The left soft key adds", NUVOKA_RGB(170, 170, 190));
        nuvoka_draw_ascii(ctx, 8, 74, "an item.", NUVOKA_RGB(170, 170, 190));
        return;
    }
    for (UINT32 i = 0; i < list->count; ++i) {
        const INT32 top = TITLE_HEIGHT + 2 + (INT32)i * ROW_HEIGHT;
        const item_t* item = &list->items[i];
        if (i == list->selected) nuvoka_fill(ctx, 0, top, WIDTH, ROW_HEIGHT, NUVOKA_RGB(56, 72, 112));
        draw_box(4, top + 4, item->ticked);
        nuvoka_draw_text(ctx, 18, top + 3, item->text,
                         item->ticked ? NUVOKA_RGB(140, 150, 160) : NUVOKA_RGB(255, 255, 255));
    }
}

static void draw_footer(void) {
    nuvoka_fill(ctx, 0, FOOTER_TOP, WIDTH, HEIGHT - FOOTER_TOP, NUVOKA_RGB(40, 48, 72));
    if (list->count < MAX_ITEMS) nuvoka_draw_ascii(ctx, 4, FOOTER_TOP + 4, "Add", NUVOKA_RGB(255, 255, 255));
    if (list->count > 0) nuvoka_draw_ascii(ctx, 72, FOOTER_TOP + 4, "OK tick  # del", NUVOKA_RGB(200, 200, 210));
}

/* The question over the list, with the selected item's text. */
static void draw_confirmation(void) {
    nuvoka_fill(ctx, 8, 64, WIDTH - 16, 76, NUVOKA_RGB(230, 230, 230));
    nuvoka_fill(ctx, 9, 65, WIDTH - 18, 74, NUVOKA_RGB(120, 32, 40));
    nuvoka_draw_ascii(ctx, 16, 72, "Delete this item?", NUVOKA_RGB(255, 255, 255));
    nuvoka_draw_text(ctx, 16, 92, list->items[list->selected].text, NUVOKA_RGB(255, 220, 160));
    nuvoka_draw_ascii(ctx, 16, 118, "OK delete  End keep", NUVOKA_RGB(230, 230, 230));
}

/* Copies the drawing surface to the display. */
static void show(void) {
    ahi_rect_t whole;
    ahi_point_t origin;
    whole.x1 = 0;
    whole.y1 = 0;
    whole.x2 = WIDTH;
    whole.y2 = HEIGHT;
    origin.x = 0;
    origin.y = 0;
    AhiDrawSurfSrcSet(ctx, draw_surface, 0);
    AhiDrawSurfDstSet(ctx, display_surface, 0);
    AhiDrawRopSet(ctx, ROP_COPY_SOURCE);
    AhiDrawBitBlt(ctx, &whole, &origin);
}

void screen_paint(void) {
    if (ctx == 0) return;
    AhiDrawSurfDstSet(ctx, draw_surface, 0);
    nuvoka_fill(ctx, 0, 0, WIDTH, HEIGHT, NUVOKA_RGB(24, 32, 48));
    nuvoka_fill(ctx, 0, 0, WIDTH, TITLE_HEIGHT, NUVOKA_RGB(40, 90, 160));
    nuvoka_draw_ascii(ctx, 4, 3, "Checklist", NUVOKA_RGB(255, 255, 255));
    draw_count();
    draw_items();
    draw_footer();
    if (current_state == STATE_CONFIRM) draw_confirmation();
    show();
}
