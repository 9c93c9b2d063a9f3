#!/usr/bin/python3
"""The player's window as a screen reader reaches it, one request a call:
buttons (role|name|pressed a line), press NAME, entries LIST,
activate LIST ENTRY (its default action), status (role|text)."""
import sys

import pyatspi


def find(root, what, test):
    found = pyatspi.findDescendant(root, test)
    return found if found is not None else sys.exit(f"not found: {what}")


def main(request, *args):
    win = find(pyatspi.Registry.getDesktop(0), "the window", lambda o: o.name == "Quillmere Mp3 Player")
    is_button = lambda o: o.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON)
    named_list = lambda: find(win, args[0], lambda o: o.getRole() == pyatspi.ROLE_LIST and o.name == args[0])
    if request == "buttons":
        for b in pyatspi.findAllDescendants(win, is_button):
            print(f"{b.getRoleName()}|{b.name}|{int(b.getState().contains(pyatspi.STATE_CHECKED))}")
    elif request == "press":
        action = find(win, args[0], lambda o: is_button(o) and o.name == args[0]).queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        action.doAction(names.index("Press")) if "Press" in names else sys.exit(f"no press action: {names}")
    elif request == "entries":
        print("\n".join(entry.name for entry in named_list()))
    elif request == "activate":
        find(named_list(), args[1], lambda o: o.name == args[1]).queryAction().doAction(0)
    elif request == "status":
        bar = find(win, "status bar", lambda o: o.getRole() == pyatspi.ROLE_STATUS_BAR)
        print(f"{bar.getRoleName()}|{bar.queryText().getText(0, -1)}")


main(*sys.argv[1:])
