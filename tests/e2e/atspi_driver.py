#!/usr/bin/python3
"""Reaches the player's window over the accessibility bus, as a screen reader
does (python3-pyatspi). One request a call:

  buttons              one line a button: role|name|pressed (1 or 0)
  press NAME           the press action of the button named NAME
  entries LIST         the names of the entries of the list named LIST
  activate LIST ENTRY  the default action of that list's entry ENTRY
  status               role|text of the status bar, as its text interface reads

Exits with a message when the window or what is asked for is not there.
"""
import sys

import pyatspi

TITLE = "Quillmere Mp3 Player"
BUTTONS = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON)


def window():
    for app in pyatspi.Registry.getDesktop(0):
        for win in app or []:
            if win is not None and win.name == TITLE:
                return win
    sys.exit(f"no window named {TITLE!r} on the accessibility bus")


def find(root, what, test):
    found = pyatspi.findDescendant(root, test)
    if found is None:
        sys.exit(f"not found: {what}")
    return found


def named_list(win, name):
    return find(win, f"list {name!r}", lambda o: o.getRole() == pyatspi.ROLE_LIST and o.name == name)


def main(request, *args):
    win = window()
    if request == "buttons":
        for b in pyatspi.findAllDescendants(win, lambda o: o.getRole() in BUTTONS):
            print(f"{b.getRoleName()}|{b.name}|{int(b.getState().contains(pyatspi.STATE_CHECKED))}")
    elif request == "press":
        button = find(win, f"button {args[0]!r}", lambda o: o.getRole() in BUTTONS and o.name == args[0])
        action = button.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if "Press" not in names:
            sys.exit(f"button {args[0]!r} has no press action, only {names}")
        action.doAction(names.index("Press"))
    elif request == "entries":
        for entry in named_list(win, args[0]):
            print(entry.name)
    elif request == "activate":
        entry = find(named_list(win, args[0]), f"entry {args[1]!r}", lambda o: o.name == args[1])
        entry.queryAction().doAction(0)
    elif request == "status":
        bar = find(win, "status bar", lambda o: o.getRole() == pyatspi.ROLE_STATUS_BAR)
        print(f"{bar.getRoleName()}|{bar.queryText().getText(0, -1)}")
    else:
        sys.exit(f"unknown request {request!r}")


if __name__ == "__main__":
    main(*sys.argv[1:])
