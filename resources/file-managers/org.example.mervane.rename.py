# "Rename with Mervane" in the menu of the files and folders selected in Nautilus
# (nautilus-python). It starts Mervane as its desktop file does, so a window already open
# gets the files.
# SPDX-License-Identifier: GPL-3.0-or-later

import os

from gi.repository import Gio, GObject, Nautilus

DESKTOP_ID = "org.example.mervane.desktop"


def label():
    for name in ("LC_ALL", "LC_MESSAGES", "LANG"):
        value = os.environ.get(name)
        if value:
            return "Mit Mervane umbenennen" if value.startswith("de") else "Rename with Mervane"
    return "Rename with Mervane"


def local_files(files):
    """The selected files that are on this machine; Mervane cannot load the others."""
    result = []
    for item in files:
        location = item.get_location()
        if location is not None and location.get_path() is not None:
            result.append(location)
    return result


def start(locations):
    app = Gio.DesktopAppInfo.new(DESKTOP_ID)
    if app is None:
        # Installed without its desktop file: the same command line.
        argv = ["mervane", "--"] + [location.get_path() for location in locations]
        Gio.Subprocess.new(argv, Gio.SubprocessFlags.NONE)
        return
    app.launch(locations, None)


class MervaneRenameMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Nautilus 43 passes the files alone, older versions the window first.
        locations = local_files(args[-1])
        if not locations:
            return []
        item = Nautilus.MenuItem(name="MervaneRenameMenu::Rename", label=label(),
                                 icon="org.example.mervane")
        item.connect("activate", lambda _item: start(locations))
        return [item]
