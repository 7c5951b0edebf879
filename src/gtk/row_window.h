// The pieces of channelList's sliding window of rows. The tree view holds only the rows on
// screen and a few more (a list model of window rows, 0 to n - 1); a small scrollable container
// between the scrolled window and the tree view keeps the scroll bar over all the list's rows and
// gives the tree view a vertical adjustment of its own, over the window.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

namespace vistrelle::gtk {

// --- The window model: row i of the tree view is the window's row i.

GtkTreeModel* newWindowModel();
int32_t windowModelCount(GtkTreeModel* model);
// Grows or shrinks the model at its end, telling the tree view row by row.
void resizeWindowModel(GtkTreeModel* model, int32_t count);
// The window row of an iterator of the model, and the path of a window row.
int32_t windowRowOf(const GtkTreeIter* iter);
GtkTreePath* windowRowPath(int32_t row);

// --- The scroller.

class RowScrollerListener {
public:
    virtual ~RowScrollerListener() = default;
    // The scroller was given its place (the tree view has been given the same); the scroll bar's
    // range and the window may have to follow.
    virtual void scrollerAllocated() = 0;
    // The scroll bar moved.
    virtual void scrolled() = 0;
};

// A container of one child (the tree view) that takes the scrolled window's adjustments: the
// horizontal one goes on to the child as it is, the vertical one is the listener's to configure,
// and the child gets `inner` instead.
GtkWidget* newRowScroller(RowScrollerListener& listener, GtkAdjustment* inner);
// The scrolled window's vertical adjustment, or null before it has given one.
GtkAdjustment* rowScrollerAdjustment(GtkWidget* scroller);
// The scroller forgets its listener (which is going away).
void detachRowScroller(GtkWidget* scroller);

}  // namespace vistrelle::gtk
