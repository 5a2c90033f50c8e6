// The --help text of mavris-uitest.exe: the interface between the program and the external
// checks (tests/e2e/ui) that drive it under Wine and Xvfb.
#pragma once

inline constexpr const char kUsageText[] =
    R"(mavris-uitest.exe - opens one window of Mavris on its own, for the external checks.

Usage: mavris-uitest.exe <mode> [options]
       mavris-uitest.exe --help

Results are lines "key=value" (several pairs on one line are separated by one blank),
written to standard output and flushed at once, in the order the events happen. With
--out FILE every line is appended to FILE as well (use this when the standard output of
a GUI program is not reachable). Window handles are hexadecimal ("0x1a2b"), rectangles
are "left,top,right,bottom". Texts are printed as they are, in the ANSI code page;
a line break inside a text is printed as \r or \n.

Exit code: 0 the mode ran to its end, 1 the mode ran but a check of its own failed
(a line "error=<what>" says which), 2 usage error, 3 a window could not be created.

Common options
  --out FILE        also append the result lines to FILE
  --timeout MS      end after MS milliseconds if the window is still open (default 120000);
                    prints "timeout=1" and closes the window as Cancel would
  --escape-filter   install the application's Escape rule as the tool does: Escape never
                    reaches a dialog of this thread; it posts WM_CLOSE to the stand-in main
                    window, which prints "main.close=1" and stays

Every mode first prints "mode=<mode>" and "main.hwnd=0x..", the hidden stand-in for the
main dialog (a top-level window of class "MavrisUiTestMain"), which receives what the
dialogs send to the main dialog.

Modes
  about   The About box (dialog 100) runs modally.
          At start:  "about.hwnd=0x.."  "about.link.hwnd=0x.."
                     "about.link.target=<text>"  "about.link.text=<window text>"
                     "about.link.rect=l,t,r,b"   (control in dialog client coordinates)
                     "about.link.needed=w,h"     (underlined text extent plus borders)
          At end:    "about.result=<1 OK|2 Cancel>"
          --repeat N   open it N times in a row; each run starts with "run=<i>"
          --link-print a click on the link prints "about.link.open=<target> show=<n>"
                       instead of opening the browser

  extra   The Extra options dialog (dialog 150) runs modally on a CCallWaitingControl of a
          test modem record (class key subkey 0000, created when missing, "AttachedTo"
          "COM1", "Model" "Mavris Test Modem"). Before the first opening:
            --location-prefix TEXT  HKLM "Software\Microsoft\Windows\CurrentVersion\
                                    Telephony\Locations": "CurrentID" = 1 and, in the
                                    subkey "Location1", "OutsideAccess" = TEXT
            --no-location           delete "CurrentID" (no current location)
            --callout 0|1|none      HKCU "Software\ORVA\Mavris\" "CallOut" := the number;
                                    none deletes the value (the key itself is created
                                    when missing)
            --stored-prefix TEXT    SetOutsideAccess(TEXT) on the control first
            --repeat N              open the dialog N times on the same control object
          Per run:   "run=<i>"  "extra.hwnd=0x.."
          On close:  "extra.result=<ok|cancel>"
                     "extra.outside_access=<what GetOutsideAccess returns afterwards>"
                     "extra.callout=<CallOut in the registry, or none>"

  scan    The scan dialog (dialog 103) modeless, notifying the stand-in main window.
          At start:  "scan.hwnd=0x.."  "scan.title=<text>"  "scan.rect=l,t,r,b"
                     "scan.workarea=l,t,r,b"  (screen work area, to check the centring)
          When the user closes it: "main.shutdown=1" (WM_APP_SHUTDOWN 0x8065 arrived at the
          stand-in main window) and "main.shutdown.params=<wParam>,<lParam>"; then the window
          is destroyed as at the end of the program, "scan.deleted=1" once the object has
          deleted itself, and the program ends.

  info    The info dialog (dialog 176) runs modally.
          At start:  "info.hwnd=0x.."  "info.font=<face>,<height>,<weight>"  (line 1043)
          At end:    "info.result=<n>"
                     "info.font_released=<1|0>"  (the bold font is gone with the object)

  wait    The wait dialog (dialog 172) runs modally; a worker thread asks it to close.
            --close-after MS   the worker asks MS ms after it starts (default 0: before the
                               window exists; it is started before the modal run)
            --runs N           N runs in a row on the same dialog object (default 1)
          Per run:   "run=<i>"  "wait.hwnd=0x.."  (not printed when the window never showed)
                     "wait.pos=<position> t=<ms since the run started>" on every change of
                     the bar's position (polled every 25 ms)
                     "wait.ended=1 elapsed=<ms since the run started>"
                     "wait.timer_left=<0|1>"  (whether the progress timer was still running
                                               when the window was destroyed)

  tray    The tray icon on the stand-in main window: CTrayIcon(125) bound with
          WM_TRAY_NOTIFY (0x8064), ShowResourceIcon(140). The message loop runs until the
          command 32772 (Exit) arrives or the time-out.
          At start:  "tray.hwnd=0x.."  (the stand-in window the icon reports to)
          Every shell call:  "tray.shell=<add|modify|delete|setversion|setfocus> ok=<0|1>
                              tip=<text>"
          Every popup menu:  "tray.menu=<its items, blank-separated: the command id,
                              0 for a separator, p for a sub-menu> default=<command id of
                              the default item, or none>"
          Every WM_COMMAND:  "tray.command=<id>"
            --send EVENT[,EVENT...]  post these to the stand-in window, in order, once the
                               icon is shown: lclick, rdown, rup, dblclk, move (the tray
                               callback with that mouse message), keyselect (Enter on the
                               selected icon), each in the layout of the icon's version,
                               taskbar (the "TaskbarCreated" broadcast), exit (command
                               32772); a popup menu opened by "rup" or "keyselect" is closed
                               again without a choice
          At end:    the icon is removed, "tray.end=1"
)";
