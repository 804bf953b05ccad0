// The display orientation query that picks a page's dialog template.
#ifndef KEPLA_UI_DISPLAY_H_
#define KEPLA_UI_DISPLAY_H_

// True when the display is at its native (portrait) rotation, or when the rotation cannot be
// read; false for every other rotation (90, 180 and 270 degrees alike). Asks the display afresh
// on every call. Any thread.
bool IsPortraitDisplay();

#endif  // KEPLA_UI_DISPLAY_H_
