// Counts what the calling process holds right now: GDI objects, USER objects
// (windows, menus, icons and cursors) and heap blocks, so that a test can run
// code several times and check that nothing is left behind.
//
// Under Wine GetGuiResources always answers 0, so the GDI and USER counts
// probe the process's handle tables instead: every GDI handle slot with
// GetObjectType, every USER handle slot with IsMenu and an icon query.
// Wine accepts a handle whose generation part (high word) is 0 for whatever
// object lives in that slot, and only objects of the calling process answer,
// so one pass over the slots counts exactly the process's live objects,
// however they were made and however they went away (a menu destroyed along
// with the menu it was inserted into, an icon destroyed by DestroyWindow...).
// This relies on Wine's handle layout and is meaningless on Windows.
//
// Objects that are made once and kept (stock objects, shared icons loaded
// with LR_SHARED or LoadIcon, caches that GDI fills on first use) count too:
// compare two snapshots taken after one warm-up run of the code under test.
// The display DC cache is filled to its limit before the first count, so
// that it never grows between two of them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace wintest {

struct GdiCounts {
    int total = 0;
    int dcs = 0;      // OBJ_DC, OBJ_MEMDC, OBJ_METADC, OBJ_ENHMETADC
    int bitmaps = 0;
    int brushes = 0;
    int pens = 0;     // OBJ_PEN, OBJ_EXTPEN
    int fonts = 0;
    int regions = 0;
    int palettes = 0;
    int other = 0;    // metafiles, colour spaces...
};
GdiCounts CountGdiObjects();

struct UserCounts {
    int total = 0;
    int windows = 0; // every window of the process, children included, but
                     // not the per-thread input-method windows ("IME")
    int menus = 0;
    int icons = 0;   // icons and cursors
};
UserCounts CountUserObjects();

// Bytes and blocks in use in all of the process's heaps (the process heap,
// the C run-time's heap and any other), walked with HeapWalk.
size_t HeapInUse(size_t* blocks = nullptr);

// Everything above at one moment; differences say what code left behind.
struct ResourceSnapshot {
    GdiCounts gdi;
    UserCounts user;
    size_t heapBytes = 0;
    size_t heapBlocks = 0;

    static ResourceSnapshot Take();
    // "gdi +3 (brushes +3), user +0, heap +120 bytes in +2 blocks" style
    // description of what `later` holds more (or less) than this one.
    std::string DescribeChange(const ResourceSnapshot& later) const;
};

} // namespace wintest
