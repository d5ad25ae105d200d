// The showcase work: a short presentation of what the player shows, one page
// per kind of thing, joined by different transitions, ending on a page
// whose button runs a script.
#pragma once

#include "ProjectWriter.h"

// Page size and where the scripted page's button lies on it (its centre), for
// the tools that click it.
enum {
    SHOWCASE_PAGE_WIDTH = 800,
    SHOWCASE_PAGE_HEIGHT = 600,
    SHOWCASE_CLICK_X = 400,
    SHOWCASE_CLICK_Y = 330
};

// The whole work; false when a record cannot be made (printed). hold: every
// page's hold time in ms, the scripted one's too; 0: the presentation's own,
// where the scripted page waits for its click.
bool MakeShowcase(WorkSpec* work, uint32_t hold = 0);

// The files the work plays from its media folder ("media" beside the
// package): the Media page's video. False when one cannot be written
// (printed).
bool WriteShowcaseMedia(const std::string& packagePath);

// An empty draw board placed at its centre (x, y), w x h: grey lines of
// width 1, no fill.
CanvasObjectSpec DrawBoardEntry(const std::string& name, int32_t x, int32_t y, int32_t w,
                                int32_t h);
