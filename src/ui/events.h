// What the user did to the program's windows, in the program's words: the window layers report
// these through EventSink (window_layer.h).
#pragma once

namespace vistrelle {

// Where a close request came from.
enum class CloseSource {
    // The user: the window's close box, Close in the window menu, Alt+F4 or the window manager's
    // own close.
    User,
    // Anything else: the program, another program, a close the layer cannot trace to the user.
    Other,
};

// What happened to a control. channelList tells its mouse and keyboard actions apart and a
// text field its Escape key; every other control only reports that something happened to it (a
// button pressed, an option or a country chosen, the drop-down opened, a text typed); the
// program looks only at which control it was.
enum class ControlAction {
    Used,
    // channelList, each reported after the list has updated its selection.
    Click,
    RightClick,
    DoubleClick,
    RightDoubleClick,
    SelectionChange,  // a row became selected, or the selection was lost
    DragStart,
    EnterKey,  // Enter pressed in the list
    MenuKey,   // the context-menu key or Shift+F10 pressed in the list
    // A text field: Escape was pressed in it.
    Cancel,
};

// Where a pop-up menu opens.
enum class PopupPlace {
    MouseCursor,  // at the mouse cursor, moved up and left by one pixel
    SelectedRow,  // beside channelList's selected row, scrolled into view first
};

}  // namespace vistrelle
