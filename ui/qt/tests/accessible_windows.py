#!/usr/bin/python3
"""Prints what a screen reader finds on the screen through AT-SPI: each window that is showing,
as "role: name", and beneath it, indented, each showing part of it. The first run on a session
bus starts the accessibility bus, which a program must find when it starts."""
import pyatspi


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def print_tree(accessible, depth):
    print("  " * depth + f"{accessible.getRoleName()}: {accessible.name}")
    for child in accessible:
        if child is not None and showing(child):
            print_tree(child, depth + 1)


for application in pyatspi.Registry.getDesktop(0):
    for window in application or []:
        if window is not None and showing(window):
            print_tree(window, 0)
