#pragma once

class QScrollBar;

// Gives a scroll bar the slim, trackless look of the popover and the log: a rounded grey thumb 6 wide.
void makeThinScrollBar(QScrollBar *bar);
