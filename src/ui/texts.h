// Every text the program shows, in one place: window titles, menus, captions, the status bar,
// message boxes, the pages' words, the fault report and what screen readers are told. The bytes
// are the program's (Windows-1252 where they are not ASCII); call sites name them.
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/message_box.h"

namespace vistrelle::texts {

// --- The product and its windows

inline constexpr std::string_view kProductName = "Vistrelle";
inline constexpr std::string_view kVersion = "v1.0 Beta 3";
inline constexpr std::string_view kMainWindowTitle = "Vistrelle v1.0 Beta 3";
inline constexpr std::string_view kSettingsWindowTitle = " Settings";
inline constexpr std::string_view kAboutWindowTitle = " About";
inline constexpr std::string_view kHelpWindowTitle = "Vistrelle Help";

// --- Menus ("\t" puts the shortcut at the right)

inline constexpr std::string_view kFileMenu = "File";
inline constexpr std::string_view kUpdateChannelList = "Update channel list";
inline constexpr std::string_view kExit = "Exit";
inline constexpr std::string_view kOptionsMenu = "Options";
inline constexpr std::string_view kAlwaysOnTop = "Always on top";
inline constexpr std::string_view kSettings = "Settings";
inline constexpr std::string_view kHelpMenu = "Help";
inline constexpr std::string_view kHelpItem = "Help...\tF1";
inline constexpr std::string_view kCheckForUpdates = "Check for updates";
inline constexpr std::string_view kAbout = "About";
inline constexpr std::string_view kWatch = "Watch";
inline constexpr std::string_view kVisitHomepage = "Visit homepage";
inline constexpr std::string_view kAddToFavorites = "Add to favorites";
inline constexpr std::string_view kRemoveFromFavorites = "Remove from favorites";

// --- MainWindow

inline constexpr std::string_view kHideListCaption = "<";
inline constexpr std::string_view kShowListCaption = ">";
inline constexpr std::string_view kHideList = "Hide the channel list";
inline constexpr std::string_view kShowList = "Show the channel list";
inline constexpr std::string_view kChannelColumn = "Channel";
inline constexpr std::string_view kCategoryColumn = "Category";
inline constexpr std::string_view kBitrateColumn = "Bitrate";
inline constexpr std::string_view kCommentColumn = "Comment";
inline constexpr std::string_view kFavoritesItem = "Favorites";
inline constexpr std::string_view kAllCountriesItem = "All countries";
// The status bar: the number of channels, then this.
inline constexpr std::string_view kChannelsLoaded = " channels loaded";
// The status bar: this, then the channel's name.
inline constexpr std::string_view kNowWatching = " Now watching: ";

// What screen readers are told of MainWindow's parts.
inline constexpr std::string_view kMenuBarName = "Menu bar";
inline constexpr std::string_view kStatusBarName = "Status bar";
inline constexpr std::string_view kChannelListName = "Channel list";
inline constexpr std::string_view kChannelListDescription = "The channels of the current view";
inline constexpr std::string_view kColumnHeaderDescription = "Sorts the list by this column";
inline constexpr std::string_view kFindChannelName = "Find channel";
inline constexpr std::string_view kCountrySelectorName = "Country";
inline constexpr std::string_view kCountrySelectorDescription =
    "Shows the channels of one country or the favorites";

// --- SettingsWindow

inline constexpr std::string_view kPlayerVersionGroup = "WMP Version";
inline constexpr std::string_view kPlayerVersionExplanation =
    "If you have compatibility issues you might want to try another version of Windows Media "
    "Player:";
inline constexpr std::string_view kPlayerNewest = "7 and newer";
inline constexpr std::string_view kPlayer64 = "6.4";
inline constexpr std::string_view kPlayerOlder = "Older";
inline constexpr std::string_view kOk = "Ok";
inline constexpr std::string_view kCancel = "Cancel";

// --- AboutWindow

inline constexpr std::string_view kAboutText =
    "v1.0 Beta 3\n"
    "Copyright (c) 2006 The Vistrelle developers\n"
    "\n"
    "If you like this free program then please visit my webpage and donate!";
inline constexpr std::string_view kWebpage = "Webpage";
inline constexpr std::string_view kClose = "Close";

// --- Message boxes

inline constexpr MessageText kWindowNotOpened{"Warning!", "Error opening window!",
                                              MessageIcon::Warning};
inline constexpr MessageText kNoChannels{
    "Info!", "No channels found, do you want to download an updated channel list?",
    MessageIcon::Information, MessageButtons::YesNo};
inline constexpr MessageText kUpdaterNotFound{"Warning!", "Channel updater not found!",
                                              MessageIcon::Warning};
inline constexpr MessageText kFavoritesNotSaved{"Warning!", "Couldn't save favorite list!",
                                                MessageIcon::Warning};
inline constexpr MessageText kNotImplemented{"Info", "Feature not implemented yet!",
                                             MessageIcon::Information};
inline constexpr MessageText kNoHomepage{"Info!", "This channel has no homepage.",
                                         MessageIcon::Information};
inline constexpr MessageText kHelpNotFound{"Info", "Help file was not found!",
                                           MessageIcon::Information};
inline constexpr MessageText kOldHelp{
    "Info", "This is an old version of the help file, a new will be coming soon!",
    MessageIcon::Information};
inline constexpr MessageText kPageNotWritten{"Error!", "Error changing webgadget content"};

// --- The welcome page's words

inline constexpr std::string_view kWelcomeNeedLatest = "You may need the latest versions of:";
inline constexpr std::string_view kWindowsMediaPlayer = "Windows Media Player";
inline constexpr std::string_view kRealPlayer = "Real Player";
inline constexpr std::string_view kPublisherNotice = "(c) 2026 The Vistrelle developers";

// --- Why a channel cannot be played where the web view hosts the player: the line starts with
// kCannotPlay, then one reason.

inline constexpr std::string_view kCannotPlay = "Cannot play this stream: ";
inline constexpr std::string_view kUnreachable = "the server could not be reached";
inline constexpr std::string_view kNoAnswerWithin = "the server did not answer within ";  // "10 s"
inline constexpr std::string_view kHttpError = "the server answered with an HTTP error: ";
inline constexpr std::string_view kNoPlayableEntry =
    "the playlist holds no address that can be played here";
inline constexpr std::string_view kUnplayableFormat =
    "the format of the stream cannot be played here";
inline constexpr std::string_view kTheFormat = "the format ";  // then its name
inline constexpr std::string_view kCannotBePlayedHere = " cannot be played here";
inline constexpr std::string_view kNotAWebAddress = "the address is not a valid web address";
inline constexpr std::string_view kTheProtocol = "the protocol ";  // then the scheme
inline constexpr std::string_view kProtocolCannotBePlayed = ":// cannot be played here";
inline constexpr std::string_view kPlaylistLoop = "the playlists refer to each other in a loop";
inline constexpr std::string_view kPlaylistsNestedBeyond = "the playlists are nested more than ";
inline constexpr std::string_view kDeep = " deep";
inline constexpr std::string_view kStreamStopped = "the stream stopped and could not be reopened";
inline constexpr std::string_view kOnlyLocalFiles =
    "the playlist names only files on another computer";
inline constexpr std::string_view kShortTargetDuration =
    "the live HLS playlist gives a target duration below 1 s";
inline constexpr std::string_view kTooManyRedirects = "too many redirects";
inline constexpr std::string_view kUnplayableRedirect =
    "a redirect to an address that cannot be played";
inline constexpr std::string_view kPlayerUnresponsive = "the player stopped responding";

// --- The help window

inline constexpr std::string_view kNotInHelpFile = " is not in the help file";  // after a page
inline constexpr std::string_view kThisPage = "This page";

// --- The fatal error report

inline constexpr std::string_view kFaultReportTitle = "Debugger";
inline constexpr std::string_view kFaultReportStart = "Sorry there was an error:\n\n";
inline constexpr std::string_view kFaultLine = "Line: ";
inline constexpr std::string_view kFaultDescription = "Description: ";
inline constexpr std::string_view kFaultCount = "Total number of errors: ";
inline constexpr std::string_view kFaultReportEnd = "The program will end now.";
inline constexpr std::string_view kUnknownFault = "UNKNOWN Error";

// Exception codes and what the report says of them, shown as they are.
struct FaultDescription {
    uint32_t code;
    std::string_view text;
};
inline constexpr FaultDescription kFaultDescriptions[] = {
    {0xC0000094, "Attempted division by zero"},
    {0xC0000005,
     "An attemped read or write to/from an address to which that process isn't allowed"},
    {0xC0000096,
     "The instruction is not allowed in the current ring (inport, outport & control register "
     "manipulation usually)"},
    {0xC000001D, "Try to execute an invalid instruction -such as MMX opcodes on a non MMX system"},
    {0xC0000025,
     "The exception filter returned EXCEPTION_CONTINUE_EXCEPTION when the exception raised isn't "
     "restartable"},
    {0xC00000FD,
     "Stack overflow.Can occur during errant recursion, or when a function creates a particularly "
     "large array on the stack."},
    {0xC0000026,
     "INVALID_DISPOSITION Whatever number the exception filter returned, it wasn't a value the OS "
     "knows about."},
    {0xC0000008,
     "INVALID_HANDLE The API call was passed a handle to a kernel object which was invalid "
     "-usually because that handle has already been closed."},
    {0xC0000142, "EXCEPTION_DLL_Initialisation_Failure raised when DllMain() returns false (?)"},
    {0xC000008D,
     "FLOAT_DENORMAL_OPERAND One of the operands in a floating-point operation is too small to be "
     "represented in a floating-point value."},
    {0xC000008E, "FLOAT_DIVIDE_BY_ZERO The thread tried to divide a floating-point value by zero."},
    {0xC000008F,
     "FLOAT_INEXACT_RESULT The accuracy of the last floating point operation is worse than usual "
     "as it is impossible to represent in the float accurately,"},
    {0xC0000090, "FLOAT_INVALID_OPERATION Any other floating-point exception."},
    {0xC0000091, "FLOAT_OVERFLOW The result was too big to represent"},
    {0xC0000092,
     "FLOAT_STACK_CHECK A floating point stack overflowed or underflow. This related to the "
     "baroque design of the floating point unit."},
    {0xC0000093, "FLT_UNDERFLOW The result was too small to represent"},
    {0xC000013A, "CONTROL_C_EXIT Lets the debugger know the user hit Ctrl-C. "},
    {0x80000003, "BREAKPOINT A breakpoint was encountered."},
    {0x80000004,
     "SINGLE_STEP The CPU has signalled that one instruction has been executed.Only of interest "
     "to Debuggers"},
    {0x00000000, "No Error"},
};

}  // namespace vistrelle::texts
