"""A GTK window that offers files for dragging, as a file manager does (XDND, text/uri-list).

    dragsource.py URI...

Shows a small window titled "zr-drag-source" at (600, 20); a drag started on it carries the
given file:// addresses. Prints "ready" once shown and "dropped" when a drag has ended. Needs
GTK 3's introspection data (gir1.2-gtk-3.0) for the Python it runs under.
"""

import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402


def main():
    uris = sys.argv[1:]
    window = Gtk.Window(title="zr-drag-source")
    window.set_default_size(120, 80)
    window.move(600, 20)
    area = Gtk.EventBox()
    area.add(Gtk.Label(label="tracks"))
    window.add(area)
    area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [],
                         Gdk.DragAction.COPY | Gdk.DragAction.MOVE)
    area.drag_source_add_uri_targets()
    area.connect("drag-data-get", lambda _w, _c, data, _i, _t: data.set_uris(uris))
    area.connect("drag-end", lambda *_: print("dropped", flush=True))
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    print("ready", flush=True)
    Gtk.main()


if __name__ == "__main__":
    main()
