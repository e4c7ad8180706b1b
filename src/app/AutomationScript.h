#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbisight {

// Scripted actions for the demo and the end-to-end test, read from the
// environment variable ORBISIGHT_AUTOMATION (the program never interprets its
// command line). ORBISIGHT_LOOP_SLIDE_MS, when set, replaces loop play's
// slide period (minutes for a user) for the run. Steps are separated by ';', each "verb" or
// "verb=argument":
//
//   connect-all          the toolbar's "Connect all"
//   open=ID              open one camera in a free pane, as a double click does
//   layout=CODE          set a layout (1..16 grids, 30..34 custom)
//   select=SLOT          select a pane (a layout switch shows its page)
//   panel=ID             a command of the device panel (1033 sound, 1066 talk,
//                        1058 alarm log ...)
//   fullscreen           toggle full screen of the selected pane
//   wall-fullscreen      the toolbar's wall full screen
//   page=first|prev|next|last
//   wait=SECONDS         pause (fractions allowed)
//   at=SECONDS           pause until SECONDS after the script began
//   screenshot=FILE      save a picture of the whole main window (PNG)
//   screenshot=FILE@N    the same, N seconds after the script began
//   screen=FILE[@N]      a picture of the whole screen, dialogs included
//   drag=SLOT:X1,Y1,X2,Y2  drag on a pane's picture (drag-to-point)
//   setting=NAME:0|1     change a setting for the channels opened afterwards, as
//                        the settings dialog would: local-big-stream,
//                        local-only-i-frame, alarm-blink,
//                        choose-stream-by-pane-size; start-with-computer
//                        is applied (the autostart entry) when the settings
//                        are next saved, at the latest when the client ends
//   disconnect-all       the toolbar's "Disconnect all", without prompts
//   login=USER:PASSWORD  log in through the login dialog (opened when none is
//                        open): types the account and password, presses Login
//   fill-login=USER:PASSWORD  the same without pressing Login (the user does)
//   cancel-login         closes the open login dialog with "Cancel"
//   logout               logs out without the prompt
//   expand=BRANCH        opens every group of a tree branch: my, local
//   trace=FILE           writes where the skin images and the cloud library
//                        were found ("files: images FOLDER ok|missing | cloud
//                        PATH|unavailable"), then from now on appends to FILE
//                        one line per login tip
//                        ("tip: TEXT"), per tree rebuild ("tree: MY | LOCAL",
//                        the root texts), per account change ("account:
//                        LABEL"), per pane state ("pane: SLOT ID STATE",
//                        STATE idle, opening, connected or not connected),
//                        per loop play screen ("loop: ID ID ..." by slot),
//                        per fill of the alarm window ("alarms: up|down ROWS
//                        ID | TITLE | CONTENT" of the first row, the newest)
//                        and per waiting step that gave up ("hold: WHAT")
//   wait-file=PATH       pause until PATH exists (a test's go-ahead)
//   mark=TEXT            writes "mark: TEXT" to the trace: the steps before it
//                        are done
//   wait-online=COUNT    pause until the lists have COUNT on-line cameras, at
//                        most 180 s
//   loop-play=N          loop play through its selection dialog: every
//                        on-line camera, N x N pictures per screen, OK
//   loop-stop            stops loop play without the question
//   wait-lists           pause until the account's lists are complete (names,
//                        groups and states fetched), at most 180 s
//   stall-watch=FILE     from now on measure the longest time the window
//                        thread does not handle its events (StallWatch),
//                        written to FILE when the client ends
//   quit                 close the client without the close prompt
struct AutomationStep {
    std::string verb;
    std::string argument;
    std::optional<double> atSeconds;  // for screenshot=FILE@N
};

// Parses the script. Unknown verbs and malformed steps are reported in
// error (one line per problem) and left out.
std::vector<AutomationStep> ParseAutomation(std::string_view script, std::string* error = nullptr);

}  // namespace orbisight
